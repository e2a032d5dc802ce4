#pragma once
// Asking the desktop to open an address (web links, e-mail links). The result is never
// looked at: any message about a failure comes from the desktop itself.

#include <QString>

namespace folianto {

class TShell {
public:
    virtual ~TShell() = default;
    virtual void Open(const QString& file) = 0;
};

// QDesktopServices: "www.x" and bare host names are opened as web addresses.
TShell& DesktopShell();

}  // namespace folianto
