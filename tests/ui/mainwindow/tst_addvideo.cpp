// "Add Video" against the simulated sites over real loopback sockets: the
// list sites add a row whose file "Start Download" fetches; DailyMotion and
// Google Video open their file in the browser; what is said when nothing
// is found, and how the window goes on while a page comes.
#include "addvideotest.h"
#include "ui/mainwindow/listtexts.h"
#include "ui/youtube/youtubeopener.h"
#include "sites/samples.h"
#include "ui/widgetmessages.h"
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::desktop;
using namespace vidrona::ui;
using namespace vidrona::ui::mainwindow;
using namespace vidrona::ui::youtube;
using testweb::Request;
using testweb::Response;

namespace {
const QString noVideo = "No video was found at this address.\r\nPlease, check the link and try again!";
QString notFetchedBecause(const QString &reason)
{
    return "The page of this video could not be fetched.\r\n" + reason + "\r\nPlease, check the link and try again!";
}
const QString checkLink = "Please, check the link and try again!";
const QString live = "This is a live stream: it has no end to save.";
const QString notOpened = "Only web addresses (http or https) are opened in the browser. This address was not opened:\r\n";
} // namespace

class TestAddVideo : public test::AddVideoTest
{
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    void listSitesDownload_data();
    void listSitesDownload();
    void browserSitesOpen_data();
    void browserSitesOpen();
    void nothingFoundAddsNothing_data();
    void nothingFoundAddsNothing();
    void secondPressWhileWaitingIsDropped();
    void userStaysInChargeWhileWaiting_data();
    void userStaysInChargeWhileWaiting();
    void hugePageKeepsTheWindowGoing();
    void hourglassWhileTheSitePageComes();
    void youTubeOpensItsWindow();

private:
    void routeFaultyPages(const QString &address);
    void routeSlowTvaliPage(int trickleMs);
};

void TestAddVideo::listSitesDownload_data()
{
    QTest::addColumn<QString>("site");
    QTest::addColumn<QString>("quality");
    QTest::addColumn<QString>("fileUrl");
    QTest::addColumn<QString>("fileName");
    for (const QString site : {"Metacafe", "Videkta", "Tvali", "AllVideos", "Break"}) {
        const QString file = testweb::sampleVideo(site).file;
        QTest::newRow(qPrintable(site)) << site << "low" << file << file.section('/', -1);
    }
    const QString wmv = testweb::sampleVideo("Break").file.chopped(3) + "wmv";
    QTest::newRow("Break, high quality wmv") << "Break" << "high" << wmv << wmv.section('/', -1);
}

void TestAddVideo::listSitesDownload()
{
    QFETCH(QString, site);
    QFETCH(QString, quality);
    QFETCH(QString, fileUrl);
    QFETCH(QString, fileName);
    paste(testweb::sampleVideo(site).page, quality);
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000); // the page comes while the window goes on
    QCOMPARE(m_messages->calls.size(), 0);
    QCOMPARE(addVideo().foundFileAddress, fileUrl);
    QCOMPARE(test::storeOf(*m_w).list().count(), 1);
    QCOMPARE(test::storeOf(*m_w).list().at(0).fileUrl, fileUrl);
    QCOMPARE(test::storeOf(*m_w).list().at(0).fileName, fileName);
    QCOMPARE(test::storeOf(*m_w).list().at(0).statusWord(), QStringLiteral("PENDING"));
    QVERIFY(m_browser.opened.isEmpty());
    downloadFirstRow(fileUrl, fileName);
}

void TestAddVideo::browserSitesOpen_data()
{
    QTest::addColumn<QString>("site");
    QTest::addColumn<QString>("quality");
    QTest::addColumn<QString>("opened");
    const QString google = "http://vp.video.google.com/videodownload?docid=-3640530513745741819&";
    QTest::newRow("DailyMotion") << "DailyMotion" << "low" << testweb::sampleVideo("DailyMotion").file;
    QTest::newRow("Google, low keeps amp;") << "Google Video" << "low" << google + "amp;format=flv";
    QTest::newRow("Google, high") << "Google Video" << "high" << google + "format=mp4";
    QTest::newRow("Google, avi") << "Google Video" << "avi" << google + "format=avi";
}

void TestAddVideo::browserSitesOpen()
{
    QFETCH(QString, site);
    QFETCH(QString, quality);
    QFETCH(QString, opened);
    paste(testweb::sampleVideo(site).page, quality);
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000); // the page comes while the window goes on
    QCOMPARE(m_messages->calls.size(), 0);
    QCOMPARE(m_browser.opened, QStringList{opened});
    QCOMPARE(addVideo().foundFileAddress, opened);
    QCOMPARE(test::storeOf(*m_w).list().count(), 0);
    QCOMPARE(requestsTo("links.vidrona-resolver.net", "/"), 1);
}

void TestAddVideo::nothingFoundAddsNothing_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("quality");
    QTest::addColumn<QString>("message");
    QTest::newRow("no site") << "http://example.com/watch/1" << "low"
                             << "Nothing was found there (the server answered 404).";
    QTest::newRow("empty box") << "" << "low" << checkLink;
    QTest::newRow("secure address") << "https://tvali.ge/index.php?action=watch&v=6181" << "low"
                                    << "The connection broke off before the page was complete.";
    QTest::newRow("capital in the host") << "http://Tvali.ge/index.php?action=watch&v=6181" << "low"
                                         << "No video was found on this page.";
    QTest::newRow("tvali, no such video") << "http://tvali.ge/index.php?action=watch&v=9999" << "low" << noVideo;
    QTest::newRow("tvali, page breaks off")
        << "http://tvali.ge/t/dropped" << "low"
        << notFetchedBecause("The connection broke off before the page was complete.");
    QTest::newRow("tvali, link without /") << "http://tvali.ge/t/noslash" << "low" << noVideo;
    QTest::newRow("tvali, CR LF in the link") << "http://tvali.ge/t/crlf" << "low" << noVideo;
    QTest::newRow("tvali, xml without path") << "http://tvali.ge/t/nopath" << "low" << noVideo;
    QTest::newRow("allvideos, no marker") << "http://allvideos.ge/video.php?uid=NOSUCH" << "low" << noVideo;
    QTest::newRow("videkta, not a number") << "http://www.videkta.ge/?video_id=abc" << "low" << noVideo;
    QTest::newRow("metacafe, unknown video") << "http://www.metacafe.com/watch/1/none/" << "low" << noVideo;
    QTest::newRow("break with avi") << testweb::sampleVideo("Break").page << "avi" << noVideo;
    QTest::newRow("google high, one link only") << "http://video.google.com/t/onelink" << "high" << noVideo;
    QTest::newRow("dailymotion, service unreachable")
        << "http://www.dailymotion.com/t/noservice" << "low"
        << notFetchedBecause("The connection broke off before the page was complete.");
    QTest::newRow("dailymotion, not a web address")
        << "http://www.dailymotion.com/t/hostile" << "low" << notOpened + "file://proxy/etc/passwd";
    QTest::newRow("today, live stream") << testweb::streamedPage() << "low" << live;
    QTest::newRow("today, page without video") << testweb::pageWithoutVideo() << "low" << "No video was found on this page.";
    QTest::newRow("today, a page behind a login") << "http://www.openclips.test/t/login" << "low"
                                                  << "This page needs a login (the server answered 403).";
    QTest::newRow("today, a server error") << "http://www.openclips.test/t/error" << "low"
                                           << "The server had an error (the server answered 503).";
#ifdef Q_OS_WIN // elsewhere CON.mp4 is a name like any other
    QTest::newRow("today, a name no file can have") << "http://dl.sharebox.test/t/device" << "low" << addRefusedText();
#endif
    QTest::newRow("tvali, gzip bomb") << "http://tvali.ge/t/bomb" << "low"
                                      << notFetchedBecause("The page is larger than 8 MB."); // unpacked, past the bound
    QTest::newRow("metacafe, service redirects to the metadata address")
        << "http://www.metacafe.com/watch/1/metadata/" << "low"
        << notFetchedBecause("A redirect to http://169.254.169.254 was refused.");
}

void TestAddVideo::routeFaultyPages(const QString &address)
{
    testweb::Server &s = m_web->server();
    const auto tvali = [&s](const QByteArray &name, const QByteArray &xml) {
        s.on("tvali.ge", "/t/" + name, [name](const Request &) {
            return Response::html("value=\"xmlFile=http://tvali.ge/t/" + name + ".xml\"");
        });
        s.on("tvali.ge", "/t/" + name + ".xml", [xml](const Request &) { return Response::text(xml); });
    };
    tvali("noslash", "<video path=\"video.flv\"/>");
    tvali("crlf", "<video path=\"http://tvali.ge/a.flv\r\nCOMPLETED\"/>");
    tvali("nopath", "<video file=\"http://tvali.ge/a.flv\"/>");
    s.on("tvali.ge", "/t/dropped", [](const Request &) {
        Response r = Response::html(QByteArray(3000, ' ') + "xmlFile=http://tvali.ge/a.xml\"");
        r.dropAfter = 100;
        return r;
    });
    s.on("video.google.com", "/t/onelink", [](const Request &) {
        return Response::html("<div data-file=\"http://vp.video.google.com/videodownload?docid=1\"></div>");
    });
    s.on("www.dailymotion.com", "/t/hostile", [](const Request &) {
        return Response::html("<div data-file=\"file://proxy/etc/passwd\"></div>");
    });
    s.on("dl.sharebox.test", "/t/device", [](const Request &) {
        Response r = Response::bytes("x", "video/mp4");
        r.headers.append(qMakePair(QByteArray("Content-Disposition"), QByteArray("attachment; filename=CON.mp4")));
        return r;
    });
    s.on("www.openclips.test", "/t/login", [](const Request &) { return Response::html("who are you?", 403); });
    s.on("www.openclips.test", "/t/error", [](const Request &) { return Response::html("down", 503); });
    s.on("tvali.ge", "/t/bomb", [](const Request &) { return Response::gzipBomb(qint64(64) << 20); });
    if (address.contains("metadata"))
        s.on("links.vidrona-resolver.net", "/", [](const Request &) {
            return Response::redirect("http://169.254.169.254/latest/meta-data/");
        });
    if (address.contains("noservice"))
        s.on("links.vidrona-resolver.net", "/", [](const Request &) {
            Response r = Response::html("x");
            r.dropAfter = 0; // the connection closes before any answer
            return r;
        });
}

void TestAddVideo::nothingFoundAddsNothing()
{
    QFETCH(QString, address);
    QFETCH(QString, quality);
    QFETCH(QString, message);
    routeFaultyPages(address);

    // A video added before: its address must not be reused.
    paste(testweb::sampleVideo("Videkta").page, "low");
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QCOMPARE(test::storeOf(*m_w).list().count(), 1);
    m_messages->calls.clear();

    if (quality == "avi") // the avi option shows once a Google Video address was typed
        test::ctl<QLineEdit>(*m_w, "addressBox")->setText(testweb::sampleVideo("Google Video").page);
    paste(address, quality);
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_messages->calls.size(), 1, 20000); // today's web answers later
    QCOMPARE(m_messages->calls[0].text, message);
    const bool refusedName = message == addRefusedText();
    if (message != notOpened + "file://proxy/etc/passwd") {
        QCOMPARE(m_messages->calls[0].title, refusedName ? QStringLiteral("Error") : QStringLiteral("Link Error..."));
        QCOMPARE(m_messages->calls[0].flags, int(refusedName ? MsgCritical : MsgInformation));
    }
    QCOMPARE(test::storeOf(*m_w).list().count(), 1);
    QVERIFY(m_browser.opened.isEmpty());
    if (message != checkLink && message != notOpened + "file://proxy/etc/passwd" && !refusedName)
        QCOMPARE(addVideo().foundFileAddress, QString());
}

// A Tvali page at /t/slow that comes two bytes every trickleMs; its player
// file names a video.
void TestAddVideo::routeSlowTvaliPage(int trickleMs)
{
    m_web->server().on("tvali.ge", "/t/slow", [trickleMs](const Request &) {
        Response r = Response::html("xmlFile=http://tvali.ge/index.php\" padding padding padding");
        r.trickleMs = trickleMs;
        r.trickleBytes = 2;
        return r;
    });
    m_web->server().on("tvali.ge", "/index.php", [](const Request &) {
        return Response::text("<video path=\"http://tvali.ge/files/6181.flv\"/>");
    });
}

void TestAddVideo::secondPressWhileWaitingIsDropped()
{
    routeSlowTvaliPage(5);
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
    paste("http://tvali.ge/t/slow", "low");
    bool pressedWhileWaiting = false;
    QTimer::singleShot(40, this, [&] {
        pressedWhileWaiting = addVideo().resolving();
        test::ctl<QPushButton>(*m_w, "addVideoButton")->click(); // a press that reaches the handler
        QTest::mouseClick(test::ctl<QPushButton>(*m_w, "addVideoButton"), Qt::LeftButton); // the user's own
        QTest::keyClicks(test::ctl<QLineEdit>(*m_w, "addressBox"), "held off");
        QTest::keyClicks(test::ctl<QLineEdit>(*m_w, "searchBox"), "typed while waiting");
    });
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000);
    QVERIFY(pressedWhileWaiting);
    QTest::qWait(50); // anything held back would arrive now
    QCOMPARE(requestsTo("tvali.ge", "/t/slow"), 1);
    QCOMPARE(test::ctl<QLineEdit>(*m_w, "searchBox")->text(), QString("typed while waiting"));
    QCOMPARE(test::ctl<QLineEdit>(*m_w, "addressBox")->text(), QString("http://tvali.ge/t/slow"));
    QCOMPARE(test::storeOf(*m_w).list().count(), 1);
    QCOMPARE(m_messages->calls.size(), 0);
    QVERIFY(!addVideo().resolving());
}

// A page that never comes: a message box raised meanwhile is answered with
// a real key press, then the user stops the fetch; nothing is added and
// nothing more is said, and the next address is added as usual.
void TestAddVideo::userStaysInChargeWhileWaiting_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("byClosing");
    for (const QString address : {"http://tvali.ge/t/never", "http://www.openclips.test/t/never"}) {
        const QString site = address.contains("tvali") ? "site page" : "today's web";
        QTest::newRow(qPrintable(site + ", Esc")) << address << false;
        QTest::newRow(qPrintable(site + ", closing the window")) << address << true;
    }
}

void TestAddVideo::userStaysInChargeWhileWaiting()
{
    QFETCH(QString, address);
    QFETCH(bool, byClosing);
    for (const QByteArray host : {"tvali.ge", "www.openclips.test"})
        m_web->server().on(host, "/t/never", [](const Request &) {
            Response r = Response::html("xmlFile=");
            r.stallAfterHeaders = true;
            return r;
        });
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
    paste(address, "low");
    int answer = -1;
    QTimer::singleShot(50, this, [&] {
        QTimer::singleShot(50, this, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Return); });
        answer = WidgetMessageService().show("A row failed.", "Vidrona", MsgOkOnly);
        QTest::keyClicks(test::ctl<QLineEdit>(*m_w, "addressBox"), "held off");
        if (byClosing)
            return void(m_w->close());
        m_w->activateWindow(); // as the user's click back into it would
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        QTest::keyClick(test::ctl<QLineEdit>(*m_w, "searchBox"), Qt::Key_Escape);
    });
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000); // today's web is probed after the press
    QCOMPARE(answer, int(AnswerOk));
    QCOMPARE(test::ctl<QLineEdit>(*m_w, "addressBox")->text(), address);
    QCOMPARE(m_messages->calls.size(), 0);
    QCOMPARE(test::storeOf(*m_w).list().count(), 0);

    const testweb::TodayVideo &next = testweb::todayVideos().first();
    paste(next.address, "low");
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QTRY_COMPARE_WITH_TIMEOUT(test::storeOf(*m_w).list().count(), 1, 20000);
    QCOMPARE(test::storeOf(*m_w).list().at(0).fileUrl, next.file);
    QCOMPARE(m_messages->calls.size(), 0);
}

// A 100 MB page: refused at the bound while timers and painting go on,
// and nothing of it is kept.
void TestAddVideo::hugePageKeepsTheWindowGoing()
{
    m_web->server().on("tvali.ge", "/t/huge", [](const Request &) {
        Response r = Response::pattern(100 << 20, "text/html");
        r.sendContentLength = false;
        return r;
    });
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
    paste("http://tvali.ge/t/huge", "low");
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
    timer.start(10);
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000);
    timer.stop();
    QVERIFY(ticks > 0);
    QCOMPARE(m_messages->calls.size(), 1);
    QCOMPARE(m_messages->calls[0].text, notFetchedBecause("The page is larger than 8 MB."));
    QVERIFY(m_w->findChildren<QTextEdit *>().isEmpty()); // no page is kept in the window
}

// The site's page trickles in: the window shows the hourglass and its
// timers run meanwhile; the pointer is back once the row is added.
void TestAddVideo::hourglassWhileTheSitePageComes()
{
    routeSlowTvaliPage(10);
    paste("http://tvali.ge/t/slow", "low");
    int ticks = 0;
    bool hourglass = true;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] {
        ++ticks;
        hourglass = hourglass && (!addVideo().resolving() || m_w->cursor().shape() == Qt::WaitCursor);
    });
    timer.start(20);
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000);
    timer.stop();
    QVERIFY(ticks > 0);
    QVERIFY(hourglass);
    QCOMPARE(m_w->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(test::storeOf(*m_w).list().count(), 1);
}

void TestAddVideo::youTubeOpensItsWindow()
{
    paste("http://youtube.com/watch?v=bR96aWfpWN0", "low");
    test::ctl<QPushButton>(*m_w, "addVideoButton")->click();
    QVERIFY(test::panel<YouTubeOpener>(*m_w).youTubeWindow());
    QVERIFY(test::panel<YouTubeOpener>(*m_w).youTubeWindow()->isVisible());
    QCOMPARE(test::storeOf(*m_w).list().count(), 0);
    QVERIFY(m_browser.opened.isEmpty());
}

QTEST_MAIN(TestAddVideo)
#include "tst_addvideo.moc"
