// The YouTube window's words for what its transfer reports: the status
// line for each state code and each state of the download, the error box's
// description for each failure, the size label and the box's frame.
#include "ui/youtube/youtubetexts.h"
#include <QtTest>

using namespace vidrona;
using namespace vidrona::ui::youtube;
using download::youtube::FlvFailure;
using download::youtube::FlvState;
using download::youtube::TransferFault;
Q_DECLARE_METATYPE(FlvState)
Q_DECLARE_METATYPE(FlvFailure)
Q_DECLARE_METATYPE(TransferFault)

namespace {
TransferFault faultOf(net::Reason reason, net::Cause cause = net::Cause::None, const QString &detail = QString(),
                      int status = 0, const QByteArray &phrase = QByteArray(), int stallMs = 0)
{
    TransferFault f;
    f.failure = net::fail(reason, cause, detail);
    f.failure.status = status;
    f.status = status;
    f.reasonPhrase = phrase;
    f.stallTimeoutMs = stallMs;
    return f;
}

FlvFailure failureOf(FlvFailure::Kind kind, qint64 received = 0, qint64 size = 0, const QString &name = QString())
{
    FlvFailure f;
    f.kind = kind;
    f.received = received;
    f.size = size;
    f.name = name;
    return f;
}
} // namespace

class TestYouTubeTexts : public QObject
{
    Q_OBJECT
private slots:
    void states_data();
    void states();
    void downloadStates_data();
    void downloadStates();
    void transferFaults_data();
    void transferFaults();
    void downloadFailures_data();
    void downloadFailures();
    void size_data();
    void size();
    void errorText();
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

void TestYouTubeTexts::downloadStates_data()
{
    QTest::addColumn<FlvState>("state");
    QTest::addColumn<QString>("text");
    QTest::newRow("downloading") << FlvState::Downloading << "Downloading: My clip";
    QTest::newRow("downloaded") << FlvState::Downloaded << "File downloaded";
    QTest::newRow("stopped") << FlvState::Stopped << "Video Download Stoped By User";
    QTest::newRow("idle") << FlvState::Idle << "Idle!";
}

void TestYouTubeTexts::downloadStates()
{
    QFETCH(FlvState, state);
    QFETCH(QString, text);
    QCOMPARE(downloadStateText(state, "My clip"), text);
}

void TestYouTubeTexts::transferFaults_data()
{
    QTest::addColumn<TransferFault>("fault");
    QTest::addColumn<QString>("text");
    using R = net::Reason;
    using C = net::Cause;
    TransferFault busy;
    busy.busy = true;
    QTest::newRow("busy") << busy << "Still executing last request.";
    QTest::newRow("none") << faultOf(R::None) << "";
    QTest::newRow("cancelled") << faultOf(R::Cancelled, C::Cancelled) << "Cancelled.";
    QTest::newRow("stalled") << faultOf(R::Stalled, C::Stalled, {}, 0, {}, 60000) << "No data came for 60 seconds.";
    QTest::newRow("stalled 2.5 s") << faultOf(R::Stalled, C::Stalled, {}, 0, {}, 2500) << "No data came for 2.5 seconds.";
    QTest::newRow("http error") << faultOf(R::HttpError, C::HttpStatus, "Not Found", 404, "Not Found")
                                << "The server answered 404 Not Found";
    QTest::newRow("http error, no phrase") << faultOf(R::HttpError, C::HttpStatus, {}, 503) << "The server answered 503 ";
    QTest::newRow("head too large") << faultOf(R::HeadTooLarge, C::BadHead) << "The answer's head is too large.";
    QTest::newRow("redirects") << faultOf(R::TooManyRedirects, C::TooManyRedirects) << "Too many redirects.";
    QTest::newRow("broken answer") << faultOf(R::BrokenAnswer, C::NoAnswer) << "No answer came.";
    QTest::newRow("disk full") << faultOf(R::DiskFull, C::DiskFull)
                               << "Cannot write the file: No space left on the disk";
    QTest::newRow("write failed") << faultOf(R::WriteFailed, C::NameTooLong)
                                  << "Cannot write the file: The name is too long for this disk";
    QTest::newRow("others: the failure's own") << faultOf(R::CannotConnect, C::ConnectFailed, "Could not resolve host: x.invalid")
                                               << "Could not resolve host: x.invalid";
}

void TestYouTubeTexts::transferFaults()
{
    QFETCH(TransferFault, fault);
    QFETCH(QString, text);
    QCOMPARE(transferFaultText(fault), text);
}

void TestYouTubeTexts::downloadFailures_data()
{
    QTest::addColumn<FlvFailure>("failure");
    QTest::addColumn<QString>("text");
    using K = FlvFailure::Kind;
    FlvFailure transfer = failureOf(K::Transfer);
    transfer.transfer = faultOf(net::Reason::HttpError, net::Cause::HttpStatus, "Forbidden", 403, "Forbidden");
    QTest::newRow("transfer") << transfer << "The server answered 403 Forbidden";
    QTest::newRow("no length") << failureOf(K::NoLength) << "The answer has no usable Content-Length.";
    QTest::newRow("closed early") << failureOf(K::ClosedEarly, 20000, 40000)
                                  << "The connection closed after 20000 of 40000 bytes.";
    QTest::newRow("closed early, past 32 bits") << failureOf(K::ClosedEarly, 3221225471, 3221225472)
                                                << "The connection closed after 3221225471 of 3221225472 bytes.";
    QTest::newRow("bad name") << failureOf(K::BadName, 0, 0, "..flv") << "Bad file name: ..flv";
}

void TestYouTubeTexts::downloadFailures()
{
    QFETCH(FlvFailure, failure);
    QFETCH(QString, text);
    QCOMPARE(downloadFailureText(failure), text);
}

void TestYouTubeTexts::size_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::newRow("1500") << qint64(1500) << "C" << "1.5 Kb";
    QTest::newRow("2000") << qint64(2000) << "C" << "2 Kb";
    QTest::newRow("0") << qint64(0) << "C" << "0 Kb";
    QTest::newRow("1") << qint64(1) << "C" << "0.001 Kb";
    QTest::newRow("1024") << qint64(1024) << "C" << "1.024 Kb";
    QTest::newRow("1010") << qint64(1010) << "C" << "1.01 Kb";
    QTest::newRow("largest, no grouping") << qint64(2147483647) << "en_US" << "2147483.647 Kb";
    QTest::newRow("3 GiB") << qint64(3221225472) << "en_US" << "3221225.472 Kb";
    QTest::newRow("comma separator") << qint64(1500) << "de_DE" << "1,5 Kb";
    QTest::newRow("comma, no grouping") << qint64(254321000) << "de_DE" << "254321 Kb";
}

void TestYouTubeTexts::size()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QCOMPARE(ui::youtube::sizeText(bytes, QLocale(locale)), text);
}

void TestYouTubeTexts::errorText()
{
    QCOMPARE(ui::youtube::errorMessage("Host not found", false), QString("Error: \r\nHost not found Try Again..!"));
    QCOMPARE(ui::youtube::errorMessage("Host not found", true), QString("Error: \r\nHost not found Try Again..!\r\n"));
}

QTEST_MAIN(TestYouTubeTexts)
#include "tst_youtubetexts.moc"
