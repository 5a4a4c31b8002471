// Addresses from the command line, a drop or a second start, given to the
// window all at once: each is worked out and its rows added before the
// next starts, with the same outcome as pasting them one by one and
// pressing "Add Video" (real windows offscreen, the simulated web over
// real loopback sockets).
#include "sites/samples.h"
#include "support/browsercapture.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "ui/mainwindow/addvideopanel.h"
#include "ui/youtube/youtubeopener.h"
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::ui::mainwindow;
using namespace vidrona::ui::youtube;
using testweb::Request;
using testweb::Response;

namespace {

// What a window ends with: its List file, its boxes, what it opened.
struct Outcome {
    QByteArray list;
    QStringList boxes; // title: text
    QStringList opened;
    bool youTubeWindow = false;
};

// A Tvali page that trickles in for about half a second.
const QString slowTvali = "http://tvali.ge/t/slow";
const QString slowTvaliFile = "http://tvali.ge/files/slow.flv";

} // namespace

class TestAddAddresses : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sameAsPasting_data();
    void sameAsPasting();
    void closingDropsTheRest();
    void escapeStopsOnlyTheOneInProgress();

private:
    std::unique_ptr<MainWindowView> makeWindow(QTemporaryDir &dir, test::RecordingMessages &messages);
    Outcome outcomeOf(MainWindowView &w, const QTemporaryDir &dir, const test::RecordingMessages &messages);
    Outcome pasteEach(const QStringList &addresses);
    Outcome giveAll(const QStringList &addresses, const Outcome &expected);

    test::BrowserCapture m_browser;
    std::unique_ptr<test::LocalWeb> m_web;
};

void TestAddAddresses::init()
{
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
    testweb::installSimulatedWeb(m_web->server());
    m_web->server().on("tvali.ge", "/t/slow", [](const Request &) {
        Response r = Response::html("value=\"xmlFile=http://tvali.ge/t/slow.xml\" padding padding padding padding");
        r.trickleMs = 15;
        r.trickleBytes = 2;
        return r;
    });
    m_web->server().on("tvali.ge", "/t/slow.xml", [](const Request &) {
        return Response::text("<video path=\"http://tvali.ge/files/slow.flv\"/>");
    });
}

void TestAddAddresses::cleanup()
{
    // A YouTube window outlives the main window that opened it, as it
    // should: the test closes what it opened (it deletes itself when
    // closed), else it stays until the process ends.
    for (QWidget *window : QApplication::topLevelWidgets())
        if (window->isVisible())
            window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_web.reset();
}

std::unique_ptr<MainWindowView> TestAddAddresses::makeWindow(QTemporaryDir &dir, test::RecordingMessages &messages)
{
    auto w = createMainWindow(dir.path(), &messages);
    w->startUp();
    m_browser.opened.clear();
    return w;
}

Outcome TestAddAddresses::outcomeOf(MainWindowView &w, const QTemporaryDir &dir, const test::RecordingMessages &messages)
{
    Outcome o;
    o.list = test::readFile(QDir(dir.path()).filePath("List"));
    for (const auto &call : messages.calls)
        o.boxes << call.title + ": " + call.text;
    o.opened = m_browser.opened;
    const QWidget *youTube = test::panel<YouTubeOpener>(w).youTubeWindow();
    o.youTubeWindow = youTube && youTube->isVisible();
    return o;
}

Outcome TestAddAddresses::pasteEach(const QStringList &addresses)
{
    QTemporaryDir dir;
    test::RecordingMessages messages;
    const auto w = makeWindow(dir, messages);
    for (const QString &address : addresses) {
        test::ctl<QLineEdit>(*w, "addressBox")->setText(address);
        test::ctl<QPushButton>(*w, "addVideoButton")->click();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(!test::panel<AddVideoPanel>(*w).resolving(), 20000); }();
    }
    return outcomeOf(*w, dir, messages);
}

// Waits until the window has as many rows and boxes as pasting gave, then
// a little longer for anything that would come after.
Outcome TestAddAddresses::giveAll(const QStringList &addresses, const Outcome &expected)
{
    QTemporaryDir dir;
    test::RecordingMessages messages;
    const auto w = makeWindow(dir, messages);
    const QString typed = "typed, not pressed";
    test::ctl<QLineEdit>(*w, "addressBox")->setText(typed);
    addVideos(*w, addresses);
    const int rows = int(expected.list.count("\r\n") / 3);
    [&] {
        QTRY_VERIFY_WITH_TIMEOUT(test::storeOf(*w).list().count() == rows
                                     && messages.calls.size() == expected.boxes.size()
                                     && !test::panel<AddVideoPanel>(*w).resolving(),
                                 30000);
    }();
    QTest::qWait(300);
    [&] { QCOMPARE(test::ctl<QLineEdit>(*w, "addressBox")->text(), typed); }(); // the user's box is left alone
    return outcomeOf(*w, dir, messages);
}

void TestAddAddresses::sameAsPasting_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QStringList>("files"); // the rows' file addresses, in order
    const QList<testweb::TodayVideo> &today = testweb::todayVideos();
    const auto file = [](const char *site) { return testweb::sampleVideo(site).file; };
    const auto page = [](const char *site) { return testweb::sampleVideo(site).page; };
    QTest::newRow("slow, at once and background answers keep their order")
        << QStringList{slowTvali, page("Videkta"), today[0].address, page("AllVideos"), page("Metacafe")}
        << QStringList{slowTvaliFile, file("Videkta"), today[0].file, file("AllVideos"), file("Metacafe")};
    QTest::newRow("refusals, each with its own words, in order")
        << QStringList{"http://tvali.ge/index.php?action=watch&v=9999", "no address here", page("Break"),
                       testweb::pageWithoutVideo(), "http://www.videkta.ge/?video_id=abc"}
        << QStringList{file("Break")};
    QTest::newRow("the same video twice") << QStringList{page("Videkta"), page("Videkta")} << QStringList{file("Videkta")};
    QTest::newRow("the browser and the YouTube window")
        << QStringList{page("DailyMotion"), "http://youtube.com/watch?v=bR96aWfpWN0", page("Google Video"), today[1].address}
        << QStringList{today[1].file};
    QTest::newRow("as people paste them")
        << QStringList{"  " + today[2].address + "\r\n", today[0].address.left(14) + "\n" + today[0].address.mid(14)}
        << QStringList{today[2].file, today[0].file};
}

void TestAddAddresses::sameAsPasting()
{
    QFETCH(QStringList, addresses);
    QFETCH(QStringList, files);
    const Outcome pasted = pasteEach(addresses);
    if (QTest::currentTestFailed())
        return;
    QStringList listed;
    const QList<QByteArray> lines = pasted.list.split('\n');
    for (int i = 1; i + 1 < lines.size(); i += 3)
        listed << QString::fromUtf8(lines[i].trimmed());
    QCOMPARE(listed, files);

    const Outcome given = giveAll(addresses, pasted);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(given.list, pasted.list);
    QCOMPARE(given.boxes, pasted.boxes);
    QCOMPARE(given.opened, pasted.opened);
    QCOMPARE(given.youTubeWindow, pasted.youTubeWindow);
}

// Closing the window stops the address in progress and drops the rest.
void TestAddAddresses::closingDropsTheRest()
{
    QTemporaryDir dir;
    test::RecordingMessages messages;
    const auto w = makeWindow(dir, messages);
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    addVideos(*w, {slowTvali, testweb::sampleVideo("Videkta").page});
    QVERIFY(test::panel<AddVideoPanel>(*w).resolving());
    w->close();
    QTRY_VERIFY_WITH_TIMEOUT(!test::panel<AddVideoPanel>(*w).resolving(), 5000);
    QTest::qWait(700); // past the slow page's end
    QCOMPARE(test::storeOf(*w).list().count(), 0);
    QCOMPARE(messages.calls.size(), 0);
}

// Esc stops the address being worked out, silently; the next ones go on.
void TestAddAddresses::escapeStopsOnlyTheOneInProgress()
{
    m_web->server().on("tvali.ge", "/t/never", [](const Request &) {
        Response r = Response::html("xmlFile=");
        r.stallAfterHeaders = true;
        return r;
    });
    QTemporaryDir dir;
    test::RecordingMessages messages;
    const auto w = makeWindow(dir, messages);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    addVideos(*w, {"http://tvali.ge/t/never", testweb::sampleVideo("Videkta").page});
    QTRY_VERIFY_WITH_TIMEOUT(!m_web->server().requests().isEmpty(), 10000);
    QVERIFY(test::panel<AddVideoPanel>(*w).resolving());
    QCOMPARE(test::storeOf(*w).list().count(), 0);
    QTest::keyClick(test::ctl<QLineEdit>(*w, "searchBox"), Qt::Key_Escape);
    QTRY_COMPARE_WITH_TIMEOUT(test::storeOf(*w).list().count(), 1, 5000);
    QCOMPARE(test::storeOf(*w).list().at(0).fileUrl, testweb::sampleVideo("Videkta").file);
    QCOMPARE(messages.calls.size(), 0);
}

QTEST_MAIN(TestAddAddresses)
#include "tst_addaddresses.moc"
