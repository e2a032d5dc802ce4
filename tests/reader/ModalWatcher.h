#pragma once
// Modal windows run their own event loop, so a test cannot wait for one and go on: this
// watcher looks at the open modal window on every tick until `step` says it is done.

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <functional>

namespace folianto::test {

class TModalWatcher : public QObject {
public:
    explicit TModalWatcher(std::function<bool(QWidget* modal)> step) : step_(std::move(step))
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (step_(QApplication::activeModalWidget())) {
                timer_.stop();
                Done = true;
            }
        });
        timer_.start(20);
    }
    bool Done = false;

private:
    std::function<bool(QWidget*)> step_;
    QTimer timer_;
};

// Closes the next message box and keeps its text and the title it shows.
struct TMessageBoxCloser {
    QString Text, Title;
    TModalWatcher Watcher{[this](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return false;
        Text = box->text();
        Title = box->windowHandle() ? box->windowHandle()->title() : QString();
        box->accept();
        return true;
    }};
};

}  // namespace folianto::test
