// The YouTube window's status line for each state code of its transfer.
#include "ui/youtube/youtubetexts.h"
#include <QtTest>

using namespace vidrona;

class TestYouTubeTexts : public QObject
{
    Q_OBJECT
private slots:
    void states_data();
    void states();
};

void TestYouTubeTexts::states_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("text"); // "-": unchanged
    const QString none;
    QTest::newRow("0") << 0 << none << "-";
    QTest::newRow("1") << 1 << none << "Searching... My clip";
    QTest::newRow("2") << 2 << none << "Found.My clip";
    QTest::newRow("3") << 3 << none << "Connecting...";
    QTest::newRow("4") << 4 << none << "Connecting...";
    QTest::newRow("5") << 5 << none << "Searching... My clip";
    QTest::newRow("6") << 6 << none << "Searching... My clip";
    QTest::newRow("7") << 7 << none << "Receiving data for My clip";
    QTest::newRow("8") << 8 << none << "Receiving data for My clip";
    QTest::newRow("9") << 9 << none << "Disconnecting...";
    QTest::newRow("10") << 10 << none << "Disconnected";
    QTest::newRow("11 drops the line end") << 11 << "Host not found\r\n" << "Host not found";
    QTest::newRow("11 short description") << 11 << "x" << "";
    QTest::newRow("12") << 12 << none << "Connected";
    QTest::newRow("13 unknown") << 13 << none << "-";
}

void TestYouTubeTexts::states()
{
    QFETCH(int, state);
    QFETCH(QString, description);
    QFETCH(QString, text);
    const auto got = transferStateText(state, "My clip", description);
    QCOMPARE(got.value_or("-"), text);
}

QTEST_MAIN(TestYouTubeTexts)
#include "tst_youtubetexts.moc"
