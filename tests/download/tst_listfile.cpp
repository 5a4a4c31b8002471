#include "download/listfile.h"
#include "download/liststore.h"
#include "platform/platform.h"
#include "download/progress.h"
#include "ui/mainwindow/listtexts.h"
#include "ui/mainwindow/queuetexts.h"
#include "support/recordingmessages.h"
#include "support/smalldisk.h"
#include "support/testenv.h"
#include <QFile>
#include <QTemporaryDir>
#include <QRandomGenerator>
#include <QtTest>
#include <ctime>
#include <unistd.h>

using namespace vidrona;
using namespace vidrona::download;
using namespace vidrona::ui::mainwindow;

class TestListFile : public QObject
{
    Q_OBJECT
private slots:
    void missingFileIsCreatedEmpty();
    void loadShapes_data();
    void loadShapes();
    void garbageIsCountedAndKept();
    void roundTripIsByteForByte();
    void saveReplacesLongerFile();
    void saveIntoMissingFolderFailsAndSaysWhy();
    void fullDiskKeepsWhatIsOnDisk_data();
    void fullDiskKeepsWhatIsOnDisk();
    void loadTimeGrowsLinearly();
    void rowsPastTheLimitStayInTheFile();
    void unreadableListIsNeverWrittenOver();
    void progressLabel_data();
    void progressLabel();
    void fileNameRule_data();
    void fileNameRule();
};

void TestListFile::missingFileIsCreatedEmpty()
{
    QTemporaryDir dir;
    ListFile file(dir.path());
    DownloadList list;
    list.append("stale.flv", "http://h/stale.flv", Status::Pending);
    file.load(list);
    QCOMPARE(list.count(), 0);
    QVERIFY(QFile::exists(dir.filePath("List")));
    QCOMPARE(QFile(dir.filePath("List")).size(), 0);
    const ListProgress none = listProgress(list);
    QCOMPARE(filesDownloadedText(none.completed, none.total), QString("0 of 0 files downloaded."));
}

// Each row: name|url|status joined by ';'.
void TestListFile::loadShapes_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("one row") << QByteArray("a.flv\r\nhttp://h/a.flv\r\nPENDING\r\n")
                             << QStringList{"a.flv|http://h/a.flv|PENDING"};
    QTest::newRow("4 lines: cut group repeats the first URL")
        << QByteArray("a.flv\r\nhttp://h/a.flv\r\nCOMPLETED\r\nb.flv\r\n")
        << QStringList{"a.flv|http://h/a.flv|COMPLETED"};
    QTest::newRow("5 lines: second group takes the first status")
        << QByteArray("a.flv\r\nhttp://h/a.flv\r\nFAILED\r\nb.flv\r\nhttp://h/b.flv\r\n")
        << QStringList{"a.flv|http://h/a.flv|FAILED", "b.flv|http://h/b.flv|FAILED"};
    QTest::newRow("same URL twice: both rows kept as read")
        << QByteArray("a.flv\r\nhttp://h/a.flv\r\nCOMPLETED\r\n"
                      "other\r\nhttp://h/a.flv\r\nPENDING\r\n"
                      "c.flv\r\nhttp://h/c.flv\r\nCANCELED\r\n")
        << QStringList{"a.flv|http://h/a.flv|COMPLETED", "other|http://h/a.flv|PENDING",
                       "c.flv|http://h/c.flv|CANCELED"};
    QTest::newRow("UTF-8 names and addresses")
        << QByteArray("\xd0\x9c\xd0\xbe\xd1\x80\xd0\xb5.mp4\r\nhttp://h/\xe6\x98\xa0.mp4\r\nPENDING\r\n")
        << QStringList{QString::fromUtf8("Море.mp4|http://h/映.mp4|PENDING")};
    QTest::newRow("a line that is no row between rows")
        << QByteArray("a.flv\r\nhttp://h/a.flv\r\nPENDING\r\n\x01\x02garbage\r\n"
                      "b.flv\r\nhttp://h/b.flv\r\nFAILED\r\n")
        << QStringList{"a.flv|http://h/a.flv|PENDING", "b.flv|http://h/b.flv|FAILED"};
    QTest::newRow("unknown and lower-case words kept")
        << QByteArray("a.flv\r\nhttp://h/a.flv\r\ncompleted\r\nb\r\nhttp://h/b\r\nQUEUED\r\n")
        << QStringList{"a.flv|http://h/a.flv|completed", "b|http://h/b|QUEUED"};
    QTest::newRow("bare LF line ends and no final line end")
        << QByteArray("a.flv\nhttp://h/a.flv\nPENDING")
        << QStringList{"a.flv|http://h/a.flv|PENDING"};
    QTest::newRow("bytes above 127 stay one character each")
        << QByteArray("\xe9t\xe9.flv\r\nhttp://h/\xe9t\xe9.flv\r\nPENDING\r\n")
        << QStringList{QString::fromLatin1("\xe9t\xe9.flv|http://h/\xe9t\xe9.flv|PENDING")};
}

void TestListFile::loadShapes()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, rows);
    QTemporaryDir dir;
    test::writeFile(dir.path(), "List", content);
    DownloadList list;
    ListFile(dir.path()).load(list);
    QStringList got;
    for (const DownloadEntry &e : list.entries())
        got << e.fileName + '|' + e.fileUrl + '|' + e.statusWord();
    QCOMPARE(got, rows);
}

// A file of random bytes named List: no row is made of it, the user hears
// once how many lines could not be read, and saving keeps them all.
void TestListFile::garbageIsCountedAndKept()
{
    QByteArray garbage;
    QRandomGenerator random(7);
    for (int i = 0; i < (1 << 20); ++i)
        garbage += char(random.bounded(256));
    QTemporaryDir dir;
    test::writeFile(dir.path(), "List", "a.flv\r\nhttp://h/a.flv\r\nPENDING\r\n" + garbage);
    DownloadList list;
    ListFile file(dir.path());
    file.load(list);
    QCOMPARE(list.count(), 1);
    const QString told = listNoticeText(file.loadNotice().value());
    QVERIFY2(told.contains("could not be read as rows"), qPrintable(told));
    list.append("b.flv", "http://h/b.flv", Status::Pending);
    QVERIFY(file.save(list));
    const QByteArray saved = test::readFile(dir.filePath("List"));
    QVERIFY(saved.startsWith("a.flv\r\nhttp://h/a.flv\r\nPENDING\r\nb.flv\r\nhttp://h/b.flv\r\nPENDING\r\n"));
    // Nothing was lost: read again, the same rows and the same lines aside.
    DownloadList again;
    ListFile reread(dir.path());
    reread.load(again);
    QCOMPARE(again.count(), 2);
    QCOMPARE(listNoticeText(reread.loadNotice().value()), told);
    QVERIFY(test::readFile(dir.filePath("List")).size() >= garbage.size());
}

void TestListFile::roundTripIsByteForByte()
{
    const QByteArray content("a.flv\r\nhttp://h/a.flv\r\nPENDING\r\n"
                             "b.wmv\r\nhttp://h/x/b.wmv\r\nCOMPLETED\r\n"
                             "c\r\nhttp://h/c\r\nweird word\r\n"
                             "d.flv\r\nhttp://h/d.flv\r\nDOWNLOADING\r\n");
    QTemporaryDir dir;
    test::writeFile(dir.path(), "List", content);
    ListFile file(dir.path());
    DownloadList list;
    file.load(list);
    QCOMPARE(list.count(), 4);
    QVERIFY(file.save(list));
    QCOMPARE(test::readFile(file.path()), content);

    DownloadList again;
    file.load(again);
    QCOMPARE(ListFile::serialize(again), content);
}

void TestListFile::saveReplacesLongerFile()
{
    QTemporaryDir dir;
    ListFile file(dir.path());
    test::writeFile(dir.path(), "List", QByteArray(5000, 'x'));
    DownloadList list;
    QVERIFY(file.save(list));
    QCOMPARE(QFile(file.path()).size(), 0);
    list.append("a", "http://h/a", Status::Pending);
    QVERIFY(file.save(list));
    QCOMPARE(test::readFile(file.path()), QByteArray("a\r\nhttp://h/a\r\nPENDING\r\n"));
}

void TestListFile::saveIntoMissingFolderFailsAndSaysWhy()
{
    QTemporaryDir dir;
    ListFile file(dir.filePath("gone/deeper"));
    DownloadList list;
    list.append("a", "http://h/a", Status::Pending);
    QString error;
    QVERIFY(!file.save(list, &error));
    QVERIFY(!error.isEmpty());
}

// No byte free: small saves fail at their flush, large ones at their write.
void TestListFile::fullDiskKeepsWhatIsOnDisk_data()
{
    QTest::addColumn<QByteArray>("old"); // empty: no list on disk
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("says");
    const QByteArray old("old.flv\r\nhttp://h/old.flv\r\nPENDING\r\n");
    QTest::newRow("one row") << old << 1 << "The list on disk is the one saved before.";
    QTest::newRow("2000 rows") << old << 2000 << "The list on disk is the one saved before.";
    QTest::newRow("no list yet") << QByteArray() << 1 << "No list is on disk: nothing was saved.";
}

void TestListFile::fullDiskKeepsWhatIsOnDisk()
{
    QFETCH(QByteArray, old);
    QFETCH(int, rows);
    QFETCH(QString, says);
    test::SmallDisk disk;
    if (!disk.ok())
        QSKIP(disk.whyNot);
    if (!old.isEmpty())
        test::writeFile(disk.path(), "List", old);
    disk.fill();
    ListFile file(disk.path());
    DownloadList list;
    for (int i = 0; i < rows; ++i)
        list.append("v.flv", QString("http://h/%1/v.flv").arg(i), Status::Pending);
    QString error;
    QVERIFY(!file.save(list, &error));
    QCOMPARE(QFile::exists(file.path()), !old.isEmpty());
    QCOMPARE(test::readFile(file.path()), old);
    QVERIFY(listNoticeText(file.saveFailureNotice(error)).endsWith(says));
    QVERIFY2(error.contains("space", Qt::CaseInsensitive), qPrintable(error)); // the system's reason
}

// Rows n up to end; URLs of one length, so telling them apart costs alike.
static QByteArray manyRows(int n, int end)
{
    QByteArray out;
    for (; n < end; ++n) {
        const QByteArray id = QByteArray::number(n).rightJustified(6, '0');
        out += "v" + id + ".flv\r\nhttp://files.example/v/" + id + ".flv\r\n"
            + (n % 2 ? "PENDING" : "COMPLETED") + "\r\n";
    }
    return out;
}

// Processor time of this thread, so that others' work does not count.
static qint64 loadTime(const QString &folder)
{
    timespec start{}, end{};
    DownloadList list;
    ListFile file(folder);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    file.load(list);
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    return (end.tv_sec - start.tv_sec) * 1000000000LL + end.tv_nsec - start.tv_nsec;
}

void TestListFile::loadTimeGrowsLinearly()
{
    QTemporaryDir small, large;
    test::writeFile(small.path(), "List", manyRows(0, 10000));
    test::writeFile(large.path(), "List", manyRows(0, 40000));
    qint64 smallBest = LLONG_MAX, largeBest = LLONG_MAX;
    for (int round = 0; round < 7; ++round) {
        smallBest = qMin(smallBest, loadTime(small.path()));
        largeBest = qMin(largeBest, loadTime(large.path()));
    }
    const double ratio = double(largeBest) / double(smallBest);
    qInfo("10,000 rows: %lld us, 40,000: %lld us", smallBest / 1000, largeBest / 1000);
    // About 3.3 when in proportion (32,767 rows read, the rest counted);
    // testing each row against every earlier one gives 10 or more.
    QVERIFY2(ratio < 8, qPrintable(QString::number(ratio)));
}

void TestListFile::rowsPastTheLimitStayInTheFile()
{
    const QByteArray tail = manyRows(DownloadList::MaxRows, 40000);
    QTemporaryDir dir;
    test::writeFile(dir.path(), "List", manyRows(0, DownloadList::MaxRows) + tail);
    test::RecordingMessages messages;
    ListStore store(dir.path());
    QObject::connect(&store, &ListStore::notice, &store, // the store shows no box: its owner does
                     [&messages](const ListNotice &n) { messages.show(listNoticeText(n), listNoticeTitle(n), listNoticeFlags(n)); });
    store.LoadList();
    QCOMPARE(store.list().count(), DownloadList::MaxRows);
    // "Clean", twice: the rows shown shrink, the others follow untouched.
    for (int round = 0; round < 2; ++round) {
        store.list().removeIf([](const DownloadEntry &e) { return e.status == Status::Completed; });
        store.SaveList();
    }
    QCOMPARE(test::readFile(dir.filePath("List")), ListFile::serialize(store.list()) + tail);
    QCOMPARE(messages.calls.size(), 1); // told once, at start
    QVERIFY2(messages.calls[0].text.contains(" 7233 more rows "), qPrintable(messages.calls[0].text));
    store.LoadList(); // the next start shows them
    QCOMPARE(store.list().count(), 16383 + 7233);
}

void TestListFile::unreadableListIsNeverWrittenOver()
{
    QTemporaryDir dir;
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                          | QFile::ExeOther);
    const QByteArray old("a.flv\r\nhttp://h/a.flv\r\nPENDING\r\n");
    const QString path = test::writeFile(dir.path(), "List", old);
    QFile::setPermissions(path, {});
    test::RecordingMessages messages;
    ListStore store(dir.path());
    QObject::connect(&store, &ListStore::notice, &store, // the store shows no box: its owner does
                     [&messages](const ListNotice &n) { messages.show(listNoticeText(n), listNoticeTitle(n), listNoticeFlags(n)); });
    // Root reads any file: the load runs as the user "nobody".
    const bool asNobody = geteuid() == 0 && seteuid(65534) == 0;
    store.LoadList();
    QVERIFY(!asNobody || seteuid(0) == 0);
    QVERIFY(store.Download("http://h/b.flv"));
    QCOMPARE(messages.calls.size(), 1); // told once, at start
    QVERIFY(messages.calls[0].text.contains("could not be read"));
    QFile::setPermissions(path, QFile::ReadOwner);
    QCOMPARE(test::readFile(path), old);
}

void TestListFile::progressLabel_data()
{
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("waiting");
    QTest::newRow("none") << QStringList{} << "0 of 0 files downloaded." << 0;
    QTest::newRow("one completed one failed one pending")
        << QStringList{"COMPLETED", "FAILED", "PENDING"} << "1 of 3 files downloaded." << 1;
    QTest::newRow("all finished") << QStringList{"COMPLETED", "FAILED"} << "1 of 2 files downloaded." << 0;
    QTest::newRow("downloading and unknown count as waiting")
        << QStringList{"DOWNLOADING", "completed", "CANCELED", "COMPLETED"}
        << "1 of 4 files downloaded." << 3;
}

void TestListFile::progressLabel()
{
    QFETCH(QStringList, statuses);
    QFETCH(QString, label);
    QFETCH(int, waiting);
    DownloadList list;
    for (int i = 0; i < statuses.size(); ++i)
        list.appendRead("f", QString("http://h/%1").arg(i), statuses[i]);
    const ListProgress p = listProgress(list);
    QCOMPARE(filesDownloadedText(p.completed, p.total), label);
    QCOMPARE(waitingCount(list), waiting);
}

void TestListFile::fileNameRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");          // here, on Linux
    QTest::addColumn<bool>("validOnWindows");
    QTest::newRow("plain") << "clip.flv" << true << true;
    QTest::newRow("double quote") << "a\"b.flv" << true << false;
    QTest::newRow("query") << "get?id=1" << true << false;
    QTest::newRow("backslash") << "a\\b.flv" << true << false;
    QTest::newRow("slash") << "a/b.flv" << false << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("dot") << "." << false << false;
    QTest::newRow("dot dot") << ".." << false << false;
    QTest::newRow("tab") << "a\tb" << false << false;
    QTest::newRow("final dot") << "clip." << true << false;
    QTest::newRow("final blank") << "clip " << true << false;
    QTest::newRow("device") << "CON" << true << false;
    QTest::newRow("device with extension, lower case") << "com1.flv" << true << false;
    QTest::newRow("device-like but longer") << "CONSOLE.flv" << true << true;
    QTest::newRow("leading dot is fine") << ".hidden.flv" << true << true;
    QTest::newRow("any language") << QString::fromUtf8("Море — 夏.mp4") << true << true;
}

void TestListFile::fileNameRule()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QFETCH(bool, validOnWindows);
#ifdef Q_OS_WIN
    valid = validOnWindows;
#else
    Q_UNUSED(validOnWindows);
#endif
    QCOMPARE(platform::isValidFileName(name), valid);
}

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_listfile.moc"
