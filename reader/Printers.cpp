#include "Printers.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace folianto {

namespace {

class TSystemPrinters : public TPrinters {
public:
    std::unique_ptr<QPrinter> DefaultPrinter() override
    {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull())
            return nullptr;
        return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
    bool AskToPrint(QPrinter& printer, QWidget* parent) override { return ShowPrintDialog(printer, parent); }
};

}  // namespace

std::unique_ptr<TPrinters> CreateSystemPrinters()
{
    return std::make_unique<TSystemPrinters>();
}

bool ShowPrintDialog(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace folianto
