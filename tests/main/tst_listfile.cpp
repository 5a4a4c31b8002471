#include "main/core/listfile.h"
#include "main/core/platform.h"
#include "main/core/progress.h"
#include "support/smalldisk.h"
#include "support/testenv.h"
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <ctime>
#include <unistd.h>

using namespace vidrona;

class TestListFile : public QObject
{
    Q_OBJECT
private slots:
    void missingFileIsCreatedEmpty();
    void loadShapes_data();
    void loadShapes();
    void roundTripIsByteForByte();
    void saveReplacesLongerFile();
    void saveIntoMissingFolderFailsAndSaysWhy();
    void fullDiskKeepsWhatIsOnDisk_data();
    void fullDiskKeepsWhatIsOnDisk();
    void loadTimeGrowsLinearly();
    void rowsPastTheLimitStayInTheFile();
    void unreadableListIsNeverWrittenOver_data();
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
    list.append("stale.flv", "http://h/stale.flv", "PENDING");
    file.load(list);
    QCOMPARE(list.count(), 0);
    QVERIFY(QFile::exists(dir.filePath("List")));
    QCOMPARE(QFile(dir.filePath("List")).size(), 0);
    QCOMPARE(listProgress(list).label, QString("0 of 0 files downloaded."));
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
    QTest::newRow("same URL twice: first wins with its status")
        << QByteArray("a.flv\r\nhttp://h/a.flv\r\nCOMPLETED\r\n"
                      "other\r\nhttp://h/a.flv\r\nPENDING\r\n"
                      "c.flv\r\nhttp://h/c.flv\r\nCANCELED\r\n")
        << QStringList{"a.flv|http://h/a.flv|COMPLETED", "c.flv|http://h/c.flv|CANCELED"};
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
        got << e.fileName + '|' + e.fileUrl + '|' + e.status;
    QCOMPARE(got, rows);
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
    list.append("a", "http://h/a", "PENDING");
    QVERIFY(file.save(list));
    QCOMPARE(test::readFile(file.path()), QByteArray("a\r\nhttp://h/a\r\nPENDING\r\n"));
}

void TestListFile::saveIntoMissingFolderFailsAndSaysWhy()
{
    QTemporaryDir dir;
    ListFile file(dir.filePath("gone/deeper"));
    DownloadList list;
    list.append("a", "http://h/a", "PENDING");
    QString error;
    QVERIFY(!file.save(list, &error));
    QVERIFY(!error.isEmpty());
}

// A disk with not one byte free: small saves fail only at their flush,
// large ones at their write. What was on disk stays, and the notice says
// what that is.
void TestListFile::fullDiskKeepsWhatIsOnDisk_data()
{
    QTest::addColumn<bool>("listOnDisk");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("says");
    QTest::newRow("one row, old list there") << true << 1 << "the one saved before.";
    QTest::newRow("2000 rows, old list there") << true << 2000 << "the one saved before.";
    QTest::newRow("one row, no list yet") << false << 1 << "No list is on disk: nothing was saved.";
}

void TestListFile::fullDiskKeepsWhatIsOnDisk()
{
    QFETCH(bool, listOnDisk);
    QFETCH(int, rows);
    QFETCH(QString, says);
    test::SmallDisk disk(64);
    if (!disk.ok())
        QSKIP(qPrintable(disk.whyNot()));
    const QByteArray old("old.flv\r\nhttp://h/old.flv\r\nPENDING\r\n");
    if (listOnDisk)
        test::writeFile(disk.path(), "List", old);
    QVERIFY(disk.fill());
    ListFile file(disk.path());
    DownloadList list;
    for (int i = 0; i < rows; ++i)
        list.append(QString("v%1.flv").arg(i), QString("http://h/v%1.flv").arg(i), "PENDING");
    QString error;
    QVERIFY(!file.save(list, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(test::readFile(file.path()), listOnDisk ? old : QByteArray());
    QCOMPARE(QFile::exists(file.path()), listOnDisk);
    const QString notice = file.saveFailureNotice(error);
    QVERIFY2(notice.endsWith(says), qPrintable(notice));
}

// Groups of the same length, so a list of n rows is n times one row.
static QByteArray rowGroup(int i, const char *status)
{
    const QByteArray n = QByteArray::number(i).rightJustified(6, '0');
    return "v" + n + ".flv\r\nhttp://files.example/v/" + n + ".flv\r\n" + status + "\r\n";
}

static QByteArray manyRows(int first, int end)
{
    QByteArray out;
    for (int i = first; i < end; ++i)
        out += rowGroup(i, i % 2 ? "PENDING" : "COMPLETED");
    return out;
}

// The processor time of this thread: others' work on the machine does not count.
static qint64 threadTimeNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

static qint64 loadTime(const QString &folder)
{
    ListFile file(folder);
    DownloadList list;
    const qint64 start = threadTimeNs();
    file.load(list);
    return threadTimeNs() - start;
}

void TestListFile::loadTimeGrowsLinearly()
{
    QTemporaryDir small, large;
    test::writeFile(small.path(), "List", manyRows(0, 10000));
    test::writeFile(large.path(), "List", manyRows(0, 40000));
    // Turn about, best of seven.
    qint64 smallBest = std::numeric_limits<qint64>::max(), largeBest = smallBest;
    for (int round = 0; round < 7; ++round) {
        smallBest = qMin(smallBest, loadTime(small.path()));
        largeBest = qMin(largeBest, loadTime(large.path()));
    }
    const double ratio = double(largeBest) / double(smallBest);
    qInfo("10,000 rows: %lld us, 40,000 rows: %lld us, ratio %.1f", smallBest / 1000,
          largeBest / 1000, ratio);
    // In proportion to the size: about 3.3 (32,767 rows read, the rest only
    // counted). Testing each row against every earlier one gives 10 or more.
    QVERIFY(ratio < 8);
}

void TestListFile::rowsPastTheLimitStayInTheFile()
{
    const int shown = DownloadList::MaxRows;
    const QByteArray tail = manyRows(shown, 40000);
    const QByteArray content = manyRows(0, shown) + tail;
    QTemporaryDir dir;
    test::writeFile(dir.path(), "List", content);
    ListFile file(dir.path());
    DownloadList list;
    file.load(list);
    QCOMPARE(list.count(), shown);
    QVERIFY2(file.loadNotice().contains(" 7233 more rows "), qPrintable(file.loadNotice()));
    QVERIFY(file.save(list));
    QCOMPARE(test::readFile(file.path()), content);

    // "Clean": the shown rows shrink, the others follow them untouched.
    list.removeIf([](const DownloadEntry &e) { return e.status == "COMPLETED"; });
    QVERIFY(file.save(list));
    QCOMPARE(test::readFile(file.path()), ListFile::serialize(list) + tail);

    // At the next start they are shown.
    ListFile again(dir.path());
    DownloadList next;
    again.load(next);
    QCOMPARE(next.count(), list.count() + 40000 - shown);
    QCOMPARE(next.at(next.count() - 1).fileUrl, QString("http://files.example/v/039999.flv"));
    QVERIFY(again.loadNotice().isEmpty());
}

// Root reads any file: the load then runs as the "nobody" user.
class UnprivilegedScope
{
public:
    explicit UnprivilegedScope(bool wanted) : m_active(wanted && geteuid() == 0)
    {
        if (m_active && seteuid(65534) != 0)
            m_active = false;
    }
    ~UnprivilegedScope()
    {
        if (m_active && seteuid(0) != 0)
            qFatal("could not return to root");
    }
private:
    bool m_active;
};

void TestListFile::unreadableListIsNeverWrittenOver_data()
{
    QTest::addColumn<bool>("folderInItsPlace");
    QTest::newRow("file without read permission") << false;
    QTest::newRow("folder in its place") << true;
}

void TestListFile::unreadableListIsNeverWrittenOver()
{
    QFETCH(bool, folderInItsPlace);
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner
                                  | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
    const QString path = dir.filePath("List");
    const QByteArray old("a.flv\r\nhttp://h/a.flv\r\nPENDING\r\n");
    if (folderInItsPlace) {
        QVERIFY(QDir().mkdir(path));
    } else {
        test::writeFile(dir.path(), "List", old);
        QVERIFY(QFile::setPermissions(path, {}));
    }
    ListFile file(dir.path());
    DownloadList list;
    {
        UnprivilegedScope scope(!folderInItsPlace);
        file.load(list);
    }
    QCOMPARE(list.count(), 0);
    QVERIFY2(file.loadNotice().contains("could not be read"), qPrintable(file.loadNotice()));

    list.append("b.flv", "http://h/b.flv", "PENDING");
    QString error;
    QVERIFY(!file.save(list, &error));
    QVERIFY(file.saveFailureNotice(error).endsWith("left as it was found at start."));
    if (folderInItsPlace)
        QVERIFY(QFileInfo(path).isDir());
    else
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
        list.append("f", QString("http://h/%1").arg(i), statuses[i]);
    QCOMPARE(listProgress(list).label, label);
    QCOMPARE(waitingCount(list), waiting);
}

void TestListFile::fileNameRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "clip.flv" << true;
    QTest::newRow("double quote kept out") << "a\"b.flv" << false;
    QTest::newRow("query") << "get?id=1" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("tab") << "a\tb" << false;
    QTest::newRow("final dot") << "clip." << false;
    QTest::newRow("final blank") << "clip " << false;
    QTest::newRow("device") << "CON" << false;
    QTest::newRow("device with extension, lower case") << "com1.flv" << false;
    QTest::newRow("device-like but longer") << "CONSOLE.flv" << true;
    QTest::newRow("leading dot is fine") << ".hidden.flv" << true;
}

void TestListFile::fileNameRule()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(platform::isValidFileName(name), valid);
}

QTEST_GUILESS_MAIN(TestListFile)
#include "tst_listfile.moc"
