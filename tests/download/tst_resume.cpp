// Kept bytes and resuming over real loopback HTTP: however a fetch is
// interrupted, the file ends with the exact bytes of one version, nothing
// is under its name before, and no kept bytes stay behind.
#include "download/entrystatus.h"
#include "download/keptbytes.h"
#include "download/listfile.h"
#include "download/retries.h"
#include "ui/mainwindow/queuetexts.h"
#include "download/transfer.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "queuerun.h"
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::ui::mainwindow;
using testweb::Request;
using testweb::Response;

using test::QueueRun;

namespace {
const QByteArray Host = "media.vidrona.test";
const QString Url = QStringLiteral("http://media.vidrona.test/v/clip.flv");
constexpr qint64 Size = 1 << 20;
constexpr qint64 OtherVersion = 7; // the file as changed on the server
const QByteArray V1 = "\"v1\"";

QString writeList(const QString &folder, const QString &status)
{
    return test::writeOneRow(folder, "clip.flv", Url, status);
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

Request without(Request r, const QByteArray &header)
{
    r.headers.removeIf([&](const auto &h) { return h.first.compare(header, Qt::CaseInsensitive) == 0; });
    return r;
}

// The answers of the first run: the first drops the connection at half
// the file, and the row's own tries for the rest are cut off before their
// first byte, so that the row fails with half the file kept.
constexpr int FirstRun = 1 + retries::MaxRetries;

// The n-th answer: those of the first run, then the kind asked for.
Response answer(const QString &kind, int n, const Request &r)
{
    Response first = Response::ranged(r, Size, V1);
    first.dropAfter = n == 1 ? Size / 2 : 0;
    if (n <= FirstRun)
        return first;
    if (kind == "whole")
        return Response::ranged(without(r, "Range"), Size, V1);
    if (kind == "changed")
        return Response::ranged(r, Size, "\"v2\"", OtherVersion);
    if (kind == "wrong206") // the rest of another version, If-Range or not
        return Response::ranged(without(r, "If-Range"), Size, "\"v2\"", OtherVersion);
    if (kind == "416" && n == FirstRun + 1)
        return Response::html("<html>Range Not Satisfiable</html>", 416);
    return Response::ranged(r, Size, V1);
}
} // namespace

class TestResume : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_web.ok()); }
    void interrupted_data();
    void interrupted();
    void killedDuringAFetch();
    void progressCell();
    void fullDisk();
    void restPastItsEnd();

private:
    void route(std::function<Response(int, const Request &)> answers)
    {
        m_web.server().clearRequests();
        auto n = std::make_shared<int>(0);
        m_web.server().on(Host, "/v/clip.flv", [=](const Request &r) { return answers(++*n, r); });
    }
    test::LocalWeb m_web;
};

void TestResume::interrupted_data()
{
    QTest::addColumn<QString>("second"); // how the server answers the request for the rest
    QTest::addColumn<QString>("then");   // what the user does after the failed run
    QTest::addColumn<qint64>("version"); // of the final file
    QTest::addColumn<int>("requests");
    QTest::newRow("the rest continues the kept bytes") << "ranged" << "run" << 0LL << 2;
    QTest::newRow("server ignores Range") << "whole" << "run" << 0LL << 2;
    QTest::newRow("ETag changed between the requests") << "changed" << "run" << OtherVersion << 2;
    QTest::newRow("206 of another version") << "wrong206" << "run" << OtherVersion << 3;
    QTest::newRow("416") << "416" << "run" << 0LL << 3;
    QTest::newRow("Remove takes the kept bytes") << "ranged" << "remove" << 0LL << 1;
    QTest::newRow("Clean takes the kept bytes") << "ranged" << "clean" << 0LL << 1;
}

void TestResume::interrupted()
{
    QFETCH(QString, second);
    QFETCH(QString, then);
    QFETCH(qint64, version);
    QFETCH(int, requests);
    QTemporaryDir dir;
    const QString target = writeList(dir.path(), status::Pending);
    route([second](int n, const Request &r) { return answer(second, n, r); });
    {
        QueueRun first(dir.path());
        QVERIFY(first.run());
        QCOMPARE(first.status(), status::Failed);
        QVERIFY(!QFile::exists(target));
        QVERIFY(QFileInfo(kept::bytesPath(target)).size() > 0);
        if (then == "remove")
            first.list.removeAt(0);
        if (then == "clean")
            first.list.removeIf([](const DownloadEntry &e) { return status::isFinished(e.status); });
    }
    if (then == "run") {
        QueueRun again(dir.path());
        QVERIFY(again.run());
        QCOMPARE(again.status(), status::Completed);
        QCOMPARE(test::readFile(target), testweb::Server::patternBytes(version, Size));
        const QList<Request> asked = m_web.server().requests();
        QCOMPARE(asked.size(), FirstRun + requests - 1);
        QVERIFY(asked[FirstRun].header("Range").startsWith("bytes="));
        QCOMPARE(asked[FirstRun].header("If-Range"), V1);
    }
    QCOMPARE(m_web.server().requests().size(), FirstRun + requests - 1);
    QCOMPARE(filesIn(dir.path()), then == "run" ? QStringList({"clip.flv", "List"}) : QStringList{"List"});
}

// The program is killed during a fetch; the next run in the same folder
// takes up the row it left DOWNLOADING (after Yes at start) and continues.
void TestResume::killedDuringAFetch()
{
    const QString child = QCoreApplication::applicationDirPath() + "/queuechild";
    QVERIFY2(QFile::exists(child), qPrintable(child));
    QTemporaryDir dir;
    const QString target = writeList(dir.path(), status::Pending);
    route([](int, const Request &r) {
        Response resp = Response::ranged(r, Size, V1);
        resp.trickleMs = r.header("Range").isEmpty() ? 20 : 0; // slow until killed
        resp.trickleBytes = 8192;
        return resp;
    });
    QProcess program;
    program.start(child, {dir.path(), QString::number(m_web.server().port())});
    // Killed once the record names bytes: it names only bytes made durable.
    QVERIFY(QTest::qWaitFor([&] {
        const std::optional<engine::FetchRecord> r = engine::readRecord(kept::recordPath(target));
        return r && !r->done.isEmpty();
    }, 20000));
    program.kill();
    QVERIFY(program.waitForFinished(10000));
    QVERIFY(!QFile::exists(target));

    writeList(dir.path(), status::Downloading); // as saved during that fetch
    QueueRun again(dir.path());
    QVERIFY(again.run(true));
    QCOMPARE(again.status(), status::Completed);
    QCOMPARE(test::readFile(target), testweb::Server::patternBytes(0, Size));
    QCOMPARE(m_web.server().requests().size(), 2);
    QVERIFY(m_web.server().requests()[1].header("Range").startsWith("bytes="));
    QCOMPARE(filesIn(dir.path()), QStringList({"clip.flv", "List"}));
}

void TestResume::progressCell()
{
    QTemporaryDir dir;
    writeList(dir.path(), status::Pending);
    route([](int, const Request &r) {
        Response resp = Response::ranged(r, 64 << 10, V1);
        resp.trickleMs = 40;
        resp.trickleBytes = 2048;
        return resp;
    });
    QueueRun run(dir.path());
    QStringList texts;
    connect(&run.list, &QAbstractItemModel::dataChanged, this, [&](const QModelIndex &cell) {
        if (cell.column() == DownloadList::ColProgress)
            texts << cell.data(Qt::AccessibleTextRole).toString();
    });
    QVERIFY(run.run());
    QVERIFY2(texts.size() >= 3, qPrintable(texts.join(" | ")));
    QCOMPARE(texts.takeLast(), QString()); // no longer fetched
    QList<int> percents;
    for (const QString &t : texts)
        percents << t.section(' ', 0, 0).toInt();
    QVERIFY2(std::is_sorted(percents.begin(), percents.end()) && percents.first() < 100,
             qPrintable(texts.join(" | ")));
    QVERIFY2(texts.last().startsWith(QStringLiteral("100 % \u00b7 64.0 of 64.0 KiB \u00b7 ")),
             qPrintable(texts.last()));
}

// A small file system of its own that a file of unknown length does not
// fit on.
void TestResume::fullDisk()
{
    if (geteuid() != 0)
        QSKIP("mounting a small tmpfs needs root");
    QTemporaryDir parent;
    const QString folder = parent.filePath("disk");
    QVERIFY(QDir().mkpath(folder));
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", folder}) != 0)
        QSKIP("mounting a small tmpfs failed");
    const std::shared_ptr<void> unmount(nullptr, [&](void *) { QProcess::execute("umount", {folder}); });
    const QString target = writeList(folder, status::Pending);
    route([](int, const Request &) { // no length: it shows only while writing
        Response r = Response::pattern(300 << 10);
        r.chunked = true;
        return r;
    });
    QueueRun run(folder);
    QVERIFY(run.run());
    QCOMPARE(run.status(), status::Failed);
    QCOMPARE(run.messages.calls.size(), 1);
    QCOMPARE(run.messages.calls[0].text, queueFailureText() + "\r\nNo space left on the disk");
    QVERIFY(!QFile::exists(target));
}

// The rest of the file comes without a length and goes on past the file's
// end: the fetch stops there, and the kept bytes never grow past the file.
void TestResume::restPastItsEnd()
{
    QTemporaryDir dir;
    const QString target = writeList(dir.path(), status::Pending);
    route([](int n, const Request &r) {
        Response resp = answer("ranged", n, r);
        if (n > 1) {
            resp.chunked = true;
            resp.patternSize = 64 << 20; // the Content-Range still names the file's last byte
        }
        return resp;
    });
    for (int round = 0; round < 2; ++round) { // broken off at half (the row's own tries too), then the endless rest
        QueueRun run(dir.path());
        QVERIFY(run.run());
        QCOMPARE(run.status(), status::Failed);
        QVERIFY(QFileInfo(kept::bytesPath(target)).size() <= Size);
    }
    QVERIFY(!QFile::exists(target));
    QCOMPARE(m_web.server().requests().size(), FirstRun + 1);
}

QTEST_GUILESS_MAIN(TestResume)
#include "tst_resume.moc"
