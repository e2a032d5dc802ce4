#pragma once
// The About box: the book's title, description, author, web site and e-mail, and the
// reader's own credit lines.

#include <QDialog>
#include <QLabel>

class QFrame;
class QPlainTextEdit;
class QPushButton;

namespace folianto {

class TBook;
class TShell;

// The product's own web address and the maker's notice line.
inline constexpr const char* kProductWebAddress = "https://folianto.example/";
inline constexpr const char* kNoticeLine = "Folianto reader. Free to share with the books it carries.";

// A label that reports a left click.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void Clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
};

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(TShell& shell, QWidget* parent = nullptr);

    // Fills the texts from the book and makes the window as much taller as the title
    // needs lines.
    void Fill(const TBook& book);
    // Shared click handler of the two web address labels.
    void Label4Click(QLabel* sender);

    QLabel* TitleLabel;
    QPlainTextEdit* DescriptionMemo;
    QLabel* AuthorLabel;
    TClickLabel* AuthorWebsiteLabel;
    QLabel* AuthorEmailLabel;
    QPushButton* OKButton;
    QFrame* Bevel1;
    QLabel* Label1;
    TClickLabel* Label4;
    QLabel* Label3;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceBottomControls();

    TShell& shell_;
};

}  // namespace folianto
