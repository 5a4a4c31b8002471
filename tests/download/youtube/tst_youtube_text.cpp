// The transfer's names and numbers: file name, percentage and the
// Content-Length (its words, the size label's and the error box's among
// them, are the window's: tests/ui/youtube/tst_youtubetexts.cpp).
#include "download/youtube/transfertext.h"
#include "net/httphead.h"
#include <QtTest>

using namespace vidrona::download::youtube;

class TestYouTubeText : public QObject
{
    Q_OBJECT
private slots:
    void fileName_data();
    void fileName();
    void percent_data();
    void percent();
    void contentLength_data();
    void contentLength();
};

void TestYouTubeText::fileName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("slash colon star") << "a/b:c*d" << "a b c d";
    QTest::newRow("question at the end") << "x?" << "x ";
    QTest::newRow("every one of the eight") << "/\\*:?<>|" << "        ";
    QTest::newRow("double quote stays") << "say \"hi\"" << "say \"hi\"";
    QTest::newRow("others untouched") << "T&amp;J.. \t-_" << "T&amp;J.. \t-_";
    QTest::newRow("runs give one blank each") << "a//b" << "a  b";
}

void TestYouTubeText::fileName()
{
    QFETCH(QString, title);
    QFETCH(QString, name);
    QCOMPARE(cleanFileName(title), name);
}

void TestYouTubeText::percent_data()
{
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("percent");
    QTest::newRow("1024 of 1024") << qint64(1024) << qint64(1024) << 100;
    QTest::newRow("1024 of 1025 is 99.90") << qint64(1024) << qint64(1025) << 100;
    QTest::newRow("50.5 goes to 50") << qint64(101 * 1024) << qint64(200 * 1024) << 50;
    QTest::newRow("51.5 goes to 52") << qint64(103 * 1024) << qint64(200 * 1024) << 52;
    QTest::newRow("0.5 goes to 0") << qint64(1024) << qint64(200 * 1024) << 0;
    QTest::newRow("1.5 goes to 2") << qint64(3 * 1024) << qint64(200 * 1024) << 2;
    QTest::newRow("just under a half") << qint64(1) << qint64(3) << 33;
    QTest::newRow("42") << qint64(42) << qint64(100) << 42;
    QTest::newRow("largest size") << qint64(2147483647) << qint64(2147483647) << 100;
    QTest::newRow("3 GiB, half") << qint64(1610612736) << qint64(3221225472) << 50;
}

void TestYouTubeText::percent()
{
    QFETCH(qint64, done);
    QFETCH(qint64, size);
    QFETCH(int, percent);
    QCOMPARE(percentDone(done, size), percent);
}

void TestYouTubeText::contentLength_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<qint64>("value"); // -1: refused
    QTest::newRow("missing") << QByteArray() << qint64(-1);
    QTest::newRow("zero") << QByteArray("0") << qint64(0);
    QTest::newRow("1025") << QByteArray("1025") << qint64(1025);
    QTest::newRow("blanks around") << QByteArray(" 1025 ") << qint64(1025);
    QTest::newRow("letters after") << QByteArray("12abc") << qint64(-1);
    QTest::newRow("negative") << QByteArray("-5") << qint64(-1);
    QTest::newRow("fraction") << QByteArray("1.5") << qint64(-1);
    QTest::newRow("largest of 32 bits") << QByteArray("2147483647") << qint64(2147483647);
    // Files past 2 GiB are read like any other.
    QTest::newRow("beyond 32 bits") << QByteArray("2147483648") << qint64(2147483648);
    QTest::newRow("3 GiB") << QByteArray("3221225472") << qint64(3221225472);
    QTest::newRow("largest") << QByteArray("9223372036854775807") << qint64(9223372036854775807);
    QTest::newRow("beyond 64 bits") << QByteArray("9223372036854775808") << qint64(-1);
}

void TestYouTubeText::contentLength()
{
    QFETCH(QByteArray, header);
    QFETCH(qint64, value);
    QCOMPARE(vidrona::net::parseContentLength(header).value_or(-1), value);
}

QTEST_GUILESS_MAIN(TestYouTubeText)
#include "tst_youtube_text.moc"
