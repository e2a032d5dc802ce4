#pragma once
// The web engine profile that shows the book's pages. Chromium refuses to fetch from a few
// ports it holds unsafe (6000 for X11, 5060 for SIP, 10080 and others), and the page
// server's uniform draw from 1024 to 31023 can land on one of them; the engine is told, as
// it starts, that the page server's port is allowed.

#include <string>

class QObject;
class QWebEngineProfile;

namespace folianto {

// Chromium's switches `flags` (separated by blanks) with `port` added to
// --explicitly-allowed-ports; ports already listed there are kept.
std::string ChromiumFlagsAllowingPort(const std::string& flags, int port);

// A new off-the-record profile (nothing of one book's pages is kept on disk for another)
// with `port` allowed. Qt WebEngine reads its Chromium flags (QTWEBENGINE_CHROMIUM_FLAGS)
// once, when the process creates its first profile: the page server's port must be drawn
// before that, and a port given to a later profile is not taken.
QWebEngineProfile* NewBookProfile(int port, QObject* parent);

}  // namespace folianto
