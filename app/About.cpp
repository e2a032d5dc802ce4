#include "About.h"

#include "AnsiText.h"
#include "DialogFrame.h"
#include "Book.h"
#include "ShellOpen.h"

#include <QApplication>
#include <QFrame>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <utility>
#include <vector>

namespace folianto {

namespace {

constexpr int kClientWidth = 259, kClientHeight = 289;
constexpr int kDesignTitleHeight = 20;
// The window's outer height is title top + title height + 296; the frame takes the
// difference between the designed outer (324) and client (289) heights.
constexpr int kHeightBelowTitle = 296;
constexpr int kDesignFrameHeight = 8 + kDesignTitleHeight + kHeightBelowTitle - kClientHeight;

// Controls that keep their distance to the bottom edge, with their designed tops.
std::vector<std::pair<QWidget*, int>> BottomAnchored(TAboutBox& box)
{
    return {{box.DescriptionMemo, 34}, {box.AuthorLabel, 138}, {box.AuthorWebsiteLabel, 154},
            {box.AuthorEmailLabel, 170}, {box.OKButton, 190},  {box.Bevel1, 226},
            {box.Label1, 234},           {box.Label4, 250},    {box.Label3, 266}};
}

void MakeLink(QLabel* label)
{
    label->setCursor(Qt::PointingHandCursor);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
}

}  // namespace

void TClickLabel::mousePressEvent(QMouseEvent* event)
{
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        emit Clicked();
}

TAboutBox::TAboutBox(TShell& shell, QWidget* parent)
    : QDialog(parent, kDialogFrame),
      TitleLabel(new QLabel(this)),
      DescriptionMemo(new QPlainTextEdit(this)),
      AuthorLabel(new QLabel(this)),
      AuthorWebsiteLabel(new TClickLabel(this)),
      AuthorEmailLabel(new QLabel(this)),
      OKButton(new QPushButton(QStringLiteral("OK"), this)),
      Bevel1(new QFrame(this)),
      Label1(new QLabel(QStringLiteral("Created with Folianto 3.0"), this)),
      Label4(new TClickLabel(QString::fromLatin1(kProductWebAddress), this)),
      Label3(new QLabel(QString::fromLatin1(kNoticeLine), this)),
      shell_(shell)
{
    // "MS Sans Serif" and "Trebuchet MS" do not exist here: the default font at their sizes.
    QFont font = QApplication::font();
    font.setPixelSize(11);
    setFont(font);
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(kClientWidth, kClientHeight);

    QFont titleFont = font;
    titleFont.setPixelSize(15);
    titleFont.setBold(true);
    TitleLabel->setFont(titleFont);
    TitleLabel->setWordWrap(true);
    TitleLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    TitleLabel->setGeometry(8, 8, 241, kDesignTitleHeight);

    DescriptionMemo->setReadOnly(true);
    DescriptionMemo->setFrameShape(QFrame::NoFrame);
    DescriptionMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette memoPalette = DescriptionMemo->palette();
    memoPalette.setColor(QPalette::Base, memoPalette.color(QPalette::Window));
    DescriptionMemo->setPalette(memoPalette);
    DescriptionMemo->setGeometry(8, 34, 241, 97);

    for (QLabel* label : {AuthorLabel, static_cast<QLabel*>(AuthorWebsiteLabel), AuthorEmailLabel, Label1,
                          static_cast<QLabel*>(Label4), Label3})
        label->setGeometry(8, 0, 241, 14);
    AuthorEmailLabel->setTextFormat(Qt::PlainText);  // never a link, whatever it holds
    AuthorLabel->setTextFormat(Qt::PlainText);
    AuthorWebsiteLabel->setTextFormat(Qt::PlainText);
    MakeLink(AuthorWebsiteLabel);
    MakeLink(Label4);
    connect(AuthorWebsiteLabel, &TClickLabel::Clicked, this, [this] { Label4Click(AuthorWebsiteLabel); });
    connect(Label4, &TClickLabel::Clicked, this, [this] { Label4Click(Label4); });

    OKButton->setGeometry(167, 190, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 226, 241, 2);

    setTabOrder(OKButton, DescriptionMemo);
    OKButton->setFocus();
    PlaceBottomControls();
}

void TAboutBox::Fill(const TBook& book)
{
    TitleLabel->setText(FromAnsi(book.Title));
    TitleLabel->setTextFormat(Qt::PlainText);
    TitleLabel->resize(DescriptionMemo->width(), TitleLabel->height());
    // Word wrap on: the label keeps its width and takes the height of the wrapped title.
    const int wrappedHeight = std::max(TitleLabel->heightForWidth(TitleLabel->width()), TitleLabel->fontMetrics().height());
    TitleLabel->resize(TitleLabel->width(), wrappedHeight);
    AuthorLabel->setText(FromAnsi(book.Author));
    AuthorWebsiteLabel->setText(FromAnsi(book.AuthorWebsite));
    AuthorEmailLabel->setText(FromAnsi(book.AuthorEmail));
    DescriptionMemo->setPlainText(FromAnsi(book.Description));
    const int outerHeight = TitleLabel->y() + TitleLabel->height() + kHeightBelowTitle;
    setFixedSize(kClientWidth, outerHeight - kDesignFrameHeight);
    PlaceBottomControls();  // a hidden window gets no resize event until it is shown
}

void TAboutBox::Label4Click(QLabel* sender)
{
    shell_.Open(sender->text());
}

void TAboutBox::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    PlaceBottomControls();
}

void TAboutBox::PlaceBottomControls()
{
    const int dy = height() - kClientHeight;
    for (auto [widget, top] : BottomAnchored(*this))
        widget->move(widget->x(), top + dy);
}

}  // namespace folianto
