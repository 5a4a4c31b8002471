// The one retry rule, as a table: which failures pass, how long the wait
// before each try is, and what the row says meanwhile. Links only the
// download layer.
#include "download/retries.h"
#include <QtTest>

using namespace vidrona;
using net::Reason;

namespace {

net::Failure failure(Reason reason, int status = 0, int retryAfter = -1)
{
    net::Failure f = net::fail(reason, net::Cause::HttpStatus);
    f.status = status;
    f.retryAfterSeconds = retryAfter;
    return f;
}

const QList<int> ProgramDelays{1000, 4000, 16000};

} // namespace

class TestRetries : public QObject
{
    Q_OBJECT
private slots:
    void passing_data();
    void passing();
    void wait_data();
    void wait();
};

void TestRetries::passing_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("passing");
    QTest::newRow("refused or reset") << int(Reason::CannotConnect) << 0 << true;
    QTest::newRow("stalled") << int(Reason::Stalled) << 0 << true;
    QTest::newRow("cut short") << int(Reason::BrokeOff) << 0 << true;
    QTest::newRow("500") << int(Reason::HttpError) << 500 << true;
    QTest::newRow("503") << int(Reason::HttpError) << 503 << true;
    QTest::newRow("599") << int(Reason::HttpError) << 599 << true;
    QTest::newRow("429") << int(Reason::HttpError) << 429 << true;
    QTest::newRow("404") << int(Reason::HttpError) << 404 << false;
    QTest::newRow("403") << int(Reason::HttpError) << 403 << false;
    QTest::newRow("499") << int(Reason::HttpError) << 499 << false;
    QTest::newRow("disk full") << int(Reason::DiskFull) << 0 << false;
    QTest::newRow("no space") << int(Reason::NoSpace) << 0 << false;
    QTest::newRow("write failed") << int(Reason::WriteFailed) << 0 << false;
    QTest::newRow("a web page") << int(Reason::NotTheVideo) << 0 << false;
    QTest::newRow("answers disagree") << int(Reason::AnswersDoNotAddUp) << 0 << false;
    QTest::newRow("timed out") << int(Reason::TimedOut) << 0 << false;
    QTest::newRow("too large") << int(Reason::TooLarge) << 0 << false;
    QTest::newRow("cancelled") << int(Reason::Cancelled) << 0 << false;
    QTest::newRow("none") << int(Reason::None) << 0 << false;
}

void TestRetries::passing()
{
    QFETCH(int, reason);
    QFETCH(int, status);
    QFETCH(bool, passing);
    QCOMPARE(download::retries::isPassing(failure(Reason(reason), status)), passing);
}

void TestRetries::wait_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("retryAfter");
    QTest::addColumn<int>("retry");
    QTest::addColumn<QList<int>>("delays");
    QTest::addColumn<int>("waitMs"); // -1: no further try
    const int reset = int(Reason::CannotConnect), http = int(Reason::HttpError);
    QTest::newRow("first retry") << reset << 0 << -1 << 0 << ProgramDelays << 1000;
    QTest::newRow("second retry") << reset << 0 << -1 << 1 << ProgramDelays << 4000;
    QTest::newRow("third retry") << reset << 0 << -1 << 2 << ProgramDelays << 16000;
    QTest::newRow("tries used up") << reset << 0 << -1 << 3 << ProgramDelays << -1;
    QTest::newRow("fewer delays than tries") << reset << 0 << -1 << 1 << QList<int>{5} << -1;
    QTest::newRow("no delays") << reset << 0 << -1 << 0 << QList<int>{} << -1;
    QTest::newRow("Retry-After wins") << http << 503 << 7 << 0 << ProgramDelays << 7000;
    QTest::newRow("Retry-After 0") << http << 429 << 0 << 1 << ProgramDelays << 0;
    QTest::newRow("Retry-After at most a minute") << http << 503 << 3600 << 0 << ProgramDelays << 60000;
    QTest::newRow("Retry-After when tries are used up") << http << 503 << 7 << 3 << ProgramDelays << -1;
    QTest::newRow("permanent: 404") << http << 404 << -1 << 0 << ProgramDelays << -1;
    QTest::newRow("permanent even with Retry-After") << http << 404 << 5 << 0 << ProgramDelays << -1;
    QTest::newRow("permanent: disk full") << int(Reason::DiskFull) << 0 << -1 << 0 << ProgramDelays << -1;
}

void TestRetries::wait()
{
    QFETCH(int, reason);
    QFETCH(int, status);
    QFETCH(int, retryAfter);
    QFETCH(int, retry);
    QFETCH(QList<int>, delays);
    QFETCH(int, waitMs);
    const std::optional<int> wait = download::retries::waitMs(failure(Reason(reason), status, retryAfter), retry, delays);
    QCOMPARE(wait.value_or(-1), waitMs);
}

QTEST_APPLESS_MAIN(TestRetries)
#include "tst_retries.moc"
