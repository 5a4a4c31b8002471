// What a browser hands over with an address rides with its row: the
// cookies reach only their host, the Referer and User-Agent every request;
// they survive a restart in a file only the user can read, never in the
// List, and leave with the row.
#include "download/service/rowextras.h"
#include "download/entrystatus.h"
#include "queuerun.h"
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using namespace vidrona;
using namespace vidrona::desktop;
using namespace vidrona::download::service;
using testweb::Response;

namespace {
const QString Address = QStringLiteral("http://media.vidrona.test/v.mp4");
const QByteArray Page = "http://media.vidrona.test/watch.html";
constexpr qint64 Size = 300 << 10;

RowExtras extrasFor(const QByteArray &cookieDomain)
{
    RowExtras e;
    e.fields = {"Referer: " + Page, "User-Agent: TestBrowser/1.0"};
    if (!cookieDomain.isEmpty())
        e.cookies = cookieDomain + "\tFALSE\t/\tFALSE\t0\tsession\ts3cret\n";
    return e;
}

// The video only for a request with the login's cookie, from the page,
// by the browser.
void serveLoggedIn(testweb::Server &web)
{
    web.on("media.vidrona.test", "/v.mp4", [](const testweb::Request &req) {
        if (req.header("Cookie") != "session=s3cret" || req.header("Referer") != Page
            || req.header("User-Agent") != "TestBrowser/1.0")
            return Response::html("log in first", 403);
        return Response::ranged(req, Size, "\"one\"");
    });
}

QStringList keptFiles(const QString &folder)
{
    return QDir(QDir(folder).filePath("Cookies")).entryList(QDir::Files);
}
// The file's mode bits, as the system keeps them.
int modeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}
} // namespace

class TestRowExtras : public QObject
{
    Q_OBJECT
private slots:
    void fetchedWithThem_data();
    void fetchedWithThem();
    void leaveWithTheRow_data();
    void leaveWithTheRow();
    void unsafeFieldsStayOut_data();
    void unsafeFieldsStayOut();
    void subtitlesKept_data();
    void subtitlesKept();
};

void TestRowExtras::fetchedWithThem_data()
{
    QTest::addColumn<QByteArray>("cookieDomain"); // empty: no extras at all
    QTest::addColumn<bool>("restart");            // a new service reads them back
    QTest::addColumn<QString>("status");
    QTest::newRow("the browser's cookie") << QByteArray("media.vidrona.test") << false << download::status::Completed;
    QTest::newRow("after a restart") << QByteArray("media.vidrona.test") << true << download::status::Completed;
    QTest::newRow("a cookie of another host") << QByteArray("other.vidrona.test") << false << download::status::Failed;
    QTest::newRow("pasted, nothing handed over") << QByteArray() << false << download::status::Failed;
}

void TestRowExtras::fetchedWithThem()
{
    QFETCH(QByteArray, cookieDomain);
    QFETCH(bool, restart);
    QFETCH(QString, status);
    test::LocalWeb web;
    QVERIFY(web.ok());
    serveLoggedIn(web.server());
    QTemporaryDir dir;
    {
        test::QueueRun first(dir.path());
        QVERIFY(cookieDomain.isEmpty() ? first.queue.add(Address) : first.queue.add(Address, {}, extrasFor(cookieDomain)));
        if (!restart) {
            QVERIFY(first.run());
            QCOMPARE(first.status(), status);
        }
    }
    if (restart) {
        test::QueueRun second(dir.path());
        QVERIFY(second.run());
        QCOMPARE(second.status(), status);
    }
    QCOMPARE(test::readFile(dir.filePath("v.mp4")) == testweb::Server::patternBytes(0, Size),
             status == download::status::Completed);
    QVERIFY(!test::readFile(dir.filePath("List")).contains("s3cret"));
}

void TestRowExtras::leaveWithTheRow_data()
{
    QTest::addColumn<bool>("clean"); // else Remove
    QTest::newRow("Remove") << false;
    QTest::newRow("Clean") << true;
}

void TestRowExtras::leaveWithTheRow()
{
    QFETCH(bool, clean);
    test::LocalWeb web;
    QVERIFY(web.ok());
    serveLoggedIn(web.server());
    QTemporaryDir dir;
    test::QueueRun run(dir.path());
    QVERIFY(run.queue.add(Address, {}, extrasFor("media.vidrona.test")));
    QCOMPARE(keptFiles(dir.path()).size(), 1);
    const QFileInfo kept(QDir(dir.filePath("Cookies")).filePath(keptFiles(dir.path()).at(0)));
    QCOMPARE(modeOf(kept.filePath()), 0600);
    QCOMPARE(modeOf(dir.filePath("Cookies")), 0700);
    if (clean) {
        QVERIFY(run.run());
        QCOMPARE(run.status(), download::status::Completed);
        run.queue.clean();
    } else {
        run.queue.remove(run.list.at(0).id);
    }
    QCOMPARE(run.list.count(), 0);
    QCOMPARE(keptFiles(dir.path()), QStringList());
}

void TestRowExtras::unsafeFieldsStayOut_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<bool>("kept");
    QTest::newRow("a Referer") << QByteArray("Referer: http://a.example/") << true;
    QTest::newRow("a line break") << QByteArray("Referer: x\r\nCookie: y=z") << false;
    QTest::newRow("no name") << QByteArray(": value") << false;
    QTest::newRow("a space in the name") << QByteArray("Bad Name: v") << false;
    QTest::newRow("too long") << "Referer: " + QByteArray(RowExtrasStore::MaxFieldBytes, 'a') << false;
}

// Read back from the row's file, only safe head lines come out.
void TestRowExtras::unsafeFieldsStayOut()
{
    QFETCH(QByteArray, field);
    QFETCH(bool, kept);
    RowExtras extras;
    extras.fields = {field};
    extras.cookies = "a.example\tFALSE\t/\tFALSE\t0\tn\tv\n";
    const RowExtras back = RowExtrasStore::extrasFrom(RowExtrasStore::fileOf(extras));
    QCOMPARE(back.fields, kept ? QList<QByteArray>{field} : QList<QByteArray>{});
    QCOMPARE(back.cookies, extras.cookies);
}

// The subtitle languages chosen for a row survive a restart beside its
// other extras; only language tags come back, and a row with nothing but
// them has no cookie file for libcurl.
void TestRowExtras::subtitlesKept_data()
{
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QStringList>("back");
    QTest::addColumn<bool>("withCookies");
    QTest::newRow("one") << QStringList{"en"} << QStringList{"en"} << false;
    QTest::newRow("two, with cookies") << QStringList{"en", "pt-BR"} << QStringList{"en", "pt-BR"} << true;
    QTest::newRow("no tags") << QStringList{"en,de", "x\ny", "a b", ""} << QStringList{} << false;
    QTest::newRow("a tag among others") << QStringList{"de", "../x"} << QStringList{"de"} << true;
}

void TestRowExtras::subtitlesKept()
{
    QFETCH(QStringList, languages);
    QFETCH(QStringList, back);
    QFETCH(bool, withCookies);
    QTemporaryDir dir;
    RowExtras extras = withCookies ? extrasFor("media.vidrona.test") : RowExtras{};
    extras.subtitles = languages;
    QVERIFY(RowExtrasStore(dir.path()).keep(Address, extras));
    RowExtrasStore again(dir.path()); // a restart: read from the row's file
    const RowExtras read = again.extrasOf(Address);
    QCOMPARE(read.subtitles, back);
    QCOMPARE(read.cookies, extras.cookies);
    QCOMPARE(read.fields, extras.fields);
    QCOMPARE(again.cookieFileOf(Address).isEmpty(), !withCookies);
}

QTEST_MAIN(TestRowExtras)
#include "tst_rowextras.moc"
