// Adding a row, "Remove" and "Clean".
#include "queuefixture.h"
#include <QLabel>

using namespace vidrona;
using namespace vidrona::download;
using test::QueueFixture;

namespace {
const QString AddError = QStringLiteral(
    "Please enter a valid file location.\r\n\r\n"
    "NOTE : make sure you only enter the file once, it cannot be added twice or more");

QStringList statusRows(const QStringList &statuses)
{
    QStringList rows;
    for (int i = 0; i < statuses.size(); ++i)
        rows << QString("v%1.flv:%2").arg(i).arg(statuses[i]);
    return rows;
}
} // namespace

class TestRows : public QObject
{
    Q_OBJECT
private slots:
    void download_data();
    void download();
    void sameVideoTwice();
    void fullList();
    void remove_data();
    void remove();
    void clean_data();
    void clean();
};

void TestRows::download_data()
{
    QTest::addColumn<QString>("fileUrl");
    QTest::addColumn<QString>("name"); // empty: refused
    QTest::newRow("video.flv") << "http://h.test/a/b/video.flv" << "video.flv";
    QTest::newRow("last slash not looked at") << "http://h.test/media/folder/" << "folder/";
    QTest::newRow("two slashes at the end") << "http://h.test//" << "/";
    QTest::newRow("no slash") << "video.flv" << "";
    QTest::newRow("only a final slash") << "video.flv/" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("one slash") << "/" << "";
    QTest::newRow("CR LF inside") << "http://h.test/a.flv\r\nCOMPLETED" << "";
    QTest::newRow("LF at the end") << "http://h.test/a.flv\n" << "";
    QTest::newRow("tab") << "http://h.test/a\t.flv" << "";
}

void TestRows::download()
{
    QFETCH(QString, fileUrl);
    QFETCH(QString, name);
    QueueFixture f;
    f.load({});
    f.store->Download(fileUrl);
    if (name.isEmpty()) {
        QCOMPARE(f.list().count(), 0);
        QCOMPARE(f.messages.calls.size(), 1);
        QCOMPARE(f.messages.calls[0].text, AddError);
        QCOMPARE(f.messages.calls[0].title, QString("Error"));
        QCOMPARE(f.messages.calls[0].flags, 16);
        QCOMPARE(f.listFile(), QByteArray());
    } else {
        QVERIFY(f.messages.calls.isEmpty());
        QCOMPARE(f.names(), QStringList{name});
        QCOMPARE(f.list().at(0).fileUrl, fileUrl);
        QCOMPARE(f.listFile(), (name + "\r\n" + fileUrl + "\r\nPENDING\r\n").toLatin1());
        QCOMPARE(f.ui<QLabel>("filesLabel")->text(), QString("0 of 1 files downloaded."));
    }
}

void TestRows::sameVideoTwice()
{
    QueueFixture f;
    f.load({});
    f.store->Download("http://h.test/v/twice.flv");
    f.store->Download("http://h.test/v/twice.flv");
    QCOMPARE(f.list().count(), 1);
    QCOMPARE(f.messages.calls.size(), 1);
    QCOMPARE(f.messages.calls[0].text, AddError);
    QCOMPARE(f.listFile().count("twice.flv"), 2); // name and URL of one row
}

void TestRows::fullList()
{
    QueueFixture f;
    f.load({});
    for (int i = 0; i < DownloadList::MaxRows; ++i)
        f.list().append("f.flv", QString("http://h.test/%1/f.flv").arg(i), Status::Completed);
    f.store->Download("http://h.test/one/more.flv");
    QCOMPARE(f.list().count(), 32767);
    QCOMPARE(f.messages.calls.size(), 1);
    QCOMPARE(f.messages.calls[0].title, QString("Error"));
    QCOMPARE(f.listFile(), QByteArray()); // nothing saved
}

void TestRows::remove_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("second of three") << 1 << QStringList{"v0.flv", "v2.flv"};
    QTest::newRow("first of three") << 0 << QStringList{"v1.flv", "v2.flv"};
    QTest::newRow("no selection") << -1 << QStringList{"v0.flv", "v1.flv", "v2.flv"};
}

void TestRows::remove()
{
    QFETCH(int, selected);
    QFETCH(QStringList, left);
    QueueFixture f;
    f.load(statusRows({"PENDING", "PENDING", "COMPLETED"}));
    test::writeFile(f.dir.path(), "v2.flv", "video");
    QFile::remove(f.dir.filePath("List"));
    if (selected >= 0)
        f.select(selected);
    f.ui<QPushButton>("removeButton")->click();
    QCOMPARE(f.names(), left);
    QByteArray saved;
    for (const DownloadEntry &e : f.list().entries())
        saved += (e.fileName + "\r\n" + e.fileUrl + "\r\n" + e.statusWord() + "\r\n").toLatin1();
    QCOMPARE(f.listFile(), saved);
    QCOMPARE(f.file("v2.flv"), QByteArray("video"));

    // A removed PENDING row is out of the queue.
    QVERIFY(f.press());
    QStringList pendingLeft = left;
    pendingLeft.removeAll("v2.flv");
    QCOMPARE(f.requested(), pendingLeft);
    QVERIFY(f.messages.calls.isEmpty());
}

void TestRows::clean_data()
{
    QTest::addColumn<QStringList>("statuses");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("the five words")
        << QStringList{"PENDING", "COMPLETED", "FAILED", "CANCELED", "DOWNLOADING"}
        << QStringList{"v0.flv", "v3.flv", "v4.flv"};
    QStringList twenty;
    for (int i = 0; i < 20; ++i)
        twenty << "COMPLETED";
    QTest::newRow("twenty completed") << twenty << QStringList{};
    QTest::newRow("nothing finished") << QStringList{"PENDING", "CANCELED"}
                                      << QStringList{"v0.flv", "v1.flv"};
    QTest::newRow("words in other cases stay") << QStringList{"completed", "Failed", "FAILED"}
                                               << QStringList{"v0.flv", "v1.flv"};
}

void TestRows::clean()
{
    QFETCH(QStringList, statuses);
    QFETCH(QStringList, left);
    QueueFixture f;
    f.load(statusRows(statuses));
    test::writeFile(f.dir.path(), "v1.flv", "video");
    QFile::remove(f.dir.filePath("List"));
    f.ui<QPushButton>("cleanButton")->click();
    QCOMPARE(f.names(), left);
    QStringList rows;
    for (const DownloadEntry &e : f.list().entries())
        rows << e.fileName + ":" + e.statusWord();
    QCOMPARE(f.listFile(), test::listOf(rows));
    QVERIFY(QFile::exists(f.dir.filePath("List")));
    QCOMPARE(f.file("v1.flv"), QByteArray("video"));
    QVERIFY(f.messages.calls.isEmpty());
}

QTEST_MAIN(TestRows)
#include "tst_rows.moc"
