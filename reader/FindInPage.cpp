#include "FindInPage.h"

#include "FindDialog.h"
#include "MainForm.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace folianto {

namespace {

const QString& FindRules()
{
    static const QString rules = [] {
        QFile file(QStringLiteral(":/folianto/FindInPage.js"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }();
    return rules;
}

}  // namespace

QString FindScript(const TFindRequest& request, const std::optional<TFindRange>& range)
{
    QJsonObject call{
        {"text", request.Text},
        {"matchCase", request.MatchCase},
        {"wholeWord", request.WholeWord},
        {"down", request.Down},
        {"range", QJsonValue::Null},
    };
    if (range)
        call["range"] = QJsonObject{{"start", range->Start}, {"end", range->End}, {"document", range->Document}};
    return FindRules() + QStringLiteral("\nfindInPage(%1);\n")
                             .arg(QString::fromUtf8(QJsonDocument(call).toJson(QJsonDocument::Compact)));
}

TFindOutcome FindOutcomeFrom(const QVariant& result)
{
    TFindOutcome outcome;
    const QVariantMap map = result.toMap();
    const QString status = map.value("status").toString();
    outcome.Range.Document = map.value("document").toString();
    if (status == "found") {
        bool startOk = false, endOk = false;
        outcome.Range.Start = map.value("start").toLongLong(&startOk);
        outcome.Range.End = map.value("end").toLongLong(&endOk);
        if (startOk && endOk && outcome.Range.Start >= 0 && outcome.Range.End > outcome.Range.Start
            && !outcome.Range.Document.isEmpty())
            outcome.Status = TFindStatus::Found;
    } else if (status == "notfound") {
        outcome.Status = TFindStatus::NotFound;
    } else if (status == "nobody") {
        outcome.Status = TFindStatus::NoBody;
    }
    if (outcome.Status != TFindStatus::Found)
        outcome.Range.Start = outcome.Range.End = 0;
    return outcome;
}

void FindInPage(QWebEnginePage& page, const TFindRequest& request, const std::optional<TFindRange>& range,
                std::function<void(const TFindOutcome&)> done)
{
    page.runJavaScript(FindScript(request, range), QWebEngineScript::ApplicationWorld,
                       [done = std::move(done)](const QVariant& result) { done(FindOutcomeFrom(result)); });
}

void TMainForm::OpenFindDialog()
{
    if (!FindDialog_) {
        FindDialog_ = new TFindDialog(this);
        connect(FindDialog_, &TFindDialog::Shown, this, &TMainForm::FindDialogShow);
        connect(FindDialog_, &TFindDialog::FindNext, this, &TMainForm::FindDialogFind);
    }
    FindDialog_->show();  // opens it, or leaves it open with its search going on
    FindDialog_->raise();
    FindDialog_->activateWindow();
}

void TMainForm::FindDialogShow()
{
    FindRange_.reset();
    findPresses_ = TFindPresses{false, 0, findPresses_.Opening + 1};
}

void TMainForm::FindDialogFind()
{
    if (!FindDialog_ || !HasDocument())
        return;
    if (findPresses_.Running) {
        ++findPresses_.Waiting;
        return;
    }
    findPresses_.Running = true;
    const TFindRequest request{FindDialog_->FindText(), FindDialog_->MatchCase(), FindDialog_->WholeWord(),
                               FindDialog_->Down()};
    const unsigned opening = findPresses_.Opening;
    FindInPage(*Browser_->page(), request, FindRange_, [this, opening](const TFindOutcome& outcome) {
        if (destroyed_ || opening != findPresses_.Opening)
            return;  // the page went with the window, or the dialog was opened again
        findPresses_.Running = false;
        if (outcome.Status == TFindStatus::Found)
            FindRange_ = outcome.Range;
        else if (FindRange_ && !outcome.Range.Document.isEmpty() && outcome.Range.Document != FindRange_->Document)
            FindRange_.reset();  // another page is shown now; its search starts at its top
        emit FindDone(outcome.Status == TFindStatus::Found);
        if (findPresses_.Waiting > 0) {
            --findPresses_.Waiting;
            FindDialogFind();
        }
    });
}

}  // namespace folianto
