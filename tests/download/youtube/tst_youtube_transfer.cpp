// The file transfer without a window: real requests to the local web,
// real files, a recording stand-in for the window.
#include "support/testenv.h"
#include "download/service/downloadservice.h"
#include "download/youtube/flvdownload.h"
#include "download/youtube/httptransfer.h"
#include "download/keptbytes.h"
#include "transferkit.h"
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::youtube;

using namespace vidrona::download::youtube::testkit;
using namespace vidrona::download::service;
using namespace vidrona::ui::youtube;

class TestYouTubeTransfer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void complete_data();
    void complete();
    void failures_data();
    void failures();
    void connectionRefused();
    void stateCodes_data();
    void stateCodes();
    void stopBetweenSteps();
    void stopWhileWaiting();
    void refreshIsThrottled();
    void resume_data();
    void resume();
    void beyond32Bits();

private:
    // Runs one transfer to its end; the outcome, or -1 when it never ended.
    int run(FlvDownload &dl, RecordingView &view, const QString &link, const QString &title);
    // A first download that ends before its body does: once bytes arrived
    // the user stops it ("stop") or closes the window ("close"), or it
    // fails when the server drops it ("drop").
    void interrupt(const QString &link, const QString &title, const QString &how);
    std::unique_ptr<test::LocalWeb> m_web;
    QTemporaryDir m_dir;
};

void TestYouTubeTransfer::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
    testweb::installSimulatedWeb(m_web->server());
    QVERIFY(m_dir.isValid());
}

int TestYouTubeTransfer::run(FlvDownload &dl, RecordingView &, const QString &link, const QString &title)
{
    QSignalSpy spy(&dl, &FlvDownload::finished);
    dl.start(link, title, m_dir.path());
    if (spy.isEmpty() && !spy.wait(30000))
        return -1;
    return int(spy.at(0).at(0).value<FlvDownload::Outcome>());
}

void TestYouTubeTransfer::interrupt(const QString &link, const QString &title, const QString &how)
{
    // The file is tried again as a whole after a drop, as a row is; a
    // service that tries nothing again lets the first run end with it.
    QTemporaryDir listFolder;
    DownloadService service(listFolder.path(), listFolder.path());
    service.setRetryDelays({});
    HttpTransfer inet;
    inet.setService(&service);
    RecordingView view;
    FlvDownload dl(&inet, &view);
    QSignalSpy spy(&dl, &FlvDownload::finished);
    dl.start(link, title, m_dir.path());
    const QString file = m_dir.filePath(title + ".flv");
    // Stopped once the record names bytes: it names only durable ones.
    if (how == "close") {
        QTRY_VERIFY_WITH_TIMEOUT(namedBytes(file) > 0, 20000);
        dl.abandon();
        QVERIFY(spy.isEmpty()); // nobody is left to hear of it
        QVERIFY(!QFile::exists(file));
        return;
    }
    if (how == "stop") {
        QTRY_VERIFY_WITH_TIMEOUT(namedBytes(file) > 0, 20000);
        view.cancelAfterChecks = 0;
        dl.checkCancel();
    }
    QVERIFY(!spy.isEmpty() || spy.wait(30000));
    const auto outcome = how == "stop" ? FlvDownload::Outcome::Stopped : FlvDownload::Outcome::Failed;
    QCOMPARE(spy.at(0).at(0).value<FlvDownload::Outcome>(), outcome);
    if (how == "stop") // a stopped wait makes no file
        QVERIFY(!QFileInfo::exists(file));
}

void TestYouTubeTransfer::complete_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("mp4");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sizeText");
    QTest::newRow("empty body") << QByteArray("bytes-0") << qint64(0) << false << "zero" << "zero.flv" << "0 Kb";
    QTest::newRow("1024: one read") << QByteArray("bytes-1024") << qint64(1024) << false << "k" << "k.flv" << "1.024 Kb";
    QTest::newRow("1025: two reads") << QByteArray("bytes-1025") << qint64(1025) << true << "k/1" << "k 1.mp4" << "1.025 Kb";
    QTest::newRow("200 pieces") << QByteArray("bytes-204800") << qint64(204800) << false << "x?" << "x .flv" << "204.8 Kb";
    QTest::newRow("5 MB") << QByteArray("bytes-5000000") << qint64(5000000) << false << "big" << "big.flv" << "5000 Kb";
}

void TestYouTubeTransfer::complete()
{
    QFETCH(QByteArray, id);
    QFETCH(qint64, size);
    QFETCH(bool, mp4);
    QFETCH(QString, title);
    QFETCH(QString, file);
    QFETCH(QString, sizeText);
    HttpTransfer inet;
    RecordingView view;
    view.mp4 = mp4;
    FlvDownload dl(&inet, &view);
    QCOMPARE(run(dl, view, fileAddress(id), title), int(FlvDownload::Outcome::Downloaded));
    QCOMPARE(view.statuses.first(), "Downloading: " + title);
    QCOMPARE(view.statuses.last(), QString("File downloaded"));
    QCOMPARE(view.sizeText, sizeText);
    QCOMPARE(view.fileName + (mp4 ? ".mp4" : ".flv"), file);
    QCOMPARE(view.enabled, 1);
    QVERIFY(view.messages.isEmpty());
    QCOMPARE(test::readFile(m_dir.filePath(file)), testweb::Server::patternBytes(0, size));
    QCOMPARE(QDir(m_dir.path()).entryList({"*.part"}, QDir::Files | QDir::Hidden), QStringList());
    // The body became the file: it has the permissions of any new file.
    QFile fresh(m_dir.filePath("fresh"));
    QVERIFY(fresh.open(QIODevice::WriteOnly));
    QCOMPARE(QFileInfo(m_dir.filePath(file)).permissions(), fresh.permissions());
    fresh.remove();
    if (size == 0) {
        QVERIFY(view.progress.isEmpty()); // the counters keep their texts
    } else {
        QCOMPARE(view.progress.last().done, size);
        QCOMPARE(view.progress.last().left, 0);
        QCOMPARE(view.progress.last().percent, 100);
    }
}

void TestYouTubeTransfer::failures_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("sizeText"); // what the size label shows after
    QTest::newRow("not found") << fileAddress("gone-100") << "";
    QTest::newRow("wrong token") << QString("http://youtube.com/get_video?video_id=bytes-10&t=x") << "";
    QTest::newRow("body shorter than announced") << fileAddress("short-40000") << "";
    QTest::newRow("no Content-Length") << fileAddress("nolength-4000") << "";
    QTest::newRow("Content-Length not a number") << fileAddress("badlength-4000") << "";
    // A terabyte each: ended at once, their bodies never read.
    QTest::newRow("no Content-Length, endless") << fileAddress("nolength-1000000000000") << "";
    QTest::newRow("bad Content-Length, endless") << fileAddress("badlength-1000000000000") << "";
    QTest::newRow("head without end") << fileAddress("endlesshead-4000") << "";
    QTest::newRow("no such host") << QString("http://no-such-host.invalid/get_video?x") << "";
}

void TestYouTubeTransfer::failures()
{
    QFETCH(QString, link);
    QFETCH(QString, sizeText);
    HttpTransfer inet;
    RecordingView view;
    FlvDownload dl(&inet, &view);
    const auto files = [this] { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); };
    const QStringList before = files();
    QCOMPARE(run(dl, view, link, "failing"), int(FlvDownload::Outcome::Failed));
    QCOMPARE(view.messages.size(), 1);
    QVERIFY2(view.messages[0].startsWith("Error: \r\n"), qPrintable(view.messages[0]));
    QVERIFY(view.messages[0].endsWith(" Try Again..!\r\n"));
    QVERIFY(view.messages[0].size() > 25); // a description in between
    QCOMPARE(view.statuses.last(), QString("Idle!"));
    QCOMPARE(view.enabled, 1);
    QCOMPARE(view.sizeText, sizeText);
    QVERIFY(view.progress.isEmpty());
    QVERIFY2(inet.bytesReceived() < 64 * 1024, qPrintable(QString::number(inet.bytesReceived())));
    // No file was opened, and no received bytes are left behind.
    QCOMPARE(files(), before);
}

void TestYouTubeTransfer::connectionRefused()
{
    // A port that was just freed: the connection is refused, no head comes.
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", port));
    HttpTransfer inet;
    RecordingView view;
    FlvDownload dl(&inet, &view);
    QSignalSpy states(&inet, &HttpTransfer::StateChanged);
    const int outcome = run(dl, view, fileAddress("bytes-10"), "refused");
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", m_web->server().port()));
    QCOMPARE(outcome, int(FlvDownload::Outcome::Failed));
    QVERIFY(!inet.headersIn());
    QVERIFY(!states.contains(QVariantList{int(HttpTransfer::Receiving)}));
    QVERIFY(states.contains(QVariantList{int(HttpTransfer::Error)}));
    QCOMPARE(view.messages.size(), 1);
    QCOMPARE(view.statuses.last(), QString("Idle!"));
    QVERIFY(!QFile::exists(m_dir.filePath("refused.flv")));
}

void TestYouTubeTransfer::stateCodes_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QList<int>>("states");
    const int connecting = HttpTransfer::Connecting, sent = HttpTransfer::RequestSent,
              receiving = HttpTransfer::Receiving, received = HttpTransfer::ResponseReceived,
              completed = HttpTransfer::ResponseCompleted, error = HttpTransfer::Error;
    QTest::newRow("complete") << fileAddress("bytes-3000")
                              << QList<int>{connecting, sent, receiving, received, completed};
    // Its body is never read, yet the request itself went well.
    QTest::newRow("no Content-Length") << fileAddress("nolength-4000")
                                       << QList<int>{connecting, sent, receiving, received, completed};
    QTest::newRow("not found") << fileAddress("gone-100") << QList<int>{connecting, sent, error};
}

// The codes the window's status texts follow, in the order they come.
void TestYouTubeTransfer::stateCodes()
{
    QFETCH(QString, link);
    QFETCH(QList<int>, states);
    HttpTransfer inet;
    QSignalSpy spy(&inet, &HttpTransfer::StateChanged);
    QSignalSpy done(&inet, &HttpTransfer::done);
    QVERIFY(inet.Execute(link.trimmed(), m_dir.filePath("states.flv")));
    QVERIFY(done.wait(30000));
    QList<int> seen;
    for (const QVariantList &args : spy)
        seen << args.at(0).toInt();
    QCOMPARE(seen, states);
    QFile::remove(m_dir.filePath("states.flv"));
}

void TestYouTubeTransfer::stopBetweenSteps()
{
    HttpTransfer inet;
    RecordingView view;
    view.cancelAfterChecks = 5; // five steps pass, the sixth check stops
    FlvDownload dl(&inet, &view);
    QCOMPARE(run(dl, view, fileAddress("bytes-100000"), "partial"), int(FlvDownload::Outcome::Stopped));
    QCOMPARE(view.statuses.last(), QString("Video Download Stoped By User"));
    // The file is only ever the complete one: the stop leaves it whole.
    QCOMPARE(test::readFile(m_dir.filePath("partial.flv")), testweb::Server::patternBytes(0, 100000));
    QCOMPARE(view.progress.last().done, 5 * 1024); // the screen ends on the step's values
    QCOMPARE(view.progress.last().left, 100000 - 5 * 1024);
    QCOMPARE(view.progress.last().percent, 5);
    QCOMPARE(view.enabled, 0); // "cancel" enabled it already
}

void TestYouTubeTransfer::stopWhileWaiting()
{
    HttpTransfer inet;
    RecordingView view;
    FlvDownload dl(&inet, &view);
    QSignalSpy spy(&dl, &FlvDownload::finished);
    dl.start(fileAddress("stall-5000"), "waiting", m_dir.path());
    QTRY_VERIFY(inet.headersIn());
    QVERIFY(inet.StillExecuting());
    view.cancelAfterChecks = 0;
    dl.checkCancel();
    QCOMPARE(spy.size(), 1);
    QVERIFY(!inet.StillExecuting());
    QCOMPARE(view.statuses.last(), QString("Video Download Stoped By User"));
    QCOMPARE(view.sizeText, QString("5 Kb"));
    QVERIFY(!QFileInfo::exists(m_dir.filePath("waiting.flv"))); // none is made
}

void TestYouTubeTransfer::refreshIsThrottled()
{
    // A trickling body: live progress while waiting, few screen updates.
    HttpTransfer inet;
    RecordingView view;
    FlvDownload dl(&inet, &view);
    QCOMPARE(run(dl, view, fileAddress("slow-409600"), "slow"), int(FlvDownload::Outcome::Downloaded));
    QVERIFY(!view.arrivals.isEmpty());
    QVERIFY(view.arrivals.first() < 100);
    QVERIFY2(view.progress.size() < 400 / 10, qPrintable(QString::number(view.progress.size())));
    QCOMPARE(view.progress.last().done, 409600);
    QCOMPARE(test::readFile(m_dir.filePath("slow.flv")), testweb::Server::patternBytes(0, 409600));
}

void TestYouTubeTransfer::resume_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("etag");    // of the file on the first run; empty: none
    QTest::addColumn<QByteArray>("etagNow"); // on the second run
    QTest::addColumn<qint64>("versionNow");  // shift of the pattern on the second run
    QTest::addColumn<QString>("how");        // the first run ends: see interrupt()
    QTest::newRow("dropped at half, same version: the rest")
        << "dropped" << QByteArray("\"v1\"") << QByteArray("\"v1\"") << qint64(0) << "drop";
    QTest::newRow("stopped while arriving, same version: the rest")
        << "stopped" << QByteArray("\"v1\"") << QByteArray("\"v1\"") << qint64(0) << "stop";
    QTest::newRow("window closed while arriving, same version: the rest")
        << "closed" << QByteArray("\"v1\"") << QByteArray("\"v1\"") << qint64(0) << "close";
    QTest::newRow("another version: the whole new one")
        << "changed" << QByteArray("\"v1\"") << QByteArray("\"v2\"") << qint64(7) << "drop";
    QTest::newRow("no validator: nothing kept") << "unproven" << QByteArray() << QByteArray() << qint64(0) << "drop";
}

// An interrupted download of a video, then a second one of the same video
// into the same name: it goes on from the kept bytes only when the server
// proves they are of the version it serves now.
void TestYouTubeTransfer::resume()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, etag);
    QFETCH(QByteArray, etagNow);
    QFETCH(qint64, versionNow);
    QFETCH(QString, how);
    const QByteArray path = "/resume/" + name.toLatin1() + ".flv";
    m_web->server().on("media.example.com", path, interruptedOnce(etag, etagNow, versionNow, how != "drop"));
    m_web->server().clearRequests();
    const QString link = "http://media.example.com" + QString::fromLatin1(path);
    const QString file = m_dir.filePath(name + ".flv");
    interrupt(link, name, how);
    if (QTest::currentTestFailed())
        return;
    const qint64 kept = namedBytes(file);
    QCOMPARE(QFile::exists(download::kept::bytesPath(file)), !etag.isEmpty());
    if (!etag.isEmpty()) {
        QVERIFY2(kept > 0 && kept < ResumedSize, qPrintable(QString::number(kept)));
        QCOMPARE(test::readFile(download::kept::bytesPath(file)).left(kept), testweb::Server::patternBytes(0, kept));
    }
    HttpTransfer inet;
    RecordingView view;
    FlvDownload dl(&inet, &view);
    QCOMPARE(run(dl, view, link, name), int(FlvDownload::Outcome::Downloaded));
    QCOMPARE(test::readFile(file), testweb::Server::patternBytes(versionNow, ResumedSize));
    QVERIFY(!QFile::exists(download::kept::bytesPath(file)));
    QVERIFY(!QFile::exists(download::kept::recordPath(file)));
    // The counters are the whole file's, whatever part of it came now.
    QCOMPARE(view.sizeText, QString("1000 Kb"));
    QCOMPARE(view.progress.last().done, ResumedSize);
    const QList<testweb::Request> requests = m_web->server().requests();
    const int firstRun = how == "drop" && !etag.isEmpty() ? DroppedRun : 1;
    QCOMPARE(requests.size(), firstRun + 1);
    QCOMPARE(requests[firstRun].header("Range"), etag.isEmpty() ? QByteArray() : "bytes=" + QByteArray::number(kept) + "-");
    QCOMPARE(requests[firstRun].header("If-Range"), etag);
}

// Past 2 GiB: the rest of a 3 GiB file whose first bytes an earlier run
// kept (a sparse file stands in for them); the size, the counters and the
// file are the whole file's.
void TestYouTubeTransfer::beyond32Bits()
{
    constexpr qint64 Size = 3LL << 30, Rest = 5000;
    const QByteArray etag = "\"big\"";
    m_web->server().on("media.example.com", "/big.flv", [etag](const testweb::Request &req) {
        return testweb::Response::ranged(req, Size, etag);
    });
    const QString link = "http://media.example.com/big.flv";
    const QString file = m_dir.filePath("huge.flv");
    // The kept bytes are a sparse file, so the fetch counts the whole size
    // as still to come and refuses it, rightly, on a disk with less free.
    const qint64 free = QStorageInfo(m_dir.path()).bytesAvailable();
    if (free < Size)
        QSKIP(qPrintable(QStringLiteral("needs %1 bytes free, %2 are").arg(Size).arg(free)));
    QFile keptBytes(download::kept::bytesPath(file));
    QVERIFY(keptBytes.open(QIODevice::WriteOnly) && keptBytes.resize(Size - Rest));
    keptBytes.close();
    QVERIFY(download::kept::save(file, download::kept::Record{link.toLatin1(), etag, QByteArray(), Size, {{0, Size - Rest}}, -1}));
    HttpTransfer inet;
    RecordingView view;
    FlvDownload dl(&inet, &view);
    QCOMPARE(run(dl, view, link, "huge"), int(FlvDownload::Outcome::Downloaded));
    QCOMPARE(view.sizeText, QString("3221225.472 Kb"));
    QCOMPARE(view.progress.last().done, Size);
    QCOMPARE(view.progress.last().left, 0);
    QCOMPARE(view.progress.last().percent, 100);
    QFile got(file);
    QVERIFY(got.open(QIODevice::ReadOnly));
    QCOMPARE(got.size(), Size);
    QVERIFY(got.seek(Size - Rest));
    QCOMPARE(got.read(Rest), testweb::Server::patternBytes(Size - Rest, Rest));
    got.close();
    QVERIFY(QFile::remove(file));
}

QTEST_GUILESS_MAIN(TestYouTubeTransfer)
#include "tst_youtube_transfer.moc"
