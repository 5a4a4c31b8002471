// The piece scheduler, driven the way a fetch drives it: workers take
// parts, advance, stop early, and take over the tails of others.
#include "download/piecescheduler.h"
#include <QRandomGenerator>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;

Q_DECLARE_METATYPE(QList<Span>)

namespace {
QList<Span> spans(std::initializer_list<std::pair<qint64, qint64>> list)
{
    QList<Span> out;
    for (const auto &[b, e] : list)
        out.append({b, e});
    return out;
}
} // namespace

class TestPieceScheduler : public QObject
{
    Q_OBJECT
private slots:
    void parts_data();
    void parts();
    void everyUnitOnceUntilComplete_data();
    void everyUnitOnceUntilComplete();
    void extend_data();
    void extend();
};

// The parts handed to workers that all start at once and fetch nothing yet.
void TestPieceScheduler::parts_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("minPart");
    QTest::addColumn<qint64>("maxPart");
    QTest::addColumn<QList<Span>>("done");
    QTest::addColumn<int>("workers");
    QTest::addColumn<QList<Span>>("expected");
    QTest::newRow("one worker takes the whole file") << qint64(100) << qint64(10) << qint64(0) << QList<Span>()
                                                     << 1 << spans({{0, 100}});
    QTest::newRow("a second worker takes over half") << qint64(100) << qint64(10) << qint64(0) << QList<Span>()
                                                     << 2 << spans({{0, 100}, {50, 100}});
    QTest::newRow("then half of the largest") << qint64(100) << qint64(10) << qint64(0) << QList<Span>() << 4
                                              << spans({{0, 100}, {50, 100}, {25, 50}, {75, 100}});
    QTest::newRow("no part below the minimum") << qint64(30) << qint64(10) << qint64(0) << QList<Span>() << 3
                                               << spans({{0, 30}, {15, 30}});
    QTest::newRow("only the missing ranges of a record")
        << qint64(100) << qint64(5) << qint64(0) << spans({{0, 10}, {50, 60}}) << 3
        << spans({{10, 50}, {60, 100}, {30, 50}});
    QTest::newRow("a stream's pieces one at a time") << qint64(3) << qint64(1) << qint64(1) << spans({{1, 2}}) << 4
                                                     << spans({{0, 1}, {2, 3}});
    QTest::newRow("nothing left of a complete record") << qint64(10) << qint64(1) << qint64(0) << spans({{0, 10}})
                                                       << 2 << QList<Span>();
}

void TestPieceScheduler::parts()
{
    QFETCH(qint64, total);
    QFETCH(qint64, minPart);
    QFETCH(qint64, maxPart);
    QFETCH(QList<Span>, done);
    QFETCH(int, workers);
    QFETCH(QList<Span>, expected);
    PieceScheduler s(total, minPart, maxPart);
    for (const Span &d : done)
        s.markDone(d);
    QList<Span> got;
    for (int i = 0; i < workers; ++i) {
        const qint64 told = s.nextPart(); // what the next take hands out, said beforehand
        const auto a = s.take();
        QCOMPARE(told, a ? a->span.size() : 0);
        if (a)
            got.append(a->span);
    }
    QCOMPARE(got, expected);
}

// Workers advance by uneven steps, some give up half-way; each unit is
// fetched by exactly one worker, and the whole arrives.
void TestPieceScheduler::everyUnitOnceUntilComplete_data()
{
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("minPart");
    QTest::addColumn<qint64>("maxPart");
    QTest::addColumn<int>("workers");
    QTest::addColumn<QList<Span>>("done");
    QTest::newRow("file, 8 connections") << qint64(1 << 20) << qint64(4096) << qint64(0) << 8 << QList<Span>();
    QTest::newRow("file, 16 connections, record") << qint64(3'000'001) << qint64(1000) << qint64(0) << 16
                                                  << spans({{0, 7}, {1000, 250'000}, {2'999'000, 3'000'001}});
    QTest::newRow("stream, 8 at a time") << qint64(5000) << qint64(1) << qint64(1) << 8 << QList<Span>();
    QTest::newRow("one connection") << qint64(77777) << qint64(100) << qint64(0) << 1 << QList<Span>();
}

void TestPieceScheduler::everyUnitOnceUntilComplete()
{
    QFETCH(qint64, total);
    QFETCH(qint64, minPart);
    QFETCH(qint64, maxPart);
    QFETCH(int, workers);
    QFETCH(QList<Span>, done);
    PieceScheduler s(total, minPart, maxPart);
    QList<int> fetched(total, 0);
    for (const Span &d : done) {
        s.markDone(d);
        for (qint64 u = d.begin; u < d.end; ++u)
            ++fetched[u];
    }
    QMap<int, qint64> cursor; // worker -> next unit it fetches
    QRandomGenerator random(42);
    for (int round = 0; round < 2'000'000 && !s.complete(); ++round) {
        while (cursor.size() < workers)
            if (const auto a = s.take())
                cursor.insert(a->worker, a->span.begin);
            else
                break;
        QVERIFY2(!cursor.isEmpty(), "units missing but nothing handed out");
        const int w = cursor.keys().at(random.bounded(int(cursor.size())));
        const qint64 end = s.endOf(w);
        const qint64 to = qMin(end, cursor[w] + 1 + random.bounded(qint64(total / 50 + 1)));
        for (qint64 u = cursor[w]; u < to; ++u)
            ++fetched[u];
        s.advance(w, to);
        cursor[w] = to;
        if (to >= end || random.bounded(40) == 0) { // done with its part, or given up
            s.release(w);
            cursor.remove(w);
        }
    }
    QVERIFY(s.complete());
    QCOMPARE(s.done(), spans({{0, total}}));
    QVERIFY(s.missing().isEmpty());
    QCOMPARE(fetched.count(1), total);
}

// A first worker whose answer goes on past its end (an open range) keeps
// going only into units nobody has and nobody fetches.
void TestPieceScheduler::extend_data()
{
    QTest::addColumn<QList<Span>>("done");
    QTest::addColumn<int>("workers");     // taken in turn; the first one extends
    QTest::addColumn<bool>("releaseLast"); // the last one gives its part back
    QTest::addColumn<bool>("extended");
    QTest::addColumn<qint64>("end");
    QTest::newRow("a tail given back") << QList<Span>() << 2 << true << true << qint64(100);
    QTest::newRow("a tail another fetches") << QList<Span>() << 2 << false << false << qint64(50);
    QTest::newRow("units that arrived") << spans({{50, 100}}) << 1 << false << false << qint64(50);
    QTest::newRow("up to the next worker") << QList<Span>() << 3 << true << true << qint64(50);
}

void TestPieceScheduler::extend()
{
    QFETCH(QList<Span>, done);
    QFETCH(int, workers);
    QFETCH(bool, releaseLast);
    QFETCH(bool, extended);
    QFETCH(qint64, end);
    PieceScheduler s(100, 10);
    for (const Span &d : done)
        s.markDone(d);
    int first = 0, last = 0;
    for (int i = 0; i < workers; ++i) {
        const auto a = s.take();
        QVERIFY(a);
        last = a->worker;
        first = first ? first : a->worker;
    }
    if (releaseLast)
        s.release(last);
    QCOMPARE(s.extend(first), extended);
    QCOMPARE(s.endOf(first), end);
}

QTEST_GUILESS_MAIN(TestPieceScheduler)
#include "tst_piecescheduler.moc"
