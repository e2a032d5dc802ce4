#pragma once
// The frame of the reader's dialogs (the message window, the About box): a title bar with a
// close button only, as a dialog border has; neither minimise nor maximise is asked for.

#include <Qt>

namespace folianto {

inline constexpr Qt::WindowFlags kDialogFrame =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

}  // namespace folianto
