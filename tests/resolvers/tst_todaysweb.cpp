// "Add Video" for addresses of today's web, against the simulated web over
// real loopback sockets: the video a page names, or the file itself, as a
// row that Start Download fetches; the names such files get; addresses as
// people paste them.
#include "addvideotest.h"
#include "download/filenames.h"
#include "sites/samples.h"
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace vidrona;
using testweb::Request;
using testweb::Response;

class TestTodaysWeb : public test::AddVideoTest
{
    Q_OBJECT
private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }
    void todaysWebDownloads_data();
    void todaysWebDownloads();
    void addressesInTurn();
    void addressesAsPasted_data();
    void addressesAsPasted();
    void todaysWebNames_data();
    void todaysWebNames();
};

void TestTodaysWeb::todaysWebDownloads_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("fileUrl");
    QTest::addColumn<QString>("fileName");
    for (const testweb::TodayVideo &v : testweb::todayVideos())
        QTest::newRow(qPrintable(v.shape)) << v.address << v.file << v.name;
}

void TestTodaysWeb::todaysWebDownloads()
{
    QFETCH(QString, address);
    QFETCH(QString, fileUrl);
    QFETCH(QString, fileName);
    paste(address, "low");
    QPushButton *add = test::ctl<QPushButton>(*m_w, "cmdAddVideo");
    add->click();
    QVERIFY(addVideo().resolving()); // the press has returned: the window goes on meanwhile
    add->click();                    // ignored while the address is worked out
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000);
    QCOMPARE(m_messages->calls.size(), 0);
    const DownloadList &list = test::storeOf(*m_w).list();
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.at(0).fileUrl, fileUrl);
    QCOMPARE(list.at(0).fileName, fileName);
    QCOMPARE(list.at(0).statusWord(), QStringLiteral("PENDING"));
    QVERIFY(test::readFile(QDir(m_dir->path()).filePath("List")).contains(fileUrl.toLatin1()));
    downloadFirstRow(fileUrl, fileName);

    add->click(); // the same video again
    QTRY_COMPARE_WITH_TIMEOUT(m_messages->calls.size(), 1, 20000);
    QCOMPARE(m_messages->calls[0].text, ListStore::addErrorText());
    QCOMPARE(list.count(), 1);
}

// The names files of today's web get: in any language, never hidden,
// never one another's, and short enough to be fetched and resumed.
void TestTodaysWeb::todaysWebNames_data()
{
    QTest::addColumn<QByteArray>("disposition"); // empty: none
    QTest::addColumn<QString>("path");            // on dl.names.test
    QTest::addColumn<QString>("name");            // the row's name
    const QByteArray longName = QByteArray(300, 'a') + ".mp4";
    QTest::newRow("UTF-8 filename* first") << QByteArray("attachment; filename=\"x.mp4\"; filename*=UTF-8''%D0%9C%D0%BE%D1%80%D0%B5.mp4")
                                           << "/v/1" << QString::fromUtf8("Море.mp4");
    QTest::newRow("a second Море.mp4") << QByteArray("attachment; filename*=UTF-8''%D0%9C%D0%BE%D1%80%D0%B5.mp4")
                                       << "/v/2" << QString::fromUtf8("Море (2).mp4");
    QTest::newRow("a file already in the folder") << QByteArray() << "/v/clip.mp4" << "clip (2).mp4";
    QTest::newRow("disposition ..") << QByteArray("attachment; filename=\"..\"") << "/v/3" << "video.mp4";
    QTest::newRow("address ending in /") << QByteArray() << "/v/4/" << "video.mp4";
    QTest::newRow("named after the redirect") << QByteArray() << "/start.mp4" << "final-name.mp4";
    QTest::newRow("CON.mp4 is a name like any other") << QByteArray("attachment; filename=CON.mp4") << "/v/5"
#ifdef Q_OS_WIN
                                                      << "_CON.mp4";
#else
                                                      << "CON.mp4";
#endif
    QTest::newRow("300 characters, shortened") << "attachment; filename=" + longName << "/v/6"
                                               << QString(MaxNameBytes - 4, 'a') + ".mp4";
}

void TestTodaysWeb::todaysWebNames()
{
    QFETCH(QByteArray, disposition);
    QFETCH(QString, path);
    QFETCH(QString, name);
    test::writeFile(m_dir->path(), "clip.mp4", "older");
    m_web->server().onHost("dl.names.test", [](const Request &r) {
        return r.path == "/start.mp4" ? Response::redirect("/final-name.mp4")
                                      : Response::bytes(QByteArray(5000, 'v'), "video/mp4");
    });
    // Two videos of one name: the first is listed before.
    if (name.contains(" (2)") && !name.startsWith("clip")) {
        m_web->server().on("dl.names.test", "/v/0", [disposition](const Request &) {
            Response file = Response::bytes("first", "video/mp4");
            file.headers.append({"Content-Disposition", disposition});
            return file;
        });
        paste("http://dl.names.test/v/0", "low");
        test::ctl<QPushButton>(*m_w, "cmdAddVideo")->click();
        QTRY_COMPARE_WITH_TIMEOUT(test::storeOf(*m_w).list().count(), 1, 20000);
    }
    if (!disposition.isEmpty())
        m_web->server().on("dl.names.test", path.toLatin1(), [disposition](const Request &) {
            Response file = Response::bytes(QByteArray(5000, 'v'), "video/mp4");
            file.headers.append({"Content-Disposition", disposition});
            return file;
        });
    const int before = test::storeOf(*m_w).list().count();
    paste("http://dl.names.test" + path, "low");
    test::ctl<QPushButton>(*m_w, "cmdAddVideo")->click();
    QTRY_COMPARE_WITH_TIMEOUT(test::storeOf(*m_w).list().count(), before + 1, 20000);
    QCOMPARE(m_messages->calls.size(), 0);
    const DownloadEntry row = test::storeOf(*m_w).list().at(before);
    QCOMPARE(row.fileName, name);
    QVERIFY(row.fileName.toUtf8().size() <= MaxNameBytes);
    // The List keeps the name as UTF-8, and the file comes under it.
    QVERIFY(test::readFile(QDir(m_dir->path()).filePath("List")).contains(name.toUtf8()));
    test::ctl<QPushButton>(*m_w, "cmdDownload")->click();
    QTRY_COMPARE_WITH_TIMEOUT(test::storeOf(*m_w).list().at(before).status, Status::Completed, 20000);
    QCOMPARE(QFileInfo(QDir(m_dir->path()).filePath(name)).size(), qint64(5000));
    QCOMPARE(test::readFile(QDir(m_dir->path()).filePath("clip.mp4")), QByteArray("older"));
}

// An address as people paste it: blanks around it, a line break inside,
// the scheme in capitals, or no scheme at all (https first, then http).
void TestTodaysWeb::addressesAsPasted_data()
{
    QTest::addColumn<QString>("pasted");
    const testweb::TodayVideo &v = testweb::todayVideos().first();
    const QString rest = v.address.mid(v.address.indexOf("://") + 3);
    QTest::newRow("blanks around") << "  \t" + v.address + " \n";
    QTest::newRow("a line break inside") << v.address.left(12) + "\r\n" + v.address.mid(12);
    QTest::newRow("scheme in capitals") << "HTTP://" + rest;
    QTest::newRow("no scheme") << rest;
}

void TestTodaysWeb::addressesAsPasted()
{
    QFETCH(QString, pasted);
    const testweb::TodayVideo &v = testweb::todayVideos().first();
    test::ctl<QLineEdit>(*m_w, "txtUrl")->setText(pasted);
    test::ctl<QPushButton>(*m_w, "cmdAddVideo")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!addVideo().resolving(), 20000);
    QCOMPARE(m_messages->calls.size(), 0);
    QCOMPARE(test::storeOf(*m_w).list().count(), 1);
    QCOMPARE(test::storeOf(*m_w).list().at(0).fileUrl, v.file);
    for (const Request &r : m_web->server().requests())
        QVERIFY2(!r.target.contains("%0A") && !r.target.contains("%0D"), r.target.constData());
}

void TestTodaysWeb::addressesInTurn()
{
    const QList<testweb::TodayVideo> &today = testweb::todayVideos();
    addVideos(*m_w, {today[0].address, today[1].address, testweb::sampleVideo("Videkta").page});
    const DownloadList &list = test::storeOf(*m_w).list();
    QTRY_COMPARE_WITH_TIMEOUT(list.count(), 3, 20000);
    QCOMPARE(list.at(0).fileUrl, today[0].file);
    QCOMPARE(list.at(1).fileUrl, today[1].file);
    QCOMPARE(list.at(2).fileUrl, testweb::sampleVideo("Videkta").file);
    QCOMPARE(m_messages->calls.size(), 0);
}

QTEST_MAIN(TestTodaysWeb)
#include "tst_todaysweb.moc"
