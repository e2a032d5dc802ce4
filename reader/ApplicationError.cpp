#include "ApplicationError.h"

#include "WindowTitle.h"

#include <QApplication>
#include <QMessageBox>

namespace folianto {

namespace {
QString gApplicationTitle;
}

void SetApplicationTitle(const QString& title)
{
    gApplicationTitle = title;
}

QString ApplicationTitle()
{
    return LiteralWindowTitle(gApplicationTitle.isEmpty() ? QCoreApplication::applicationName() : gApplicationTitle);
}

void ReportApplicationError(const QString& text)
{
    QMessageBox::critical(nullptr, ApplicationTitle(), text);
}

}  // namespace folianto
