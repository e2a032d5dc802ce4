#include "MessageFormTool.h"

#include "AnsiText.h"
#include "DialogFrame.h"
#include "InfoIcon.h"
#include "RichEditEx.h"
#include "WindowTitle.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace folianto {

namespace {
constexpr int kClientWidth = 396, kClientHeight = 210;
}

TMessageForm::TMessageForm(TShell& shell, QWidget* parent)
    : QDialog(parent, kDialogFrame),
      Image1_(new QLabel(this)),
      RichEditEx1_(new TRichEditEx(shell, this)),
      Button1_(new QPushButton(QStringLiteral("OK"), this))
{
    // "MS Sans Serif" does not exist here: the default font at its size.
    QFont font = QApplication::font();
    font.setPixelSize(11);
    setFont(font);
    setWindowTitle(QStringLiteral("Title of the book will go here"));
    setFixedSize(kClientWidth, kClientHeight);

    Image1_->setGeometry(8, 16, 32, 32);
    Image1_->setPixmap(InformationBalloon(32));

    RichEditEx1_->setGeometry(56, 16, 328, 146);
    RichEditEx1_->setFrameShape(QFrame::NoFrame);
    RichEditEx1_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    RichEditEx1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RichEditEx1_->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    QPalette palette = RichEditEx1_->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    RichEditEx1_->setPalette(palette);

    Button1_->setGeometry(303, 174, 75, 25);
    Button1_->setDefault(true);
    Button1_->setAutoDefault(true);
    connect(Button1_, &QPushButton::clicked, this, &TMessageForm::Button1Click);
    setFocusProxy(Button1_);
}

void TMessageForm::ShowMessageWindow(const std::string& title, const std::string& text)
{
    RichEditEx1_->SetText(FromAnsi(text));
    SetLiteralWindowTitle(*this, FromAnsi(title));
    RichEditEx1_->moveCursor(QTextCursor::Start);
    Button1_->setFocus();
    // Give the focus back to the window that had it, window manager or not.
    QPointer<QWidget> previous = QApplication::activeWindow();
    exec();
    if (previous && previous->isVisible())
        previous->activateWindow();
}

void TMessageForm::Button1Click()
{
    accept();
}

void TMessageForm::keyPressEvent(QKeyEvent* event)
{
    // There is no cancel button: Escape does nothing.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TMessageForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The text follows all four edges, the button the right and bottom ones.
    const int dw = width() - kClientWidth, dh = height() - kClientHeight;
    RichEditEx1_->setGeometry(56, 16, 328 + dw, 146 + dh);
    Button1_->move(303 + dw, 174 + dh);
}

}  // namespace folianto
