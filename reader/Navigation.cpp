#include "Navigation.h"

#include "AnsiText.h"

namespace folianto {

std::string BookCaption(const std::string& bookTitle)
{
    return bookTitle.empty() ? std::string("Untitled") : bookTitle;
}

std::string CaptionForPageTitle(const std::string& bookTitle, const std::string& pageTitle)
{
    const bool titleIsAddress = pageTitle.find("http://") != std::string::npos || pageTitle == "about:blank";
    return BookCaption(bookTitle) + (titleIsAddress ? std::string() : " - " + pageTitle);
}

QString PageTitleAsReported(const QString& title, const QUrl& pageUrl)
{
    if (title.isEmpty() || pageUrl.scheme().isEmpty())
        return title;
    for (const auto format : {QUrl::FullyEncoded, QUrl::PrettyDecoded}) {
        const QString withoutScheme = pageUrl.toString(QUrl::RemoveScheme | format);
        if (withoutScheme.startsWith(QLatin1String("//")) && title == withoutScheme.mid(2))
            return pageUrl.toString(format);
    }
    return title;
}

std::string LocalPrefix(int port)
{
    return "http://127.0.0.1:" + std::to_string(port);
}

std::string LocalURL(int port, const std::string& path)
{
    return LocalPrefix(port) + path;
}

QUrl LocalQUrl(int port, const std::string& path)
{
    return QUrl(FromAnsi(LocalURL(port, path)), QUrl::TolerantMode);
}

std::string CurrentPageFromUrl(const std::string& url, int port, const std::string& previous)
{
    const std::string prefix = LocalPrefix(port);
    if (url == "about:blank")
        return std::string();
    if (url.compare(0, prefix.size(), prefix) != 0)
        return previous;
    if (url.size() > prefix.size()) {
        const char next = url[prefix.size()];
        if (next != '/' && next != '?' && next != '#')
            return previous;  // another port that merely starts with ours
    }
    return url.substr(prefix.size());
}

}  // namespace folianto
