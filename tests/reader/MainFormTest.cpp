#include <QtTest>
class MainFormTest : public QObject { Q_OBJECT };
QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
