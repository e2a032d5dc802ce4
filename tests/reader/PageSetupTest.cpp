// The page-setup codes of printed headers and footers, expanded by ExpandPageSetup.

#include "PageSetup.h"

#include <QtTest>

using namespace folianto;

Q_DECLARE_METATYPE(folianto::TPageSetupLine)

namespace QTest {
template <>
char* toString(const folianto::TPageSetupLine& line)
{
    return qstrdup(qPrintable(QString("[%1|%2|%3]").arg(line.Left, line.Centre, line.Right)));
}
}  // namespace QTest

class PageSetupTest : public QObject {
    Q_OBJECT
private slots:
    void expandsCodes_data();
    void expandsCodes();
};

void PageSetupTest::expandsCodes_data()
{
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("title");
    QTest::addColumn<TPageSetupLine>("expected");

    const QString title = "Chapter 1";
    QTest::newRow("the Print header") << kPrintHeader << title << TPageSetupLine{"Chapter 1", "Strona 3 z 12", ""};
    QTest::newRow("the Print footer") << kPrintFooter << title
                                      << TPageSetupLine{"http://127.0.0.1:4711/a.html", "21.03.24", ""};
    QTest::newRow("every code") << "&w|&u|&d|&p|&P" << title
                                << TPageSetupLine{"Chapter 1|http://127.0.0.1:4711/a.html|21.03.24|3|12", "", ""};
    QTest::newRow("two &b: left, centre, right") << "L&bC&bR" << title << TPageSetupLine{"L", "C", "R"};
    QTest::newRow("a third &b stays on the right") << "L&bC&bR&b!" << title << TPageSetupLine{"L", "C", "R!"};
    QTest::newRow("&b at both ends") << "&b&p&b" << title << TPageSetupLine{"", "3", ""};
    QTest::newRow("&& is one &, never a code") << "A&&B &&p &&&p" << title << TPageSetupLine{"A&B &p &3", "", ""};
    QTest::newRow("codes at both ends") << "&wpage&P" << title << TPageSetupLine{"Chapter 1page12", "", ""};
    QTest::newRow("an empty title") << kPrintHeader << "" << TPageSetupLine{"", "Strona 3 z 12", ""};
    QTest::newRow("codes in a value stay as they are") << kPrintHeader << "Fish &b Chips &p"
                                                       << TPageSetupLine{"Fish &b Chips &p", "Strona 3 z 12", ""};
    QTest::newRow("unknown code and a lone & at the end") << "&x 50%&" << title << TPageSetupLine{"&x 50%&", "", ""};
    QTest::newRow("codes are case sensitive") << "&W &U" << title << TPageSetupLine{"&W &U", "", ""};
    QTest::newRow("no codes at all") << "" << title << TPageSetupLine{};
}

void PageSetupTest::expandsCodes()
{
    QFETCH(QString, codes);
    QFETCH(QString, title);
    QFETCH(TPageSetupLine, expected);
    const TPageSetupValues values{title, "http://127.0.0.1:4711/a.html", "21.03.24", 3, 12};
    QCOMPARE(ExpandPageSetup(codes, values), expected);
}

QTEST_GUILESS_MAIN(PageSetupTest)
#include "PageSetupTest.moc"
