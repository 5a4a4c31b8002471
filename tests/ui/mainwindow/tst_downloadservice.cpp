// The download service as the window sees it, over real loopback HTTP: what
// its signals carry (figures and failures, never words), and the window's
// failure box, which holds nothing that is not on disk already.
#include "download/service/downloadservice.h"
#include "queuefixture.h"
#include "ui/mainwindow/failuretexts.h"
#include "ui/mainwindow/listtexts.h"
#include "ui/mainwindow/queuetexts.h"
#include "ui/widgetmessages.h"
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::download::service;
using namespace vidrona::ui;
using namespace vidrona::ui::mainwindow;
using test::fileAddress;
using testweb::Response;
Q_DECLARE_METATYPE(testweb::Response)
Q_DECLARE_METATYPE(QList<testweb::Response>)

namespace {
// What the service said of one run, in the order it said it.
struct Heard {
    QList<quint64> started;
    QList<RowProgress> progress;
    QList<int> retryWaits;
    QList<net::Failure> retryWhy;
    QList<quint64> endedIds;
    QList<net::Failure> ended;
    QList<QPair<int, int>> counts;

    explicit Heard(DownloadService &s)
    {
        QObject::connect(&s, &DownloadService::rowStarted, [this](quint64 id) { started << id; });
        QObject::connect(&s, &DownloadService::rowProgressed,
                         [this](quint64, const RowProgress &p) { progress << p; });
        QObject::connect(&s, &DownloadService::rowRetrying, [this](quint64, int ms, const net::Failure &f) {
            retryWaits << ms;
            retryWhy << f;
        });
        QObject::connect(&s, &DownloadService::rowEnded, [this](quint64 id, const net::Failure &f) {
            endedIds << id;
            ended << f;
        });
        QObject::connect(&s, &DownloadService::countsChanged,
                         [this](int done, int total) { counts << qMakePair(done, total); });
    }
};

Response trickle(qint64 size, int everyMs, int bytes)
{
    Response r = Response::pattern(size);
    r.trickleMs = everyMs;
    r.trickleBytes = bytes;
    return r;
}
} // namespace

class TestDownloadService : public QObject
{
    Q_OBJECT
private slots:
    void signalsCarryFigures_data();
    void signalsCarryFigures();
    void cancelEndsAsCancelled();
    void addRemoveAndCleanCount();
    void failureBoxLeftOpen_data();
    void failureBoxLeftOpen();
};

void TestDownloadService::signalsCarryFigures_data()
{
    QTest::addColumn<QList<Response>>("answers"); // in turn; the last one repeats
    QTest::addColumn<int>("reason");              // of the row's end
    QTest::addColumn<int>("httpStatus");          // of the failure, 0 none
    QTest::addColumn<qint64>("bytes");            // the last figures: the file so far,
    QTest::addColumn<qint64>("total");            // its length (-1 unknown); -2 no byte of a file came
    QTest::addColumn<QList<int>>("retryWaits");
    QTest::addColumn<int>("completed");           // counted once the row ended
    const qint64 size = 48 << 10;
    Response chunked = trickle(size, 5, 4096);
    chunked.chunked = true;
    Response busy = Response::html("busy", 503);
    Response cut = Response::pattern(size);
    cut.dropAfter = 1000;
    QTest::newRow("a file of known length")
        << QList<Response>{trickle(size, 5, 4096)} << int(net::Reason::None) << 0 << size << size << QList<int>{} << 1;
    QTest::newRow("a file of unknown length")
        << QList<Response>{chunked} << int(net::Reason::None) << 0 << size << qint64(-1) << QList<int>{} << 1;
    QTest::newRow("404: no retry, no bytes")
        << QList<Response>{Response::notFound()} << int(net::Reason::HttpError) << 404 << qint64(0) << qint64(-2)
        << QList<int>{} << 0;
    QTest::newRow("503 twice, then the file")
        << QList<Response>{busy, busy, trickle(size, 5, 4096)} << int(net::Reason::None) << 0 << size << size
        << QList<int>{30, 60} << 1;
    QTest::newRow("503 every time: the tries run out")
        << QList<Response>{busy} << int(net::Reason::HttpError) << 503 << qint64(0) << qint64(-2)
        << QList<int>{30, 60, 90} << 0;
    QTest::newRow("cut short every time")
        << QList<Response>{cut} << int(net::Reason::BrokeOff) << 0 << qint64(-1) << qint64(-3)
        << QList<int>{30, 60, 90} << 0;
}

// Bytes, length, speed and pieces as numbers; the end as the failure the
// fetch had, with its HTTP status; retries with their waits. The figures
// of a cut answer depend on where it was cut: only the end is compared.
void TestDownloadService::signalsCarryFigures()
{
    QFETCH(QList<Response>, answers);
    QFETCH(int, reason);
    QFETCH(int, httpStatus);
    QFETCH(qint64, bytes);
    QFETCH(qint64, total);
    QFETCH(QList<int>, retryWaits);
    QFETCH(int, completed);
    QTemporaryDir dir;
    test::LocalWeb web;
    web.server().on(test::Host, "/v/clip.flv", testweb::inTurn(answers));
    test::writeFile(dir.path(), "List", test::listOf({"clip.flv:PENDING"}));
    test::RecordingMessages notices;
    DownloadService service(dir.path(), dir.path());
    sayListNotices(service, notices);
    service.setStallTimeout(2000);
    service.setRetryDelays({30, 60, 90});
    Heard heard(service);
    service.load();
    QCOMPARE(heard.counts.value(0), qMakePair(0, 1));
    service.start();
    QVERIFY(QTest::qWaitFor([&] { return !service.isRunning(); }, 30000));

    QCOMPARE(heard.started, QList<quint64>{service.list().at(0).id});
    QCOMPARE(heard.endedIds, QList<quint64>{service.list().at(0).id});
    QCOMPARE(int(heard.ended[0].reason), reason);
    QCOMPARE(heard.ended[0].status, httpStatus);
    QCOMPARE(ui::mainwindow::failureText(heard.ended[0]).isEmpty(), reason == int(net::Reason::None));
    QCOMPARE(heard.retryWaits, retryWaits);
    for (const net::Failure &why : heard.retryWhy)
        QVERIFY(why.failed() && why.reason != net::Reason::Cancelled);
    QCOMPARE(heard.counts.last(), qMakePair(completed, 1));
    QVERIFY(notices.calls.isEmpty()); // the service itself says nothing
    if (total == -2) {
        for (const RowProgress &p : heard.progress)
            QCOMPARE(p.bytes, 0);
    } else if (total != -3) {
        QVERIFY(!heard.progress.isEmpty());
        const RowProgress last = heard.progress.last();
        QCOMPARE(last.bytes, bytes);
        QCOMPARE(last.total, total);
        QCOMPARE(last.piecesTotal, 0);
        QVERIFY(last.bytesPerSecond > 0);
        for (const RowProgress &p : heard.progress)
            QVERIFY(p.bytes <= bytes && p.bytes >= 0);
    }
}

void TestDownloadService::cancelEndsAsCancelled()
{
    QTemporaryDir dir;
    test::LocalWeb web;
    web.server().on(test::Host, "/v/slow.flv", [](const testweb::Request &r) {
        Response slow = Response::ranged(r, 200000, "\"s\"");
        slow.trickleMs = 10;
        slow.trickleBytes = 500;
        return slow;
    });
    test::writeFile(dir.path(), "List", test::listOf({"slow.flv:PENDING"}));
    test::RecordingMessages notices;
    DownloadService service(dir.path(), dir.path());
    sayListNotices(service, notices);
    Heard heard(service);
    service.load();
    service.start();
    QVERIFY(QTest::qWaitFor([&] { return !heard.progress.isEmpty() && heard.progress.last().bytes > 0; }, 10000));
    QVERIFY(service.cancel(service.list().at(0).id));
    QVERIFY(!service.cancel(service.list().at(0).id)); // no longer DOWNLOADING
    QVERIFY(QTest::qWaitFor([&] { return !service.isRunning(); }, 10000));
    QCOMPARE(heard.ended.size(), 1);
    QCOMPARE(heard.ended[0].reason, net::Reason::Cancelled);
    QCOMPARE(service.list().at(0).statusWord(), download::status::Canceled);
    QCOMPARE(test::readFile(dir.filePath("List")), test::listOf({"slow.flv:CANCELED"}));
}

// add, remove and clean save the list at once and count anew.
void TestDownloadService::addRemoveAndCleanCount()
{
    QTemporaryDir dir;
    test::writeFile(dir.path(), "List", test::listOf({"a.flv:COMPLETED", "b.flv:FAILED", "c.flv:PENDING"}));
    test::RecordingMessages notices;
    DownloadService service(dir.path(), dir.path());
    sayListNotices(service, notices);
    Heard heard(service);
    service.load();
    QVERIFY(service.add(fileAddress("d.flv")));
    QVERIFY(service.add(QStringLiteral("http://media.vidrona.test/get?id=7"), QStringLiteral("own name.mp4")));
    QVERIFY(!service.add(fileAddress("d.flv"))); // listed already: the list's own box
    QCOMPARE(notices.calls.size(), 1);
    QCOMPARE(service.list().at(4).fileName, QString("own name.mp4"));
    service.remove(service.list().at(2).id);
    QCOMPARE(test::readFile(dir.filePath("List")),
             test::listOf({"a.flv:COMPLETED", "b.flv:FAILED", "d.flv:PENDING"})
                 + "own name.mp4\r\nhttp://media.vidrona.test/get?id=7\r\nPENDING\r\n");
    service.clean();
    QCOMPARE(service.list().count(), 2);
    QCOMPARE(test::readFile(dir.filePath("List")),
             test::listOf({"d.flv:PENDING"}) + "own name.mp4\r\nhttp://media.vidrona.test/get?id=7\r\nPENDING\r\n");
    QCOMPARE(heard.counts, (QList<QPair<int, int>>{{1, 3}, {1, 4}, {1, 5}, {1, 4}, {0, 2}}));
}

void TestDownloadService::failureBoxLeftOpen_data()
{
    QTest::addColumn<int>("simultaneous");
    QTest::newRow("one row at a time: the next waits for OK") << 1;
    QTest::newRow("two at once: the other row goes on") << 2;
}

// The program's own box, on screen (offscreen) and left unanswered for a
// while: the failed row is FAILED in the list on disk from the moment the
// box shows. With one row at a time nothing else starts until OK; with two,
// the row already running goes on to its end meanwhile.
void TestDownloadService::failureBoxLeftOpen()
{
    QFETCH(int, simultaneous);
    test::QueueFixture f;
    f.web.server().onPrefix(test::Host, "/v/", [](const testweb::Request &) { return trickle(40000, 10, 1000); });
    f.route("bad.flv", Response::notFound());
    test::writeFile(f.dir.path(), "List", QByteArray());
    WidgetMessageService boxes;
    f.w = createMainWindow(f.dir.path(), &boxes);
    f.store = &test::storeOf(*f.w);
    f.w->startUp(); // an empty list: no question
    f.w->show();
    DownloadService &service = test::serviceOf(*f.w);
    service.setRetryDelays({});
    service.apply({simultaneous, 8, 0, QString()});
    const QStringList rows = simultaneous == 1 ? QStringList{"bad.flv", "next.flv"}
                                               : QStringList{"running.flv", "bad.flv", "next.flv"};
    for (const QString &name : rows)
        QVERIFY(service.add(fileAddress(name)));

    QString boxText, listAtBox, listBeforeOk, requestedBeforeOk;
    QStringList statusesAtBox;
    bool otherEndedWhileOpen = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        boxText = box->text();
        listAtBox = QString::fromUtf8(f.listFile());
        statusesAtBox = f.statuses();
        if (simultaneous == 1) // nothing to wait for: the box is simply left open
            QTest::qWait(400);
        else
            otherEndedWhileOpen = QTest::qWaitFor([&] { return f.listFile().count("COMPLETED") == 2; }, 20000);
        listBeforeOk = QString::fromUtf8(f.listFile());
        requestedBeforeOk = f.requested().join(' ');
        box->button(QMessageBox::Ok)->click();
    });
    poll.start();
    f.ui<QPushButton>("startButton")->click();
    QVERIFY(QTest::qWaitFor([&] { return !service.isRunning(); }, 30000));

    QCOMPARE(boxText, queueFailureText() + "\r\nThe server answered 404 Not Found");
    QVERIFY2(listAtBox.contains("bad.flv\r\n" + fileAddress("bad.flv") + "\r\nFAILED\r\n"), qPrintable(listAtBox));
    if (simultaneous == 1) {
        QCOMPARE(statusesAtBox, QStringList({"FAILED", "PENDING"}));
        QCOMPARE(requestedBeforeOk, QString("bad.flv"));
        QCOMPARE(QString::fromUtf8(test::listOf({"bad.flv:FAILED", "next.flv:PENDING"})), listBeforeOk);
    } else {
        QCOMPARE(statusesAtBox.value(0), QString("DOWNLOADING")); // still running when the box came up
        QVERIFY(otherEndedWhileOpen);
        QCOMPARE(QString::fromUtf8(test::listOf({"running.flv:COMPLETED", "bad.flv:FAILED", "next.flv:COMPLETED"})),
                 listBeforeOk);
    }
    QCOMPARE(f.statuses(), simultaneous == 1 ? QStringList({"FAILED", "COMPLETED"})
                                             : QStringList({"COMPLETED", "FAILED", "COMPLETED"}));
    QCOMPARE(f.list().at(simultaneous == 1 ? 0 : 1).progress, QString("The server answered 404 Not Found"));
}

QTEST_MAIN(TestDownloadService)
#include "tst_downloadservice.moc"
