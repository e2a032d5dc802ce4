#pragma once
// The message window: the book's intro and exit messages in a small modal dialog whose
// web and e-mail addresses are links.

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

namespace folianto {

class TRichEditEx;
class TShell;

class TMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessageForm(TShell& shell, QWidget* parent = nullptr);

    // Shows `text` under the caption `title` (both 8-bit, as the book holds them) and
    // returns when the user has closed the window.
    void ShowMessageWindow(const std::string& title, const std::string& text);

    void Button1Click();

    QLabel* Image1() const { return Image1_; }
    TRichEditEx* RichEditEx1() const { return RichEditEx1_; }
    QPushButton* Button1() const { return Button1_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* Image1_;
    TRichEditEx* RichEditEx1_;
    QPushButton* Button1_;
};

}  // namespace folianto
