// The queue's files over real loopback HTTP and real file system objects:
// what the program keeps is never reached through a link nor read from
// anything but a plain file, a fetch never puts its file in the place of
// one it did not write, and an answer that is not the video is refused.
#include "download/entrystatus.h"
#include "download/filewriter.h"
#include "download/keptbytes.h"
#include "download/listfile.h"
#include "download/liststore.h"
#include "ui/mainwindow/failuretexts.h"
#include "ui/mainwindow/queuetexts.h"
#include "download/transfer.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "queuerun.h"
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::ui::mainwindow;
using testweb::Request;
using testweb::Response;

using test::QueueRun;

namespace {
const QByteArray Host = "media.vidrona.test";
constexpr qint64 Size = 256 << 10;
const QByteArray V1 = "\"v1\"";
const QByteArray Precious = "a file of the user's own";

QString urlOf(const QString &name)
{
    return QStringLiteral("http://media.vidrona.test/v/") + name;
}

QString writeList(const QString &folder, const QString &name)
{
    return test::writeOneRow(folder, name, urlOf(name), status::Pending);
}

// A record that matches the server's answers, so only its place decides.
void writeRecord(const QString &target)
{
    test::writeFile(QFileInfo(target).path(), QFileInfo(kept::recordPath(target)).fileName(),
                    "vidrona kept bytes 1\naddress " + urlOf("clip.flv").toLatin1() + "\netag " + V1
                        + "\ntotal " + QByteArray::number(Size) + '\n');
}

bool isLink(const QString &path)
{
    return QFileInfo(path).isSymLink();
}
} // namespace

class TestSafeFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_web.ok()); }
    void keptPlaces_data();
    void keptPlaces();
    void takenNames_data();
    void takenNames();
    void failuresInWords_data();
    void failuresInWords();
    void listPlaces_data();
    void listPlaces();
    void writerPlaces_data();
    void writerPlaces();

private:
    test::LocalWeb m_web;
};

void TestSafeFiles::keptPlaces_data()
{
    QTest::addColumn<QString>("place");
    QTest::newRow("kept bytes are a link to another file") << "part-link";
    QTest::newRow("record is a link to /dev/zero") << "record-devzero";
    QTest::newRow("record is a FIFO") << "record-fifo";
    QTest::newRow("record is a character device") << "record-device";
}

// Whatever stands where kept bytes or their record should be, the fetch
// starts over, completes with the server's bytes, follows no link and
// leaves neither the odd object nor anything it points to changed.
void TestSafeFiles::keptPlaces()
{
    QFETCH(QString, place);
    QTemporaryDir dir;
    const QString target = writeList(dir.path(), "clip.flv");
    const QString other = test::writeFile(dir.path(), "other.bin", Precious);
    const QString bytes = kept::bytesPath(target), record = kept::recordPath(target);
    if (place == "part-link") {
        QVERIFY(QFile::link(other, bytes));
        writeRecord(target);
    } else {
        test::writeFile(dir.path(), "clip.flv.part", testweb::Server::patternBytes(0, 1000));
    }
    if (place == "record-devzero")
        QVERIFY(QFile::link("/dev/zero", record));
    if (place == "record-fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(record).constData(), 0600), 0);
    if (place == "record-device" && ::mknod(QFile::encodeName(record).constData(), S_IFCHR | 0600, makedev(1, 5)) != 0)
        QSKIP("making a device node needs root");
    m_web.server().on(Host, "/v/clip.flv", [](const Request &r) { return Response::ranged(r, Size, V1); });
    QueueRun run(dir.path());
    run.start();
    QVERIFY(run.wait());
    QVERIFY2(run.messages.calls.isEmpty(), qPrintable(run.messages.calls.value(0).text.section("\n", 1)));
    QCOMPARE(run.status(), status::Completed);
    QVERIFY(!isLink(target));
    QCOMPARE(test::readFile(target), testweb::Server::patternBytes(0, Size));
    QCOMPARE(test::readFile(other), Precious);
    QVERIFY(!QFileInfo::exists(bytes) && !isLink(bytes));
    QVERIFY(!QFileInfo::exists(record) && !isLink(record));
}

void TestSafeFiles::takenNames_data()
{
    QTest::addColumn<QString>("holder"); // what holds the row's name
    QTest::addColumn<bool>("during");    // put there while the fetch runs
    QTest::newRow("a dangling link") << "dangling" << false;
    QTest::newRow("a link to another file") << "link" << false;
    QTest::newRow("a file that appears during the fetch") << "file" << true;
}

// The name is someone else's: the fetched file takes the next free one,
// the row and the list file say which, and the holder stays as it was.
void TestSafeFiles::takenNames()
{
    QFETCH(QString, holder);
    QFETCH(bool, during);
    QTemporaryDir dir;
    const QString target = writeList(dir.path(), "clip.flv");
    const QString other = test::writeFile(dir.path(), "other.bin", Precious);
    m_web.server().clearRequests();
    m_web.server().on(Host, "/v/clip.flv", [](const Request &r) {
        Response slow = Response::ranged(r, Size, V1);
        slow.trickleMs = 5;
        slow.trickleBytes = 16 << 10;
        return slow;
    });
    auto putHolder = [&] {
        if (holder == "dangling")
            return QFile::link(dir.filePath("nowhere"), target);
        if (holder == "link")
            return QFile::link(other, target);
        return !test::writeFile(dir.path(), "clip.flv", Precious).isEmpty();
    };
    if (!during)
        QVERIFY(putHolder());
    QueueRun run(dir.path());
    run.start();
    if (during) {
        QTRY_COMPARE(m_web.server().requests().size(), 1);
        QVERIFY(putHolder());
    }
    QVERIFY(run.wait());
    QVERIFY2(run.messages.calls.isEmpty(), qPrintable(run.messages.calls.value(0).text.section("\n", 1)));
    QCOMPARE(run.status(), status::Completed);
    const QString moved = dir.filePath("clip (2).flv");
    QCOMPARE(test::readFile(moved), testweb::Server::patternBytes(0, Size));
    QCOMPARE(run.list.at(0).fileName, QString("clip (2).flv"));
    QVERIFY(test::readFile(dir.filePath("List")).startsWith("clip (2).flv\r\n"));
    QCOMPARE(test::readFile(other), Precious);
    if (holder == "file")
        QCOMPARE(test::readFile(target), Precious);
    else
        QVERIFY(isLink(target));
}

void TestSafeFiles::failuresInWords_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("reason");
    const QString page = QStringLiteral("The server sent a web page instead of the video");
    QTest::newRow("a web page") << "page.flv" << "text/html" << page;
    QTest::newRow("a web page with its charset") << "page.flv" << "text/html; charset=utf-8" << page;
    QTest::newRow("an XHTML page") << "page.flv" << "application/xhtml+xml" << page;
    QTest::newRow("404") << "gone.flv" << "404" << "The server answered 404 Not Found";
    QTest::newRow("nothing arrives") << "stall.flv" << "stall" << "No data came for 2 seconds";
    QTest::newRow("a name too long for the disk")
        << QString(300, 'n') + ".flv" << "video/x-flv" << "The name is too long for this disk";
}

// The queue's message keeps its words and says why on a second line;
// nothing is kept under the video's name or beside it.
void TestSafeFiles::failuresInWords()
{
    QFETCH(QString, name);
    QFETCH(QString, answer);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString target = writeList(dir.path(), name);
    m_web.server().on(Host, "/v/" + name.toUtf8(), [answer](const Request &) {
        if (answer == "404")
            return Response::notFound();
        Response r = Response::bytes("<html><body>Sign in to watch</body></html>", answer.toLatin1());
        if (answer.contains("html"))
            r.headers.append({"ETag", V1});
        r.stallAfterHeaders = answer == "stall";
        return r;
    });
    QueueRun run(dir.path());
    run.start();
    QVERIFY(run.wait());
    QCOMPARE(run.status(), status::Failed);
    QCOMPARE(run.messages.calls.size(), 1);
    QCOMPARE(run.messages.calls[0].text, queueFailureText() + "\r\n" + reason);
    QVERIFY(!QFileInfo::exists(target));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList{"List"});
}

void TestSafeFiles::listPlaces_data()
{
    QTest::addColumn<QString>("place");
    QTest::newRow("the list is a link to another list") << "link";
    QTest::newRow("the list is a dangling link") << "dangling";
    QTest::newRow("the list is a link to /dev/zero") << "devzero";
    QTest::newRow("the list is a FIFO") << "fifo";
}

// The list file is read only as a plain file: anything else in its place
// is left as it is, read through by nothing and written through by no save.
void TestSafeFiles::listPlaces()
{
    QFETCH(QString, place);
    QTemporaryDir dir;
    const QString list = dir.filePath("List");
    const QByteArray rows = "clip.flv\r\n" + urlOf("clip.flv").toLatin1() + "\r\nPENDING\r\n";
    const QString other = test::writeFile(dir.path(), "other.list", rows);
    if (place == "link")
        QVERIFY(QFile::link(other, list));
    if (place == "dangling")
        QVERIFY(QFile::link(dir.filePath("nowhere"), list));
    if (place == "devzero")
        QVERIFY(QFile::link("/dev/zero", list));
    if (place == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(list).constData(), 0600), 0);
    QueueRun run(dir.path()); // loads the list
    QCOMPARE(run.list.count(), 0);
    run.list.append("new.flv", urlOf("new.flv"), Status::Pending);
    run.queue.store().SaveList();
    ListFile file(dir.path());
    DownloadList read;
    file.load(read);
    QVERIFY(file.unreadable());
    const std::optional<ListNotice> notice = file.loadNotice();
    QVERIFY(notice && notice->kind == ListNotice::Kind::Unreadable);
    QVERIFY(notice->notPlain);
    QVERIFY(!file.save(run.list));
    QCOMPARE(test::readFile(other), rows);
    QVERIFY(!QFileInfo::exists(dir.filePath("nowhere")));
    QCOMPARE(QFileInfo(list).isSymLink(), place != "fifo");
}

void TestSafeFiles::writerPlaces_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<bool>("opens");
    QTest::newRow("nothing there yet") << "none" << true;
    QTest::newRow("a plain file") << "plain" << true;
    QTest::newRow("a link to another file") << "link" << false;
    QTest::newRow("a dangling link") << "dangling" << false;
    QTest::newRow("a FIFO") << "fifo" << false;
    QTest::newRow("a folder") << "folder" << false;
}

// A kept file's writer opens only a plain file, and says so as data when
// something else holds the name: the window words it, nothing below it.
void TestSafeFiles::writerPlaces()
{
    QFETCH(QString, place);
    QFETCH(bool, opens);
    QTemporaryDir dir;
    const QString path = dir.filePath("clip.flv.part");
    const QString other = test::writeFile(dir.path(), "other.bin", Precious);
    if (place == "plain")
        test::writeFile(dir.path(), "clip.flv.part", "kept");
    if (place == "link")
        QVERIFY(QFile::link(other, path));
    if (place == "dangling")
        QVERIFY(QFile::link(dir.filePath("nowhere"), path));
    if (place == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    if (place == "folder")
        QVERIFY(QDir(dir.path()).mkdir("clip.flv.part"));
    FileWriter writer;
    QCOMPARE(writer.open(path, true), opens);
    if (!opens) {
        QCOMPARE(writer.failure().cause, net::Cause::NotPlainFile);
        QCOMPARE(failureText(writer.failure()), QStringLiteral("The file could not be written: not a plain file"));
    }
    writer.close();
    QCOMPARE(test::readFile(other), Precious);
    QVERIFY(!QFileInfo::exists(dir.filePath("nowhere")));
}

QTEST_GUILESS_MAIN(TestSafeFiles)
#include "tst_safefiles.moc"
