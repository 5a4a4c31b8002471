// The speed limit's bucket on a clock the test moves: how long each
// arrival waits, at which rate, after which pause. Links only the net layer.
#include "net/speedlimit.h"
#include <QtTest>

using vidrona::net::SpeedLimit;

class TestSpeedLimit : public QObject
{
    Q_OBJECT
private slots:
    void waits_data();
    void waits();
    void rateKeptOverTime_data();
    void rateKeptOverTime();
    void newRateForgivesDebt();
    void cancelEndsWait();
};

// Each step: the clock moves by pauseMs, then bytes arrive; waitMs is how
// long they must wait.
void TestSpeedLimit::waits_data()
{
    QTest::addColumn<qint64>("rate");
    QTest::addColumn<QList<qint64>>("pausesMs");
    QTest::addColumn<QList<qint64>>("bytes");
    QTest::addColumn<QList<qint64>>("waitsMs");
    QTest::newRow("no limit") << qint64(0) << QList<qint64>{0, 0} << QList<qint64>{1 << 30, 1 << 30}
                              << QList<qint64>{0, 0};
    QTest::newRow("negative rate: no limit") << qint64(-5) << QList<qint64>{0} << QList<qint64>{1000}
                                             << QList<qint64>{0};
    QTest::newRow("no credit at the start") << qint64(1000) << QList<qint64>{0} << QList<qint64>{100}
                                            << QList<qint64>{101};
    QTest::newRow("a pause gives credit") << qint64(1000) << QList<qint64>{200} << QList<qint64>{150}
                                          << QList<qint64>{0};
    QTest::newRow("credit at most a quarter second")
        << qint64(1000) << QList<qint64>{10000, 0} << QList<qint64>{250, 1} << QList<qint64>{0, 2};
    QTest::newRow("debts add up") << qint64(1000) << QList<qint64>{0, 0} << QList<qint64>{1000, 1000}
                                  << QList<qint64>{1001, 2001};
    QTest::newRow("a debt paid by waiting") << qint64(1000) << QList<qint64>{0, 1000, 0}
                                            << QList<qint64>{1000, 0, 100} << QList<qint64>{1001, 0, 101};
    QTest::newRow("half paid") << qint64(2000) << QList<qint64>{0, 250} << QList<qint64>{1000, 0}
                               << QList<qint64>{501, 251};
    QTest::newRow("a megabyte a second") << qint64(1 << 20) << QList<qint64>{0, 500} << QList<qint64>{1 << 20, 0}
                                         << QList<qint64>{1001, 501};
}

void TestSpeedLimit::waits()
{
    QFETCH(qint64, rate);
    QFETCH(QList<qint64>, pausesMs);
    QFETCH(QList<qint64>, bytes);
    QFETCH(QList<qint64>, waitsMs);
    qint64 nowNs = 5'000'000'000;
    SpeedLimit limit([&nowNs] { return nowNs; });
    limit.setRate(rate);
    QCOMPARE(limit.rate(), qMax<qint64>(rate, 0));
    for (int i = 0; i < bytes.size(); ++i) {
        nowNs += pausesMs.at(i) * 1'000'000;
        QCOMPARE(limit.waitMsFor(bytes.at(i)), waitsMs.at(i));
    }
}

// A fetch that always waits what it is told keeps to the rate over any
// span of a few seconds, whatever the size of its pieces.
void TestSpeedLimit::rateKeptOverTime_data()
{
    QTest::addColumn<qint64>("rate");
    QTest::addColumn<qint64>("piece");
    QTest::newRow("small pieces") << qint64(100'000) << qint64(1'000);
    QTest::newRow("curl's pieces") << qint64(500'000) << qint64(16'384);
    QTest::newRow("pieces larger than a second") << qint64(10'000) << qint64(25'000);
}

void TestSpeedLimit::rateKeptOverTime()
{
    QFETCH(qint64, rate);
    QFETCH(qint64, piece);
    qint64 nowNs = 0;
    SpeedLimit limit([&nowNs] { return nowNs; });
    limit.setRate(rate);
    qint64 received = 0;
    while (nowNs < 10'000'000'000) { // ten seconds on the test's clock
        nowNs += limit.waitMsFor(piece) * 1'000'000;
        received += piece;
    }
    const double perSecond = double(received) / 10.0;
    QVERIFY2(perSecond <= rate * 1.05 && perSecond >= rate * 0.9,
             qPrintable(QStringLiteral("%1 B/s at a limit of %2 B/s").arg(perSecond).arg(rate)));
}

void TestSpeedLimit::newRateForgivesDebt()
{
    qint64 nowNs = 0;
    SpeedLimit limit([&nowNs] { return nowNs; });
    limit.setRate(1000);
    QCOMPARE(limit.waitMsFor(5000), qint64(5001));
    limit.setRate(1000);
    QCOMPARE(limit.waitMsFor(10), qint64(11));
    limit.setRate(0);
    QCOMPARE(limit.waitMsFor(1 << 30), qint64(0));
}

// A cancelled fetch does not wait out its debt: with a debt of many
// minutes, take returns as soon as it sees the flag.
void TestSpeedLimit::cancelEndsWait()
{
    qint64 nowNs = 0;
    SpeedLimit limit([&nowNs] { return nowNs; });
    limit.setRate(1);
    const std::atomic<bool> cancelled{true};
    QElapsedTimer timer;
    timer.start();
    limit.take(1'000'000, cancelled); // a debt of eleven days
    QVERIFY(timer.elapsed() < 60'000);
}

QTEST_APPLESS_MAIN(TestSpeedLimit)
#include "tst_speedlimit.moc"
