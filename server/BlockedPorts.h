#pragma once
// Ports that web browsers refuse to load anything from, whatever the server answers.

#include <functional>

namespace folianto {

// The "bad ports" of the Fetch standard, which Chromium, Firefox and Safari all refuse
// (ERR_UNSAFE_PORT in Chromium): a page served on one of them never shows.
bool BrowsersRefusePort(int port);

// The first port from draw that browsers do not refuse.
int DrawPortBrowsersAccept(const std::function<int()>& draw);

}  // namespace folianto
