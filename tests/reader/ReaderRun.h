#pragma once
// One reader window over a book written for the test, served by a real page server on
// 127.0.0.1, with the key filter, the skin and the book's fonts plugged in as the program
// plugs them, and the dialogs replaced by records.

#include "Book.h"
#include "HTTPServer.h"
#include "MainForm.h"
#include "TestBooks.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace folianto::test {

inline constexpr int kPageTimeout = 15000;

// Runs a script in the page and waits for its result.
QVariant Evaluate(TMainForm& form, const QString& script);

// How many windows of one kind are on screen.
template <class TWindow>
int VisibleWindows()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<TWindow*>(widget) && widget->isVisible())
            ++count;
    return count;
}

struct TReaderRun {
    QTemporaryDir dir;
    std::unique_ptr<TBook> book;
    std::unique_ptr<THTTPServer> http;
    std::unique_ptr<TPageServer> server;
    std::vector<std::pair<std::string, std::string>> messages;  // message windows asked for
    std::function<void()> onMessage;  // called as each is asked for
    int aboutBoxes = 0;
    int printDialogs = 0;  // print dialogs asked for; each one is cancelled
    std::string fontDirectory;  // a folder of the run unless set before Create
    std::unique_ptr<TMainForm> form;

    void Load(const TBookDescription& description);
    void Create();
    // Shows the window and waits for the first page's caption.
    bool ShowAndWait(const std::string& caption);
    ~TReaderRun();
};

}  // namespace folianto::test
