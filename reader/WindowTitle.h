#pragma once
// Window titles taken from a book or a page, shown exactly as they are written. Qt reads
// "[*]" in a title as the place of its "modified" mark and drops it (a book titled
// "Notes [*] 1" would show "Notes  1"); every caption made from such a text goes through
// here.

#include <QString>

class QWidget;

namespace folianto {

// The title to hand to Qt (setWindowTitle, a QMessageBox's title) so that it shows `text`:
// each "[*]" doubled, which Qt turns back into one "[*]".
QString LiteralWindowTitle(const QString& text);

void SetLiteralWindowTitle(QWidget& window, const QString& text);

}  // namespace folianto
