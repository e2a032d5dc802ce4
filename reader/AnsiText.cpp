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
    for (const uint codePoint : text.toUcs4())
        result += Cp1252FromCodePoint(codePoint).value_or('?');
    return result;
}

}  // namespace folianto
