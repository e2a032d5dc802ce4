#include "BookFonts.h"

#include "Book.h"
#include "MainForm.h"
#include "Utils.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace folianto {

namespace {

// Our own folder inside base: made if missing, and used only when it is a real folder of
// this user; any other user's access is taken away.
std::string PrivateFolder(const QString& base, const QString& name)
{
    if (base.isEmpty() || !QDir().mkpath(base))
        return {};
    const QByteArray path = QDir(base).filePath(name).toLocal8Bit();
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return {};
    if ((info.st_mode & 0077) != 0 && ::chmod(path.constData(), 0700) != 0)
        return {};
    return path.toStdString();
}

}  // namespace

std::string BookFontDirectory()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime && QFileInfo(QString::fromLocal8Bit(runtime)).isDir()) {
        std::string folder = PrivateFolder(QString::fromLocal8Bit(runtime), QStringLiteral("folianto-fonts"));
        if (!folder.empty())
            return folder;
    }
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return PrivateFolder(cache.isEmpty() ? QString() : QDir(cache).filePath(QStringLiteral("folianto")),
                         QStringLiteral("fonts"));
}

std::string BookFontFileName(const std::string& directory, const std::string& bookId, int index)
{
    return directory + "/__" + MD5Hex(bookId) + "_" + std::to_string(index) + ".TTF";
}

void TBookFonts::InstallBookFonts(const TBook& book)
{
    RemoveBookFonts();
    for (int i = 0; i < book.FontCount(); ++i) {
        const std::string name = BookFontFileName(directory_, book.BookId, i);
        if (directory_.empty()) {
            std::fprintf(stderr, "No private folder for the book's fonts; font %d is left out.\n", i);
            continue;
        }
        const Bytes& font = book.Font(i);
        // Written beside and then renamed over the old name: a file left by an earlier run
        // is replaced whole, and a copy of the book that still reads the old one keeps it.
        QSaveFile file(QString::fromLocal8Bit(name.c_str()));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(font.data()), static_cast<qint64>(font.size())) !=
                static_cast<qint64>(font.size()) ||
            !file.commit()) {
            std::fprintf(stderr, "Cannot write the font file %s (%s); the font is left out.\n", name.c_str(),
                         file.errorString().toLocal8Bit().constData());
            continue;
        }
        const int id = QFontDatabase::addApplicationFont(QString::fromLocal8Bit(name.c_str()));
        if (id < 0)
            std::fprintf(stderr, "The font file %s holds no font that can be used.\n", name.c_str());
        installed_.push_back({name, id});
    }
}

void TBookFonts::RemoveBookFonts()
{
    for (const TInstalled& font : installed_) {
        if (font.Id >= 0)
            QFontDatabase::removeApplicationFont(font.Id);
        QFile::remove(QString::fromLocal8Bit(font.File.c_str()));  // failures do not matter
    }
    installed_.clear();
}

void PlugInBookFonts(TMainFormServices& services, const std::string& directory)
{
    auto fonts = std::make_shared<TBookFonts>(directory);
    services.InstallBookFonts = [fonts](TMainForm& form) { fonts->InstallBookFonts(form.Book()); };
    services.RemoveBookFonts = [fonts](TMainForm& /*form*/) { fonts->RemoveBookFonts(); };
}

}  // namespace folianto
