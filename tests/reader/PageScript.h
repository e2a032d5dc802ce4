#pragma once
// Scripts run in a test's page. The page calls back later, maybe only when it is destroyed,
// so a callback never writes into the test's own stack: it fills a shared slot instead.

#include <QVariant>
#include <QWebEnginePage>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>

namespace folianto::test {

// The script's value, or none when the page did not answer in time.
inline std::optional<QVariant> EvaluateInPage(QWebEnginePage& page, const QString& script, int timeoutMs)
{
    auto answer = std::make_shared<std::optional<QVariant>>();
    page.runJavaScript(script, [answer](const QVariant& value) { *answer = value; });
    if (!QTest::qWaitFor([&] { return answer->has_value(); }, timeoutMs))
        return std::nullopt;
    return *answer;
}

// Runs the script again, one run at a time, until its value satisfies `done`.
inline bool WaitForPageValue(QWebEnginePage& page, const QString& script,
                             const std::function<bool(const QVariant&)>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const auto value = EvaluateInPage(page, script, static_cast<int>(deadline.remainingTime()));
        if (value && done(*value))
            return true;
        QTest::qWait(20);
    }
    return false;
}

}  // namespace folianto::test
