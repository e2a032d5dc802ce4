#pragma once
// Printing the browser's layout of a page: the pages of the PDF the browser made, each
// drawn on the printer with a header in the top margin and a footer in the bottom one.

#include "PageSetup.h"

#include <QByteArray>
#include <QPageLayout>
#include <QString>

class QPrinter;

namespace folianto {

// The layout the browser lays the page out in: the printer's paper and orientation, with
// margins of 0.75 inch on every side that leave room for the header and the footer.
QPageLayout BrowserPageLayout(const QPrinter& printer);

// Prints the pages of pdf on printer: all of them, or those of the printer's page ranges,
// in the printer's page order. The header and footer are page-setup codes; values gives
// their texts, with the page number and count filled in here. Returns an empty text on
// success, otherwise what went wrong. Touches no window, so it may run on a worker thread.
QString PrintPdfPages(const QByteArray& pdf, QPrinter& printer, const QString& header, const QString& footer,
                      TPageSetupValues values);

}  // namespace folianto
