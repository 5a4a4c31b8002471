// Files of the YouTube window's transfer: whatever holds the video's name
// stays as it is, and spools of older versions go. Real requests to the
// local web, real files and links.
#include "support/testenv.h"
#include "download/youtube/flvdownload.h"
#include "download/youtube/httptransfer.h"
#include "transferkit.h"
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download::youtube;
using namespace vidrona::download::youtube::testkit;

class TestYouTubeFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void olderFileStays();
    void namesHeldByOthers_data();
    void namesHeldByOthers();
    void oldSpoolsGo();

private:
    int run(FlvDownload &dl, const QString &link, const QString &title);
    std::unique_ptr<test::LocalWeb> m_web;
    QTemporaryDir m_dir;
};

void TestYouTubeFiles::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
    testweb::installSimulatedWeb(m_web->server());
    QVERIFY(m_dir.isValid());
}

// Runs one transfer to its end; the outcome, or -1 when it never ended.
int TestYouTubeFiles::run(FlvDownload &dl, const QString &link, const QString &title)
{
    QSignalSpy spy(&dl, &FlvDownload::finished);
    dl.start(link, title, m_dir.path());
    if (spy.isEmpty() && !spy.wait(30000))
        return -1;
    return int(spy.at(0).at(0).value<FlvDownload::Outcome>());
}

// A file the window did not write keeps its name and its bytes; the video
// takes the next free name, and the window shows it.
void TestYouTubeFiles::olderFileStays()
{
    test::writeFile(m_dir.path(), "old.flv", QByteArray(10000, 'z'));
    HttpTransfer inet;
    RecordingView view;
    FlvDownload dl(&inet, &view);
    QCOMPARE(run(dl, fileAddress("bytes-3000"), "old"), int(FlvDownload::Outcome::Downloaded));
    QCOMPARE(test::readFile(m_dir.filePath("old.flv")), QByteArray(10000, 'z'));
    QCOMPARE(test::readFile(m_dir.filePath("old (2).flv")), testweb::Server::patternBytes(0, 3000));
    QCOMPARE(view.fileName, QString("old (2)"));
}

void TestYouTubeFiles::namesHeldByOthers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("holder"); // none, file, link (to another file)
    QTest::addColumn<QString>("how");    // stop-wait, stop-arriving, complete
    QTest::newRow("stopped while waiting, no file: none is made") << "held1" << "none" << "stop-wait";
    QTest::newRow("stopped while waiting, a file: it stays") << "held2" << "file" << "stop-wait";
    QTest::newRow("stopped while arriving, a link: its target stays") << "held3" << "link" << "stop-arriving";
    QTest::newRow("complete, a file: the next free name") << "held4" << "file" << "complete";
    QTest::newRow("complete, a link: the next free name") << "held5" << "link" << "complete";
}

// Whatever holds the video's name stays byte for byte, whether the
// download is stopped or completes; nothing is written through a link.
void TestYouTubeFiles::namesHeldByOthers()
{
    QFETCH(QString, name);
    QFETCH(QString, holder);
    QFETCH(QString, how);
    const QByteArray precious = "a file of the user's own";
    const QString file = m_dir.filePath(name + ".flv");
    const QString other = test::writeFile(m_dir.path(), name + ".other", precious);
    if (holder == "file")
        test::writeFile(m_dir.path(), name + ".flv", precious);
    if (holder == "link")
        QVERIFY(QFile::link(other, file));
    const QByteArray path = "/held/" + name.toLatin1() + ".flv";
    m_web->server().on("media.example.com", path, interruptedOnce("\"h\"", "\"h\"", 0, true));
    const QString link = how == "stop-wait"   ? fileAddress("stall-5000")
                         : how == "complete" ? fileAddress("bytes-3000")
                                             : "http://media.example.com" + QString::fromLatin1(path);
    HttpTransfer inet;
    RecordingView view;
    FlvDownload dl(&inet, &view);
    QSignalSpy spy(&dl, &FlvDownload::finished);
    dl.start(link, name, m_dir.path());
    if (how != "complete") {
        QTRY_VERIFY_WITH_TIMEOUT(how == "stop-wait" ? inet.headersIn() : inet.bytesReceived() >= 64 * 1024, 20000);
        view.cancelAfterChecks = 0;
        dl.checkCancel();
    }
    QVERIFY(!spy.isEmpty() || spy.wait(30000));
    QCOMPARE(spy.at(0).at(0).value<FlvDownload::Outcome>(),
             how == "complete" ? FlvDownload::Outcome::Downloaded : FlvDownload::Outcome::Stopped);
    QCOMPARE(test::readFile(other), precious);
    QCOMPARE(QFileInfo(file).isSymLink(), holder == "link");
    QCOMPARE(QFileInfo::exists(file), holder != "none");
    if (holder == "file")
        QCOMPARE(test::readFile(file), precious);
    if (how == "complete") {
        QCOMPARE(test::readFile(m_dir.filePath(name + " (2).flv")), testweb::Server::patternBytes(0, 3000));
        QCOMPARE(view.fileName, name + " (2)");
    }
}

// Hidden spools that older versions left at a crash go at the next start.
void TestYouTubeFiles::oldSpoolsGo()
{
    const QString spool = test::writeFile(m_dir.path(), ".vidrona-x1Yz.part", "left by a crash");
    const QString keep = test::writeFile(m_dir.path(), "vidrona-x1Yz.part.txt", "not a spool");
    HttpTransfer inet;
    RecordingView view;
    FlvDownload dl(&inet, &view);
    QCOMPARE(run(dl, fileAddress("bytes-100"), "spooled"), int(FlvDownload::Outcome::Downloaded));
    QVERIFY(!QFileInfo::exists(spool));
    QVERIFY(QFileInfo::exists(keep));
}

QTEST_GUILESS_MAIN(TestYouTubeFiles)
#include "tst_youtube_files.moc"
