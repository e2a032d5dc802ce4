#pragma once
// Find in page: our own search over the text a page shows, run as a script in the page
// (FindInPage.js). The browser's own find wraps around and knows no whole words, so it
// cannot search as the find dialog promises.

#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class QWebEnginePage;

namespace folianto {

// The search position: the last match, as positions in the shown text of one document.
struct TFindRange {
    qint64 Start = 0;
    qint64 End = 0;
    QString Document;  // names the document; a range of another document counts as none
    bool operator==(const TFindRange&) const = default;
};

struct TFindRequest {
    QString Text;
    bool MatchCase = false;
    bool WholeWord = false;
    bool Down = true;
};

enum class TFindStatus {
    Found,     // the match is the page's selection now
    NotFound,  // nothing changed
    NoBody,    // a frame set or a document that is not HTML: nothing was searched
    Failed,    // the script did not run to its end (no page, a page going away)
};

struct TFindOutcome {
    TFindStatus Status = TFindStatus::Failed;
    TFindRange Range;  // the match when found; otherwise only its Document is known
};

// The script that runs one search: the rules and a call with this request.
QString FindScript(const TFindRequest& request, const std::optional<TFindRange>& range);
// Reads what the script returned; anything else is a failed search.
TFindOutcome FindOutcomeFrom(const QVariant& result);

// Runs one search in page, in the reader's own script world; done gets the outcome later.
void FindInPage(QWebEnginePage& page, const TFindRequest& request, const std::optional<TFindRange>& range,
                std::function<void(const TFindOutcome&)> done);

// Presses of "Find Next" that wait for the search before them, so that each starts where
// the one before ended.
struct TFindPresses {
    bool Running = false;
    int Waiting = 0;
    unsigned Opening = 0;  // counts openings of the dialog: the outcome of an earlier one is dropped
};

}  // namespace folianto
