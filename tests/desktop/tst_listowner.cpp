// One window per list, with real program copies in real processes: a
// second start hands its address to the first and ends; a socket left by
// a killed copy is no obstacle; a copy with a list of its own runs beside.
#include "programpaths.h"
#include "desktop/listowner.h"
#include "resolve/resolvers.h"
#include "support/testenv.h"
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace vidrona;
using namespace vidrona::desktop;

namespace {
QString address(int id)
{
    return QStringLiteral("http://www.videkta.ge/?video_id=%1").arg(id);
}
// The row's file address: Videkta's comes from the page address alone.
QString fileOf(int id)
{
    return resolve::Videkta(address(id)).value_or(QString());
}
} // namespace

class TestListOwner : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secondStartHandsOver();
    void killedOwnerLeavesNothingInTheWay();
    void anotherListRunsBeside();
    void stuckOwnerOfTheSameUserIsSaid();
    void hostileMessagesAreBounded_data();
    void hostileMessagesAreBounded();
    void socketFolderIsTheUsersOwn_data();
    void socketFolderIsTheUsersOwn();

private:
    QString copyProgram(const QString &name);
    std::unique_ptr<QProcess> start(const QString &program, const QStringList &args);
    bool waitForOwner(const QString &folder);
    bool listHolds(const QString &folder, const QString &text, int ms = 20000);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<test::LocalWeb> m_web;
    QList<std::shared_ptr<QProcess>> m_running;
};

void TestListOwner::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(m_dir->path()).mkdir("run"));
    QFile::setPermissions(m_dir->filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The socket's folder, for the program copies and for this test alike.
    qputenv("XDG_RUNTIME_DIR", m_dir->filePath("run").toLocal8Bit());
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
}

void TestListOwner::cleanup()
{
    for (const auto &p : std::as_const(m_running)) {
        p->kill();
        p->waitForFinished(5000);
    }
    m_running.clear();
    m_web.reset();
    m_dir.reset();
}

QString TestListOwner::copyProgram(const QString &name)
{
    const QString folder = m_dir->filePath(name);
    QDir().mkpath(folder);
    const QString program = QDir(folder).filePath("vidrona");
    if (!QFile::copy(QStringLiteral(VIDRONA_PROGRAM), program))
        return QString();
    return program;
}

std::unique_ptr<QProcess> TestListOwner::start(const QString &program, const QStringList &args)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("http_proxy", QStringLiteral("http://127.0.0.1:%1").arg(m_web->server().port()));
    p->setProcessEnvironment(env);
    p->start(program, args);
    return p;
}

bool TestListOwner::waitForOwner(const QString &folder)
{
    const QString socket = ListOwner::socketPathFor(folder);
    return QTest::qWaitFor(
        [&] { return QFile::exists(socket) && ListOwner::handOver(folder, {}) == ListOwner::Handed::Taken; }, 20000);
}

bool TestListOwner::listHolds(const QString &folder, const QString &text, int ms)
{
    return QTest::qWaitFor([&] { return test::readFile(QDir(folder).filePath("List")).contains(text.toUtf8()); },
                           ms);
}

void TestListOwner::secondStartHandsOver()
{
    const QString program = copyProgram("copy");
    QVERIFY(!program.isEmpty());
    const QString folder = QFileInfo(program).absolutePath();
    std::shared_ptr<QProcess> first = start(program, {address(1)});
    m_running << first;
    QVERIFY(listHolds(folder, fileOf(1)));
    QVERIFY(waitForOwner(folder));
    const QByteArray before = test::readFile(QDir(folder).filePath("List"));
    // Timing-sensitive: the hand-over itself, bounded at a second.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(ListOwner::handOver(folder, {}) == ListOwner::Handed::Taken);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));

    auto second = start(program, {address(147629)});
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QVERIFY(listHolds(folder, fileOf(147629)));
    const QByteArray after = test::readFile(QDir(folder).filePath("List"));
    QVERIFY(after.startsWith(before)); // the first's row stays first
    QCOMPARE(first->state(), QProcess::Running);
}

void TestListOwner::killedOwnerLeavesNothingInTheWay()
{
    const QString program = copyProgram("copy");
    const QString folder = QFileInfo(program).absolutePath();
    auto first = start(program, {});
    QVERIFY(waitForOwner(folder));
    first->kill(); // SIGKILL: the socket stays behind
    QVERIFY(first->waitForFinished(5000));
    QVERIFY(QFile::exists(ListOwner::socketPathFor(folder)));

    std::shared_ptr<QProcess> next = start(program, {address(2)});
    m_running << next;
    QVERIFY(waitForOwner(folder));
    QVERIFY(listHolds(folder, fileOf(2)));
    auto later = start(program, {address(147629)});
    QVERIFY(later->waitForFinished(20000));
    QCOMPARE(later->exitCode(), 0);
    QVERIFY(listHolds(folder, fileOf(147629)));
    QCOMPARE(next->state(), QProcess::Running);
}

void TestListOwner::anotherListRunsBeside()
{
    const QString a = copyProgram("a"), b = copyProgram("b");
    std::shared_ptr<QProcess> first = start(a, {}), second = start(b, {});
    m_running << first << second;
    QVERIFY(waitForOwner(QFileInfo(a).absolutePath()));
    QVERIFY(waitForOwner(QFileInfo(b).absolutePath()));
    QCOMPARE(first->state(), QProcess::Running);
    QCOMPARE(second->state(), QProcess::Running);
}

// A window of the same user holds the socket but never takes the
// addresses: the start says so and opens no second window on the list.
void TestListOwner::stuckOwnerOfTheSameUserIsSaid()
{
    const QString program = copyProgram("copy");
    const QString folder = QFileInfo(program).absolutePath();
    QProcess stuck;
    stuck.start(QStringLiteral(SOCKET_SQUATTER), {ListOwner::socketPathFor(folder), "silent", m_dir->filePath("record")});
    QVERIFY(stuck.waitForReadyRead(10000));
    auto start = this->start(program, {address(3)});
    const bool ended = start->waitForFinished(ListOwner::TimeoutMs + 10000);
    stuck.closeWriteChannel();
    QVERIFY(stuck.waitForFinished(5000));
    QVERIFY2(ended, "a second window runs on the same list");
    QCOMPARE(start->exitCode(), 1);
    const QByteArray said = start->readAllStandardError();
    QVERIFY2(said.count("vidrona: ") == 1 && said.contains("did not answer"), said.constData());
    QVERIFY(!QFile::exists(QDir(folder).filePath("List")));
}

// What arrives on the socket is bounded: a message past its size is cut
// off, one that never ends is dropped, and the addresses are counted.
void TestListOwner::hostileMessagesAreBounded_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("addresses"); // -1: nothing is taken
    QTest::newRow("two addresses") << QByteArray("http://a.test/1\nhttp://a.test/2\n\n") << 2;
    QTest::newRow("none: only to the front") << QByteArray("\n") << 0;
    QTest::newRow("never ends") << QByteArray("http://a.test/1\n") << -1;
    QTest::newRow("past the size bound") << QByteArray(ListOwner::MaxMessageBytes + 10, 'x') << -1;
    QByteArray many;
    for (int i = 0; i < ListOwner::MaxAddresses + 50; ++i)
        many += "http://a.test/" + QByteArray::number(i) + '\n';
    QTest::newRow("more addresses than taken") << many + '\n' << ListOwner::MaxAddresses;
}

void TestListOwner::hostileMessagesAreBounded()
{
    QFETCH(QByteArray, message);
    QFETCH(int, addresses);
    ListOwner owner;
    QVERIFY(owner.listen(m_dir->path()));
    QSignalSpy handed(&owner, &ListOwner::handedOver);
    QLocalSocket socket;
    socket.connectToServer(ListOwner::socketPathFor(m_dir->path()));
    QVERIFY(socket.waitForConnected(5000));
    socket.write(message);
    const bool taken = handed.wait(ListOwner::TimeoutMs + 2000);
    QCOMPARE(taken, addresses >= 0);
    if (taken)
        QCOMPARE(handed.at(0).at(0).toStringList().size(), addresses);
}

// Where the socket goes: the runtime folder only when it is the user's
// with mode 0700, else the user's own folder in the temporary folder,
// which must be a folder of the user's with mode 0700 (made so when
// missing); anything else there is refused.
void TestListOwner::socketFolderIsTheUsersOwn_data()
{
    QTest::addColumn<QString>("runtime"); // mode of $XDG_RUNTIME_DIR; "link", "unset"
    QTest::addColumn<QString>("own");     // what stands at vidrona-<uid> first; "" nothing
    QTest::addColumn<QString>("used");    // "runtime", "own" or "" (refused)
    QTest::newRow("runtime folder 0700") << "700" << "" << "runtime";
    QTest::newRow("runtime folder 0755") << "755" << "" << "own";
    QTest::newRow("runtime folder a link") << "link" << "" << "own";
    QTest::newRow("no runtime folder") << "unset" << "" << "own";
    QTest::newRow("own folder kept from before") << "unset" << "700" << "own";
    QTest::newRow("own folder open to others") << "unset" << "777" << "";
    QTest::newRow("a file at the own folder's name") << "unset" << "file" << "";
    QTest::newRow("a link at the own folder's name") << "unset" << "link" << "";
}

void TestListOwner::socketFolderIsTheUsersOwn()
{
    QFETCH(QString, runtime);
    QFETCH(QString, own);
    QFETCH(QString, used);
    const QString run = m_dir->filePath("rt"), tmp = m_dir->filePath("tmp"), real = m_dir->filePath("real");
    QVERIFY(QDir().mkdir(run) && QDir().mkdir(tmp) && QDir().mkdir(real));
    const QString ownFolder = QDir(tmp).filePath(QStringLiteral("vidrona-%1").arg(::getuid()));
    if (runtime == "link")
        QVERIFY(QFile::link(real, run + "-link"));
    else
        ::chmod(QFile::encodeName(run).constData(), mode_t(runtime.toUInt(nullptr, 8)));
    if (own == "file")
        test::writeFile(tmp, QFileInfo(ownFolder).fileName(), "x");
    else if (own == "link")
        QVERIFY(QFile::link(real, ownFolder));
    else if (!own.isEmpty())
        QVERIFY(QDir().mkdir(ownFolder) && ::chmod(QFile::encodeName(ownFolder).constData(), own.toUInt(nullptr, 8)) == 0);
    const QByteArray before = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.toLocal8Bit());
    if (runtime == "unset")
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", (runtime == "link" ? run + "-link" : run).toLocal8Bit());
    QString why;
    const QString path = ListOwner::socketPathFor(m_dir->path(), &why);
    before.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", before);
    QCOMPARE(why.isEmpty(), !used.isEmpty());
    QCOMPARE(path.isEmpty(), used.isEmpty());
    if (used.isEmpty())
        return;
    QCOMPARE(QFileInfo(path).absolutePath(), used == "runtime" ? run : ownFolder);
    if (used == "own") {
        struct stat st {};
        QCOMPARE(::lstat(QFile::encodeName(ownFolder).constData(), &st), 0);
        QVERIFY(S_ISDIR(st.st_mode) && (st.st_mode & 07777) == 0700 && st.st_uid == ::getuid());
    }
}

QTEST_MAIN(TestListOwner)
#include "tst_listowner.moc"
