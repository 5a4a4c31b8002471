// The speed limit belongs to a download service: the rows of one service
// share its one limit, and a second service has a limit of its own. Bytes
// over time on loopback, where the server alone would send them in a blink.
#include "download/entrystatus.h"
#include "download/service/downloadservice.h"
#include "support/testenv.h"
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::download::service;
using testweb::Response;

namespace {
const QByteArray Host = "media.vidrona.test";
constexpr qint64 Limit = 1 << 20; // bytes per second, each service
constexpr qint64 Size = 3 << 20;  // each row's file
constexpr double BurstSeconds = 0.25; // what the limit lets through at once

// rows rows of the service in folder, every one a file of Size bytes.
void writeRows(const QString &folder, int service, int rows)
{
    QByteArray list;
    for (int i = 0; i < rows; ++i)
        list += QStringLiteral("s%1-%2.flv\r\nhttp://media.vidrona.test/v/s%1-%2.flv\r\n%3\r\n")
                    .arg(service).arg(i).arg(status::Pending).toUtf8();
    test::writeFile(folder, "List", list);
}

struct LimitedService {
    QTemporaryDir dir;
    std::unique_ptr<DownloadService> service;
    LimitedService(int number, int rows)
    {
        writeRows(dir.path(), number, rows);
        service = std::make_unique<DownloadService>(dir.path(), dir.path());
        service->load();
        service->setStallTimeout(20000);
        service->setRetryDelays({});
        DownloadSettings settings = service->settings();
        settings.simultaneous = rows;
        settings.speedLimit = Limit;
        settings.connections = 2;
        service->apply(settings);
    }
    bool allCompleted() const
    {
        for (const DownloadEntry &e : service->list().entries())
            if (e.statusWord() != status::Completed || QFileInfo(dir.filePath(e.fileName)).size() != Size)
                return false;
        return true;
    }
};
} // namespace

class TestServiceLimit : public QObject
{
    Q_OBJECT
private slots:
    void limitPerService_data();
    void limitPerService();
};

void TestServiceLimit::limitPerService_data()
{
    QTest::addColumn<int>("services");
    QTest::addColumn<int>("rowsEach"); // at once, all under their service's one limit
    QTest::newRow("two rows of one service share its limit") << 1 << 2;
    QTest::newRow("two services, one row each: each its own limit") << 2 << 1;
}

// The time all rows take is what one limit lets rowsEach files through:
// a limit per row would halve it for the shared case, a limit for the whole
// program double it for the two services. The bounds leave room for a
// loaded machine and stay apart by more than that factor of two.
void TestServiceLimit::limitPerService()
{
    QFETCH(int, services);
    QFETCH(int, rowsEach);
    test::LocalWeb web;
    web.server().onPrefix(Host, "/v/", [](const testweb::Request &req) { return Response::ranged(req, Size, "\"s\""); });
    std::vector<std::unique_ptr<LimitedService>> all;
    for (int i = 0; i < services; ++i)
        all.push_back(std::make_unique<LimitedService>(i, rowsEach));
    QElapsedTimer clock;
    clock.start();
    for (auto &s : all)
        s->service->start();
    QVERIFY(QTest::qWaitFor([&] {
        return std::none_of(all.begin(), all.end(), [](const auto &s) { return s->service->isRunning(); });
    }, 60000));
    const double seconds = clock.nsecsElapsed() / 1e9;
    for (auto &s : all)
        QVERIFY(s->allCompleted());
    const double expected = double(rowsEach) * Size / Limit - BurstSeconds;
    qInfo("%.2f s, against %.2f s for what one limit lets through", seconds, expected);
    QVERIFY2(seconds >= 0.85 * expected && seconds <= 1.6 * expected + 0.5,
             qPrintable(QStringLiteral("%1 s for what one limit lets through in %2 s").arg(seconds).arg(expected)));
}

QTEST_MAIN(TestServiceLimit)
#include "tst_servicelimit.moc"
