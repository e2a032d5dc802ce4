#include "ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

namespace folianto {

namespace {

class TDesktopShell : public TShell {
public:
    void Open(const QString& file) override
    {
        if (!file.isEmpty())
            QDesktopServices::openUrl(QUrl::fromUserInput(file));
    }
};

}  // namespace

TShell& DesktopShell()
{
    static TDesktopShell shell;
    return shell;
}

}  // namespace folianto
