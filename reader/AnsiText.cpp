#include "AnsiText.h"

#include "CodePage.h"

#include <QList>

namespace folianto {

QString FromAnsi(std::string_view text)
{
    return QString::fromStdString(Cp1252ToUtf8(text));
}

std::string ToAnsi(const QString& text)
{
    std::string result;
    result.reserve(static_cast<std::size_t>(text.size()));
    for (const uint value : text.toUcs4()) {
        const char32_t codePoint = value;
        if (codePoint < 0x80) {
            result.push_back(static_cast<char>(codePoint));
            continue;
        }
        const QByteArray utf8 = QString::fromUcs4(&codePoint, 1).toUtf8();
        const auto ansi = Utf8ToCp1252(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
        result += ansi ? *ansi : std::string("?");
    }
    return result;
}

}  // namespace folianto
