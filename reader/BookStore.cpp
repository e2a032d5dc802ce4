#include "BookStore.h"

#include "AnsiText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace folianto {

namespace {
constexpr const char* kPageKey = "Configuration/LastPageViewed";
constexpr int kMaxNameLength = 200;
}  // namespace

QString BookStoreRelativePath(const std::string& bookId)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const unsigned char c : bookId) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_') {
            encoded.push_back(static_cast<char>(c));
        } else {
            encoded.push_back('%');
            encoded.push_back(hex[c >> 4]);
            encoded.push_back(hex[c & 15]);
        }
    }
    // File names are limited in length; a long id becomes nested folders.
    QString path = QStringLiteral("Vantrel/Folianto/3.0/eBooks/");
    for (std::size_t i = kMaxNameLength; i < encoded.size(); i += kMaxNameLength + 1)
        encoded.insert(i, 1, '/');
    path += QString::fromLatin1(encoded.data(), static_cast<qsizetype>(encoded.size()));
    return path + QStringLiteral(".ini");
}

QString TIniBookStore::DefaultConfigRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

TIniBookStore::TIniBookStore(const std::string& bookId, QString configRoot)
    : fileName_(QDir(configRoot).filePath(BookStoreRelativePath(bookId)))
{
    // Opening the key creates it, whether or not a page is ever stored.
    QDir().mkpath(QFileInfo(fileName_).absolutePath());
    QFile file(fileName_);
    if (!file.exists())
        file.open(QIODevice::WriteOnly);
}

std::optional<std::string> TIniBookStore::ReadLastPage()
{
    QSettings settings(fileName_, QSettings::IniFormat);
    const QVariant value = settings.value(kPageKey);
    if (!value.isValid())
        return std::nullopt;
    return ToAnsi(value.toString());
}

void TIniBookStore::WriteLastPage(const std::string& page)
{
    QSettings settings(fileName_, QSettings::IniFormat);
    settings.setValue(kPageKey, FromAnsi(page));
    settings.sync();
}

}  // namespace folianto
