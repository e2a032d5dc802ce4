#include <QtTest>
class ProgramTest : public QObject { Q_OBJECT };
QTEST_MAIN(ProgramTest)
#include "ProgramTest.moc"
