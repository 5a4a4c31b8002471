// One big file over several connections, over real loopback HTTP through
// the queue: the parts land at their offsets, the server's refusals and a
// new version fall back to one connection, a killed run leaves a record
// that the next one continues with only the missing ranges, and a file
// that cannot fit is refused before its first byte.
#include "download/diskspace.h"
#include "ui/mainwindow/failuretexts.h"
#include "download/entrystatus.h"
#include "download/keptbytes.h"
#include "support/smalldisk.h"
#include "support/testenv.h"
#include "queuerun.h"
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::download;
using testweb::Request;
using testweb::Response;
using test::QueueRun;

namespace {
const QByteArray Host = "media.vidrona.test";
const QString Url = QStringLiteral("http://media.vidrona.test/v/big.bin");
constexpr qint64 Size = 8 << 20;
constexpr qint64 NewVersion = 11;
const QByteArray V1 = "\"v1\"";

QString writeList(const QString &folder, const QString &status)
{
    return test::writeOneRow(folder, "big.bin", Url, status);
}

QString said(const QueueRun &run)
{
    QStringList texts;
    for (const auto &call : run.messages.calls)
        texts << call.text;
    return texts.join(" | ");
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

// "bytes=a-b" as [a, b + 1); "bytes=a-" as [a, -1).
std::optional<Span> rangeOf(const Request &r)
{
    static const QRegularExpression form(QStringLiteral("^bytes=(\\d+)-(\\d*)$"));
    const QRegularExpressionMatch m = form.match(QString::fromLatin1(r.header("Range")));
    if (!m.hasMatch())
        return std::nullopt;
    return Span{m.captured(1).toLongLong(), m.captured(2).isEmpty() ? -1 : m.captured(2).toLongLong() + 1};
}

int boundedRanges(const QList<Request> &requests)
{
    return int(std::count_if(requests.begin(), requests.end(), [](const Request &r) {
        const std::optional<Span> s = rangeOf(r);
        return s && s->end >= 0;
    }));
}

// The spans the record beside target names as arrived.
QList<Span> recordedSpans(const QString &target)
{
    QFile file(kept::recordPath(target));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Span> out;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("done "))
            for (const QByteArray &item : line.mid(5).split(','))
                if (item.contains('-') && !item.endsWith('-'))
                    out.append({item.split('-')[0].toLongLong(), item.split('-')[1].toLongLong()});
    return out;
}

bool overlaps(Span asked, const QList<Span> &done)
{
    for (const Span &d : done)
        if (asked.begin < d.end && (asked.end < 0 || d.begin < asked.end))
            return true;
    return false;
}

// The n-th answer of a server whose file is cut in parts the way kind says.
Response answer(const QString &kind, int n, const Request &r)
{
    Response resp = Response::ranged(r, Size, V1, 0, kind == "whole for a bounded range");
    if (kind == "new version after the first answer" && n > 1)
        resp = Response::ranged(r, Size, "\"v2\"", NewVersion);
    if ((kind == "503 during the parts" || kind == "429 during the parts") && n == 3) {
        resp = Response::html("busy", kind.startsWith("503") ? 503 : 429);
        resp.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("1")));
    }
    resp.bytesPerSecond = 4 << 20; // parts overlap in time
    return resp;
}
} // namespace

class TestSegmented : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_web.ok()); }
    void parts_data();
    void parts();
    void killedWithPartsInFlight();
    void cancelWithAPartWaiting();
    void oldRecordStillLoads_data();
    void oldRecordStillLoads();
    void noRoomOnTheDisk_data();
    void noRoomOnTheDisk();
    void sizeInWords_data();
    void sizeInWords();

private:
    void route(std::function<Response(int, const Request &)> answers)
    {
        m_web.server().clearRequests();
        m_web.server().resetConnectionPeak();
        auto n = std::make_shared<int>(0);
        m_web.server().on(Host, "/v/big.bin", [=](const Request &r) { return answers(++*n, r); });
    }
    test::LocalWeb m_web;
};

void TestSegmented::parts_data()
{
    QTest::addColumn<qint64>("version");     // of the final file
    QTest::addColumn<int>("peakAtLeast");    // connections open at once
    QTest::addColumn<int>("peakAtMost");
    QTest::addColumn<int>("bounded");        // bounded ranges asked; -1: several
    QTest::addColumn<bool>("lastIsWhole");   // the last request asks no range
    QTest::newRow("split on 206") << 0LL << 3 << 8 << -1 << false;
    QTest::newRow("whole for a bounded range") << 0LL << 1 << 2 << 1 << false;
    QTest::newRow("new version after the first answer") << NewVersion << 1 << 3 << 1 << true;
    QTest::newRow("503 during the parts") << 0LL << 3 << 8 << -1 << false;
    QTest::newRow("429 during the parts") << 0LL << 3 << 8 << -1 << false;
}

void TestSegmented::parts()
{
    QFETCH(qint64, version);
    QFETCH(int, peakAtLeast);
    QFETCH(int, peakAtMost);
    QFETCH(int, bounded);
    QFETCH(bool, lastIsWhole);
    const QString kind = QTest::currentDataTag();
    QTemporaryDir dir;
    const QString target = writeList(dir.path(), status::Pending);
    route([kind](int n, const Request &r) { return answer(kind, n, r); });
    QueueRun run(dir.path());
    run.queue.setRetryDelays({50, 50, 50}); // a busy server is tried again
    QVERIFY(run.run());
    QVERIFY2(run.status() == status::Completed, qPrintable(said(run)));
    QVERIFY(test::readFile(target) == testweb::Server::patternBytes(version, Size));
    const QList<Request> asked = m_web.server().requests();
    const int peak = m_web.server().connectionPeak();
    QVERIFY2(peak >= peakAtLeast && peak <= peakAtMost, qPrintable(QString::number(peak)));
    if (bounded >= 0)
        QCOMPARE(boundedRanges(asked), bounded);
    else
        QVERIFY(boundedRanges(asked) >= 2);
    QCOMPARE(asked.last().header("Range").isEmpty(), lastIsWhole);
    QCOMPARE(filesIn(dir.path()), QStringList({"big.bin", "List"}));
}

// The program is killed with parts in flight; the next run asks only for
// the bytes the record does not name, and the file is exactly the server's.
void TestSegmented::killedWithPartsInFlight()
{
    const QString child = QCoreApplication::applicationDirPath() + "/queuechild";
    QVERIFY2(QFile::exists(child), qPrintable(child));
    QTemporaryDir dir;
    const QString target = writeList(dir.path(), status::Pending);
    auto slow = std::make_shared<bool>(true);
    route([slow](int, const Request &r) {
        Response resp = Response::ranged(r, Size, V1);
        resp.bytesPerSecond = *slow ? 256 << 10 : 0;
        return resp;
    });
    QProcess program;
    program.start(child, {dir.path(), QString::number(m_web.server().port())});
    QVERIFY(QTest::qWaitFor([&] { return !recordedSpans(target).isEmpty() && m_web.server().openConnections() >= 3; },
                            20000));
    program.kill();
    QVERIFY(program.waitForFinished(10000));
    const QList<Span> done = recordedSpans(target);
    QVERIFY(!done.isEmpty());

    *slow = false;
    m_web.server().clearRequests();
    writeList(dir.path(), status::Downloading); // as saved during that fetch
    QueueRun again(dir.path());
    QVERIFY(again.run(true));
    QVERIFY2(again.status() == status::Completed, qPrintable(said(again)));
    QVERIFY(test::readFile(target) == testweb::Server::patternBytes(0, Size));
    const QList<Request> asked = m_web.server().requests();
    QVERIFY(!asked.isEmpty());
    for (const Request &r : asked) {
        const std::optional<Span> range = rangeOf(r);
        QVERIFY2(range && !overlaps(*range, done), r.header("Range").constData());
    }
    QCOMPARE(filesIn(dir.path()), QStringList({"big.bin", "List"}));
}

// Cancel reaches every connection, also one whose part never comes; the
// bytes that arrived stay for the next run, with a record naming them.
void TestSegmented::cancelWithAPartWaiting()
{
    QTemporaryDir dir;
    const QString target = writeList(dir.path(), status::Pending);
    route([](int n, const Request &r) {
        Response resp = Response::ranged(r, Size, V1);
        resp.bytesPerSecond = 1 << 20;
        resp.stallAfterHeaders = n == 3; // this part's head, then nothing
        return resp;
    });
    QueueRun run(dir.path());
    run.queue.setStallTimeout(60000); // only the cancel ends that part
    run.start();
    QVERIFY(QTest::qWaitFor([&] { return m_web.server().openConnections() >= 3; }, 20000));
    QVERIFY(run.queue.cancel(run.list.at(0).id));
    QVERIFY(run.wait());
    QCOMPARE(run.status(), status::Canceled);
    QVERIFY(!QFile::exists(target));
    QVERIFY(QFile::exists(kept::bytesPath(target)));
    QVERIFY(QFile::exists(kept::recordPath(target)));
}

// Kept bytes whose record names no spans (from a fetch on one connection)
// are all there: the fetch goes on after them.
// A record without spans (one connection wrote the bytes in order) is
// continued; one whose kept bytes are longer than the file it names, or
// whose length cannot be read, is not trusted at all.
void TestSegmented::oldRecordStillLoads_data()
{
    QTest::addColumn<QByteArray>("total"); // as the record says it
    QTest::addColumn<QByteArray>("range"); // the first request's
    QTest::newRow("old record, continued") << QByteArray::number(Size) << "bytes=" + QByteArray::number(5 << 20) + '-';
    QTest::newRow("kept bytes longer than the file") << QByteArray("1000") << QByteArray();
    QTest::newRow("a length that is no number") << QByteArray("12x") << QByteArray();
}

void TestSegmented::oldRecordStillLoads()
{
    QFETCH(QByteArray, total);
    QFETCH(QByteArray, range);
    QTemporaryDir dir;
    const QString target = writeList(dir.path(), status::Pending);
    constexpr qint64 Kept = 5 << 20;
    test::writeFile(dir.path(), "big.bin.part", testweb::Server::patternBytes(0, Kept));
    test::writeFile(dir.path(), "big.bin.partinfo",
                    "vidrona kept bytes 1\naddress " + Url.toLatin1() + "\netag " + V1 + "\ntotal " + total + '\n');
    route([](int, const Request &r) { return Response::ranged(r, Size, V1); });
    QueueRun run(dir.path());
    QVERIFY(run.run());
    QVERIFY2(run.status() == status::Completed, qPrintable(said(run)));
    QVERIFY(test::readFile(target) == testweb::Server::patternBytes(0, Size));
    QCOMPARE(m_web.server().requests().first().header("Range"), range);
}

void TestSegmented::noRoomOnTheDisk_data()
{
    QTest::addColumn<bool>("lengthKnown");
    QTest::addColumn<QString>("reason"); // a pattern of the row's message
    QTest::addColumn<int>("requests");
    QTest::addColumn<QStringList>("left"); // files in the folder after the run
    QTest::newRow("length known: refused before writing")
        << true << "^Not enough free space: needs 8 MB, \\d+ kB free$" << 1 << QStringList{"List"};
    QTest::newRow("length unknown: the disk fills, the bytes are kept to resume")
        << false << "^No space left on the disk$" << 1 << QStringList{"big.bin.part", "big.bin.partinfo", "List"};
}

// A small file system of its own; nothing tried again, nothing left.
void TestSegmented::noRoomOnTheDisk()
{
    QFETCH(bool, lengthKnown);
    QFETCH(QString, reason);
    QFETCH(int, requests);
    QFETCH(QStringList, left);
    test::SmallDisk disk;
    if (!disk.ok())
        QSKIP(disk.whyNot);
    const QString target = writeList(disk.path(), status::Pending);
    route([lengthKnown](int, const Request &r) {
        Response resp = Response::ranged(r, Size, V1);
        resp.chunked = !lengthKnown;
        return resp;
    });
    QueueRun run(disk.path());
    run.queue.setRetryDelays({50, 50, 50});
    QVERIFY(run.run());
    QCOMPARE(run.status(), status::Failed);
    QCOMPARE(run.messages.calls.size(), 1);
    const QString text = run.messages.calls[0].text.section(QStringLiteral("\r\n"), 1);
    QVERIFY2(QRegularExpression(reason).match(text).hasMatch(), qPrintable(text));
    QCOMPARE(m_web.server().requests().size(), requests);
    QCOMPARE(filesIn(disk.path()), left);
}

void TestSegmented::sizeInWords_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("words");
    QTest::newRow("GB with a decimal") << 1'234'000'000LL << "1.2 GB";
    QTest::newRow("MB without") << 300'400'000LL << "300 MB";
    QTest::newRow("kB") << 1'500LL << "2 kB";
    QTest::newRow("bytes") << 999LL << "999 B";
    QTest::newRow("rounding reaches the next unit") << 999'999LL << "1 MB";
    QTest::newRow("TB") << 2'560'000'000'000LL << "2.6 TB";
}

void TestSegmented::sizeInWords()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, words);
    QCOMPARE(ui::mainwindow::decimalSize(bytes), words);
}

QTEST_GUILESS_MAIN(TestSegmented)
#include "tst_segmented.moc"
