#include "RichEditEx.h"

#include "ShellOpen.h"

#include <QRegularExpression>

#include <algorithm>

namespace folianto {

const char* const EmailPattern = R"([_a-zA-Z\d\-\.]+@[_a-zA-Z\d\-]+(\.[_a-zA-Z\d\-]+)+)";

namespace {

std::vector<TTextRun> AllMatches(const QRegularExpression& expression, const QString& text)
{
    std::vector<TTextRun> runs;
    auto it = expression.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        runs.push_back({static_cast<int>(match.capturedStart()), static_cast<int>(match.capturedLength())});
    }
    return runs;
}

}  // namespace

std::vector<TTextRun> FindEmails(const QString& text)
{
    static const QRegularExpression expression(QString::fromLatin1(EmailPattern));
    return AllMatches(expression, text);
}

std::vector<TTextRun> FindWebAddresses(const QString& text)
{
    static const QRegularExpression expression(
        QStringLiteral(R"((?:\b(?:https?|ftp|file)://|\bmailto:|\bwww\.)[^\s<>"]*[^\s<>".,;:!?'()\[\]{}])"),
        QRegularExpression::CaseInsensitiveOption);
    return AllMatches(expression, text);
}

std::vector<TTextRun> FindLinks(const QString& text)
{
    std::vector<bool> marked(static_cast<std::size_t>(text.size()), false);
    auto mark = [&](const std::vector<TTextRun>& runs) {
        for (const TTextRun& run : runs)
            std::fill_n(marked.begin() + run.Start, run.Length, true);
    };
    mark(FindWebAddresses(text));
    mark(FindEmails(text));

    std::vector<TTextRun> links;
    for (int i = 0; i < text.size();) {
        if (!marked[static_cast<std::size_t>(i)]) {
            ++i;
            continue;
        }
        const int start = i;
        while (i < text.size() && marked[static_cast<std::size_t>(i)])
            ++i;
        links.push_back({start, i - start});
    }
    return links;
}

QString ShellTextForLink(const QString& linkText)
{
    static const QRegularExpression scheme(QStringLiteral(R"(^(?:[a-zA-Z][a-zA-Z0-9+.\-]*:|www\.))"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (!FindEmails(linkText).empty() && !scheme.match(linkText).hasMatch())
        return QStringLiteral("mailto:") + linkText;
    return linkText;
}

TRichEditEx::TRichEditEx(TShell& shell, QWidget* parent) : QTextBrowser(parent), shell_(shell)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        bool ok = false;
        const int index = url.path().toInt(&ok);
        if (ok)
            LinkClick(index);
    });
}

void TRichEditEx::SetText(const QString& text)
{
    text_ = text;
    text_.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    MarkLinks();
}

QString TRichEditEx::LinkText(int index) const
{
    const TTextRun& run = links_.at(static_cast<std::size_t>(index));
    return text_.mid(run.Start, run.Length);
}

void TRichEditEx::LinkClick(int index)
{
    if (index < 0 || index >= static_cast<int>(links_.size()))
        return;
    QTextCursor cursor = textCursor();
    cursor.setPosition(links_[static_cast<std::size_t>(index)].Start);
    cursor.setPosition(links_[static_cast<std::size_t>(index)].Start + links_[static_cast<std::size_t>(index)].Length,
                       QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    shell_.Open(ShellTextForLink(LinkText(index)));
}

void TRichEditEx::MarkLinks()
{
    links_ = FindLinks(text_);
    // The anchors carry the link's index, not its text: the click hands over the text
    // exactly as shown.
    QString html = QStringLiteral("<div style=\"white-space: pre-wrap\">");
    int position = 0;
    for (std::size_t i = 0; i < links_.size(); ++i) {
        const TTextRun& run = links_[i];
        html += text_.mid(position, run.Start - position).toHtmlEscaped();
        html += QStringLiteral("<a href=\"link:%1\">").arg(i) + text_.mid(run.Start, run.Length).toHtmlEscaped() +
                QStringLiteral("</a>");
        position = run.Start + run.Length;
    }
    html += text_.mid(position).toHtmlEscaped() + QStringLiteral("</div>");
    setHtml(html);
}

}  // namespace folianto
