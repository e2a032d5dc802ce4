#pragma once
// The application's general error report: errors that reach the run loop are shown in a
// message box with their text, and the program goes on.

#include <QString>

namespace folianto {

// The application title (what a taskbar would show); titles the error report and the
// reader's other message boxes. Given back ready for a window title: a "[*]" in the
// book's title is shown as written.
void SetApplicationTitle(const QString& title);
QString ApplicationTitle();

void ReportApplicationError(const QString& text);

}  // namespace folianto
