#pragma once
// The system's printers as the reader window uses them: the default printer, and the print
// dialog that lets the user choose another printer or change the settings first. Tests plug
// in printers that write PDF files.

#include <memory>

class QPrinter;
class QWidget;

namespace folianto {

class TPrinters {
public:
    virtual ~TPrinters() = default;
    // A printer set to the system's default printer, or none when there is no default.
    virtual std::unique_ptr<QPrinter> DefaultPrinter() = 0;
    // Shows the print dialog for printer; false when the user cancels it.
    virtual bool AskToPrint(QPrinter& printer, QWidget* parent) = 0;
};

std::unique_ptr<TPrinters> CreateSystemPrinters();

// The platform's print dialog, modal over parent; false when cancelled.
bool ShowPrintDialog(QPrinter& printer, QWidget* parent);

}  // namespace folianto
