// The words the window makes of what the download service reports: each
// kind of "Progress" cell, the failure box, the counter and the start-up
// question, word for word.
#include "ui/mainwindow/queuetexts.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::download::service;
using namespace vidrona::ui::mainwindow;
Q_DECLARE_METATYPE(SubtitleMiss)

namespace {
constexpr qint64 MiB = 1024 * 1024;
const QString Dot = QStringLiteral(" \u00b7 ");

// The sentence with " · " where the table writes " | ".
QString dotted(const char *text)
{
    return QString::fromUtf8(text).replace(QStringLiteral(" | "), Dot);
}

RowProgress fileAt(qint64 bytes, qint64 total, double speed)
{
    RowProgress p;
    p.bytes = bytes;
    p.total = total;
    p.bytesPerSecond = speed;
    return p;
}

RowProgress streamAt(int done, int pieces, qint64 bytes, double speed)
{
    RowProgress p = fileAt(bytes, -1, speed);
    p.piecesDone = done;
    p.piecesTotal = pieces;
    return p;
}
} // namespace

class TestQueueTexts : public QObject
{
    Q_OBJECT
private slots:
    void progressCell_data();
    void progressCell();
    void retryCell_data();
    void retryCell();
    void endedCell_data();
    void endedCell();
    void boxesAndCounter();
    void missedSubtitlesCell_data();
    void missedSubtitlesCell();
};

void TestQueueTexts::progressCell_data()
{
    QTest::addColumn<RowProgress>("progress");
    QTest::addColumn<QString>("cell");
    QTest::newRow("known size")
        << fileAt(380 * MiB, 1024 * MiB, 12.3 * MiB) << dotted("37 % | 380 of 1024 MiB | 12.3 MiB/s | 0:53 left");
    QTest::newRow("unknown size") << fileAt(380 * MiB, -1, 12.3 * MiB) << dotted("380 MiB | 12.3 MiB/s");
    QTest::newRow("no speed yet: no time left") << fileAt(1000, 4000, 0) << dotted("25 % | 1.0 of 3.9 KiB | 0 B/s");
    QTest::newRow("bytes") << fileAt(100, -1, 50) << dotted("100 B | 50 B/s");
    QTest::newRow("complete") << fileAt(4000, 4000, 1000) << dotted("100 % | 3.9 of 3.9 KiB | 1000 B/s | 0:00 left");
    QTest::newRow("hours left")
        << fileAt(0, 2LL * 1024 * MiB, 100 * 1024) << dotted("0 % | 0.0 of 2.0 GiB | 100 KiB/s | 5:49:32 left");
    QTest::newRow("minutes left")
        << fileAt(MiB / 2, 3 * MiB, 3 * 1024) << dotted("16 % | 0.5 of 3.0 MiB | 3.0 KiB/s | 14:14 left");
    QTest::newRow("a stream, by pieces")
        << streamAt(45, 120, 38 * MiB, 2.1 * MiB) << dotted("37 % | 45 of 120 pieces | 38.0 MiB | 2.1 MiB/s | 0:31 left");
    QTest::newRow("a stream before its first piece")
        << streamAt(0, 120, 0, 0) << dotted("0 % | 0 of 120 pieces | 0 B | 0 B/s");
    RowProgress encoding = streamAt(120, 120, 38 * MiB, 2.1 * MiB);
    encoding.encodedPermille = 457;
    QTest::newRow("sound being encoded as MP3") << encoding << QString("Encoding MP3: 45%");
    encoding.encodedPermille = 1000;
    QTest::newRow("the encode's end") << encoding << QString("Encoding MP3: 100%");
}

void TestQueueTexts::progressCell()
{
    QFETCH(RowProgress, progress);
    QFETCH(QString, cell);
    QCOMPARE(progressText(progress), cell);
    if (progress.encodedPermille >= 0) // the encode's words stand for the figures
        return;
    if (progress.isStream())
        QCOMPARE(streamProgressText(progress.piecesDone, progress.piecesTotal, progress.bytes, progress.bytesPerSecond), cell);
    else
        QCOMPARE(fetchProgressText(progress.bytes, progress.total, progress.bytesPerSecond), cell);
}

namespace {
// An error status as the engine reports it.
net::Failure answered(int status, const QString &phrase, net::Subject subject = net::Subject::None)
{
    net::Failure f = net::fail(net::Reason::HttpError, net::Cause::HttpStatus, phrase);
    f.status = status;
    f.subject = subject;
    return f;
}

// A failure told in words that came with it (libcurl's, the system's).
net::Failure told(const QString &words)
{
    return net::fail(net::Reason::CannotConnect, net::Cause::ConnectFailed, words);
}
} // namespace

void TestQueueTexts::retryCell_data()
{
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<net::Failure>("why");
    QTest::addColumn<QString>("cell");
    QTest::newRow("busy server") << 4000 << answered(503, "Service Unavailable")
                                 << "Retrying in 4 s (the server answered 503 Service Unavailable)";
    QTest::newRow("part of a second counts whole") << 1500 << told("Connection reset") << "Retrying in 2 s (connection reset)";
    QTest::newRow("Retry-After of a minute") << 60000 << told("X") << "Retrying in 60 s (x)";
    QTest::newRow("no reason") << 1000 << told("") << "Retrying in 1 s ()";
    QTest::newRow("one past a second") << 1001 << told("No data came") << "Retrying in 2 s (no data came)";
    QTest::newRow("under a second") << 1 << told("X") << "Retrying in 1 s (x)";
    QTest::newRow("no wait") << 0 << told("Reset") << "Retrying in 0 s (reset)";
    QTest::newRow("a stall") << 2000 << net::stalled(30000) << "Retrying in 2 s (no data came for 30 seconds)";
}

void TestQueueTexts::retryCell()
{
    QFETCH(int, waitMs);
    QFETCH(net::Failure, why);
    QFETCH(QString, cell);
    QCOMPARE(retryWaitText(waitMs, why), cell);
}

void TestQueueTexts::endedCell_data()
{
    QTest::addColumn<net::Failure>("failure");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("box"); // empty: the window shows none
    const QString sentence = QStringLiteral("An error has occured in the file transfer or write.  Please try again later.");
    QTest::newRow("in place") << net::Failure() << "" << "";
    QTest::newRow("cancelled by the user") << net::cancelled() << "Cancelled" << "";
    QTest::newRow("404") << answered(404, "Not Found") << "The server answered 404 Not Found"
                         << sentence + "\r\nThe server answered 404 Not Found";
    QTest::newRow("full disk") << net::fail(net::Reason::DiskFull, net::Cause::DiskFull) << "No space left on the disk"
                               << sentence + "\r\nNo space left on the disk";
}

void TestQueueTexts::endedCell()
{
    QFETCH(net::Failure, failure);
    QFETCH(QString, cell);
    QFETCH(QString, box);
    QCOMPARE(endedText(failure), cell);
    if (!box.isEmpty())
        QCOMPARE(failureBoxText(failure), box);
}

void TestQueueTexts::missedSubtitlesCell_data()
{
    QTest::addColumn<QList<SubtitleMiss>>("missed");
    QTest::addColumn<QString>("cell");
    const net::Failure notFound = answered(404, "Not Found", net::Subject::Subtitles);
    QTest::newRow("one") << QList<SubtitleMiss>{{"en", notFound}}
                         << "Completed, no subtitles (en): the server answered 404 Not Found for the subtitles";
    QTest::newRow("two")
        << QList<SubtitleMiss>{{"en", notFound}, {"de", net::fail(net::Reason::NotTheVideo, net::Cause::SubtitlesNone)}}
        << "Completed, no subtitles (en): the server answered 404 Not Found for the subtitles; "
           "no subtitles (de): the video offers none";
}

void TestQueueTexts::missedSubtitlesCell()
{
    QFETCH(QList<SubtitleMiss>, missed);
    QFETCH(QString, cell);
    QCOMPARE(missedSubtitlesText(missed), cell);
}

void TestQueueTexts::boxesAndCounter()
{
    QCOMPARE(queueFailureText(), QString("An error has occured in the file transfer or write.  Please try again later."));
    QCOMPARE(filesDownloadedText(2, 5), QString("2 of 5 files downloaded."));
    QCOMPARE(filesDownloadedText(0, 0), QString("0 of 0 files downloaded."));
    QCOMPARE(resumeQuestion(3), QString("You have 3 File waiting to be downloaded.  Continue downloading ?"));
}

QTEST_MAIN(TestQueueTexts)
#include "tst_queuetexts.moc"
