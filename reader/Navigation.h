#pragma once
// What the reader window derives from the browser's traffic: its caption from a page
// title, the current page from a completed document, and the local addresses it opens.
// Texts are 8-bit Windows-1252, as the book holds them.

#include <QString>
#include <QUrl>

#include <string>

namespace folianto {

// The book title as captions and message windows show it: "Untitled" when empty.
std::string BookCaption(const std::string& bookTitle);

// Caption for a page title: the book title alone when the title is an address (it holds
// "http://") or "about:blank", otherwise "<book> - <page title>".
std::string CaptionForPageTitle(const std::string& bookTitle, const std::string& pageTitle);

// The web view names a page without a title by its address without the scheme
// ("127.0.0.1:4711/x.html"); such a title is given back its scheme, so that the caption
// rule recognises it as an address. Other titles pass unchanged.
QString PageTitleAsReported(const QString& title, const QUrl& pageUrl);

// "http://127.0.0.1:<port>", the front of every local address.
std::string LocalPrefix(int port);

// "http://127.0.0.1:<port><path>", path unchanged.
std::string LocalURL(int port, const std::string& path);

// The same address as the browser is given it: the 8-bit path is read as Windows-1252,
// so a non-ASCII entry name is sent percent-encoded as UTF-8 (the page server maps it
// back); escapes already in the path are kept.
QUrl LocalQUrl(int port, const std::string& path);

// The current page after a top-level document completed at `url` (fully encoded, 8-bit):
// the part after the local prefix; "about:blank" gives an empty page. A page outside the
// book leaves `previous` in place, so that the next start reopens the last book page
// instead of a broken address.
std::string CurrentPageFromUrl(const std::string& url, int port, const std::string& previous);

}  // namespace folianto
