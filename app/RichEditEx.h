#pragma once
// A read-only rich text view in which web and e-mail addresses are links; a left click on
// a link hands it to the desktop shell. It never follows a link by itself.

#include <QString>
#include <QTextBrowser>

#include <vector>

namespace folianto {

class TShell;

// "[_a-zA-Z\d\-\.]+@[_a-zA-Z\d\-]+(\.[_a-zA-Z\d\-]+)+", searched unanchored.
extern const char* const EmailPattern;

struct TTextRun {
    int Start = 0;   // UTF-16 position
    int Length = 0;
    bool operator==(const TTextRun&) const = default;
};

// Every match of EmailPattern, each search going on after the previous match.
std::vector<TTextRun> FindEmails(const QString& text);
// Web addresses: http://, https://, ftp://, file://, mailto: and www. up to the next
// blank, without trailing punctuation.
std::vector<TTextRun> FindWebAddresses(const QString& text);
// The links of a text: web addresses and e-mail matches merged, adjoining or overlapping
// ones into one link, as the characters marked as links run together.
std::vector<TTextRun> FindLinks(const QString& text);

// What a click on a link hands to the shell: the link text, with "mailto:" in front when
// it holds an e-mail address and no address scheme of its own ("mailto:x@y.z" and
// "http://user@host.org/" are opened as they are).
QString ShellTextForLink(const QString& linkText);

class TRichEditEx : public QTextBrowser {
    Q_OBJECT
public:
    explicit TRichEditEx(TShell& shell, QWidget* parent = nullptr);

    // Shows plain text and marks its links.
    void SetText(const QString& text);
    QString Text() const { return text_; }
    const std::vector<TTextRun>& Links() const { return links_; }
    QString LinkText(int index) const;

    // A left click on link `index`.
    void LinkClick(int index);

private:
    void MarkLinks();

    TShell& shell_;
    QString text_;
    std::vector<TTextRun> links_;
};

}  // namespace folianto
