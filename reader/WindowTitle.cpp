#include "WindowTitle.h"

#include <QWidget>

namespace folianto {

QString LiteralWindowTitle(const QString& text)
{
    QString title = text;
    // "[*]" cannot overlap itself, so doubling every one leaves only even runs, which Qt
    // halves instead of removing the last.
    title.replace(QLatin1String("[*]"), QLatin1String("[*][*]"));
    return title;
}

void SetLiteralWindowTitle(QWidget& window, const QString& text)
{
    window.setWindowTitle(LiteralWindowTitle(text));
}

}  // namespace folianto
