#pragma once
// The find dialog of the reader window: a small modeless dialog with the find text, the
// whole-word and match-case options and the direction. It only collects the choices; the
// reader window searches when it asks.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace folianto {

class TFindDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFindDialog(QWidget* parent = nullptr);

    QString FindText() const;
    bool WholeWord() const;
    bool MatchCase() const;
    bool Down() const;

    QLineEdit* FindWhat() const { return findWhat_; }
    QCheckBox* WholeWordBox() const { return wholeWord_; }
    QCheckBox* MatchCaseBox() const { return matchCase_; }
    QRadioButton* UpButton() const { return up_; }
    QRadioButton* DownButton() const { return down_; }
    QPushButton* FindNextButton() const { return findNext_; }
    QPushButton* CancelButton() const { return cancel_; }

signals:
    // The dialog was opened: a new search begins.
    void Shown();
    // "Find Next" was pressed.
    void FindNext();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* findWhat_;
    QCheckBox* wholeWord_;
    QCheckBox* matchCase_;
    QRadioButton* up_;
    QRadioButton* down_;
    QPushButton* findNext_;
    QPushButton* cancel_;
};

}  // namespace folianto
