// Another local user at the hand-over socket, with the real program run
// as each user (runuser) and a squatter of the other user's: a start hands
// its addresses only to a window of its own user, an owner takes them only
// from one, and a name the other user planted neither delays a start by
// more than a second nor leaks an address. Needs root, to be both users.
#include "programpaths.h"
#include "resolve/resolvers.h"
#include "support/testenv.h"
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vidrona;

namespace {
const QString OtherUser = QStringLiteral("vidrona-test"); // kept between runs, as the install test keeps it

QString address(int id)
{
    return QStringLiteral("http://www.videkta.ge/?video_id=%1").arg(id);
}
QString fileOf(int id)
{
    return resolve::Videkta(address(id)).value_or(QString());
}
// The socket's name for a list folder and a user: the user's id and the
// start of the SHA-256 of the folder's canonical path.
QString socketName(const QString &listFolder, uint uid)
{
    const QByteArray key = QCryptographicHash::hash(QFileInfo(listFolder).canonicalFilePath().toUtf8(),
                                                    QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("vidrona-%1-%2.socket").arg(uid).arg(QString::fromLatin1(key));
}
bool chownTo(const QString &path, uint uid)
{
    return ::lchown(QFile::encodeName(path).constData(), uid, uid) == 0;
}
} // namespace

using Process = std::shared_ptr<QProcess>;

class TestOtherUser : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void anotherUsersListenerGetsNothing_data();
    void anotherUsersListenerGetsNothing();
    void plantedNamesNeverDelayNorLeak_data();
    void plantedNamesNeverDelayNorLeak();
    void startHandsOnlyToItsOwnUser();
    void ownerTakesOnlyFromItsOwnUser();

private:
    static void stop(QProcess &p);
    QString copyProgram(const QString &name, bool other);
    Process run(const QString &program, const QStringList &args, bool other, const QString &runtime = {});
    Process squat(const QString &path, const char *mode, bool other);
    QString plant(const QString &what, const QString &flat, const QString &folder, uint owner);
    qint64 msUntilListed(const QString &program, int id, Process *started = nullptr, bool other = false);
    bool listHolds(const QString &folder, const QString &text, int ms);
    QByteArray recorded() const { return test::readFile(m_dir->filePath("record")); }

    uint m_uid = 0;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_tmp; // the programs' temporary folder, shared by all like /tmp
    QList<Process> m_running;
};

void TestOtherUser::initTestCase()
{
    if (::getuid() != 0)
        QSKIP("another local user is made and played by root only");
    QProcess::execute("useradd", {"--system", "--user-group", "--no-create-home", OtherUser}); // once, then kept
    const passwd *pw = ::getpwnam(OtherUser.toLocal8Bit().constData());
    QVERIFY2(pw, "no second local user");
    m_uid = pw->pw_uid;
}

void TestOtherUser::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7755)); // both users get in
    m_tmp = m_dir->filePath("tmp");
    QVERIFY(QDir().mkdir(m_tmp));
    QVERIFY(::chmod(QFile::encodeName(m_tmp).constData(), 01777) == 0);
    QFile record(m_dir->filePath("record"));
    QVERIFY(record.open(QIODevice::WriteOnly));
    record.setPermissions(QFileDevice::Permissions(0x6666));
}

void TestOtherUser::stop(QProcess &p)
{
    p.closeWriteChannel(); // a squatter ends with its input
    p.terminate();         // runuser passes it on to the program
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

void TestOtherUser::cleanup()
{
    for (const Process &p : std::as_const(m_running))
        stop(*p);
    m_running.clear();
    m_dir.reset();
}

QString TestOtherUser::copyProgram(const QString &name, bool other)
{
    const QString folder = m_dir->filePath(name);
    const QString program = QDir(folder).filePath("vidrona");
    if (!QDir().mkpath(folder) || !QFile::copy(QStringLiteral(VIDRONA_PROGRAM), program))
        return QString();
    QFile::setPermissions(folder, QFileDevice::Permissions(0x7755));
    if (other && !(chownTo(folder, m_uid) && chownTo(program, m_uid)))
        return QString();
    return program;
}

// The program as root or as the other user, in an environment of its own.
Process TestOtherUser::run(const QString &program, const QStringList &args, bool other, const QString &runtime)
{
    QStringList env = {"HOME=" + QFileInfo(program).absolutePath(), "PATH=/usr/bin:/bin", "TMPDIR=" + m_tmp,
                       "QT_QPA_PLATFORM=offscreen", "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"};
    if (!runtime.isEmpty())
        env << "XDG_RUNTIME_DIR=" + runtime;
    auto p = std::make_shared<QProcess>();
    if (other)
        p->start("runuser", QStringList{"-u", OtherUser, "--", "env", "-i"} + env + QStringList{program} + args);
    else {
        QProcessEnvironment e;
        for (const QString &v : env)
            e.insert(v.section('=', 0, 0), v.section('=', 1));
        p->setProcessEnvironment(e);
        p->start(program, args);
    }
    m_running << p;
    return p;
}

// A listener at path, of the other user or of root: started, listening.
Process TestOtherUser::squat(const QString &path, const char *mode, bool other)
{
    const QStringList args = {path, QString::fromLatin1(mode), m_dir->filePath("record")};
    auto p = std::make_shared<QProcess>();
    if (other)
        p->start("runuser", QStringList{"-u", OtherUser, "--", QStringLiteral(SOCKET_SQUATTER)} + args);
    else
        p->start(QStringLiteral(SOCKET_SQUATTER), args);
    m_running << p;
    if (!p->waitForReadyRead(10000) || !p->readAllStandardOutput().startsWith("listening"))
        return nullptr;
    return p;
}

bool TestOtherUser::listHolds(const QString &folder, const QString &text, int ms)
{
    return QTest::qWaitFor([&] { return test::readFile(QDir(folder).filePath("List")).contains(text.toUtf8()); },
                           ms);
}

// How long a start took until its address stood in its list; -1: never.
qint64 TestOtherUser::msUntilListed(const QString &program, int id, Process *started, bool other)
{
    QElapsedTimer clock;
    clock.start();
    Process p = run(program, {address(id)}, other);
    if (started)
        *started = p;
    if (!listHolds(QFileInfo(program).absolutePath(), fileOf(id), 20000))
        return -1;
    return clock.elapsed();
}

// What another user (owner) puts in the way of a start: at the name in the
// temporary folder older copies used (flat), or at the socket folder's
// name (folder). Returns the path of a listener to start there, if any.
QString TestOtherUser::plant(const QString &what, const QString &flat, const QString &folder, uint owner)
{
    const QString theirs = QDir(m_tmp).filePath("theirs");
    QDir().mkdir(theirs);
    chownTo(theirs, owner);
    if (what == "file at the flat name" || what == "file at the folder's name") {
        const QString at = what.endsWith("flat name") ? flat : folder;
        test::writeFile(QFileInfo(at).absolutePath(), QFileInfo(at).fileName(), "not a socket");
        chownTo(at, owner);
        return QString();
    }
    if (what.contains("flat name"))
        return flat;
    if (what.contains("link")) {
        QFile::link(theirs, folder);
        chownTo(folder, owner);
        return QDir(theirs).filePath(QFileInfo(flat).fileName());
    }
    QDir().mkdir(folder);
    chownTo(folder, owner);
    QFile::setPermissions(folder, QFileDevice::Permissions(0x7777));
    return QDir(folder).filePath(QFileInfo(flat).fileName());
}

// Row 1: the other user listens first and answers like an owner.
void TestOtherUser::anotherUsersListenerGetsNothing_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("listener at the flat name") << "listener at the flat name";
    QTest::newRow("their folder at the socket folder's name") << "listener in their folder";
    QTest::newRow("a link at the socket folder's name") << "listener behind a link";
}

void TestOtherUser::anotherUsersListenerGetsNothing()
{
    QFETCH(QString, what);
    const QString program = copyProgram("mine", false);
    const QString list = QFileInfo(program).absolutePath();
    const QString name = socketName(list, 0);
    const QString listener = plant(what, QDir(m_tmp).filePath(name), QDir(m_tmp).filePath("vidrona-0"), m_uid);
    QVERIFY(squat(listener, "answer", true));
    Process start;
    QVERIFY2(msUntilListed(program, 147629, &start) >= 0, "the start ran no window of its own");
    QCOMPARE(start->state(), QProcess::Running);
    QVERIFY2(!recorded().contains("147629"), recorded().constData());
    if (what != "listener at the flat name") // the flat name is no longer looked at
        QVERIFY(start->readAllStandardError().count("vidrona: ") == 1);
}

// Row 2: a plain file or a listener that never answers at the name, this
// time root's in the way of the other user's start (a user cannot take
// away what another put in the shared temporary folder).
void TestOtherUser::plantedNamesNeverDelayNorLeak_data()
{
    QTest::addColumn<QString>("what");
    QTest::newRow("file at the flat name") << "file at the flat name";
    QTest::newRow("silent listener at the flat name") << "silent at the flat name";
    QTest::newRow("file at the socket folder's name") << "file at the folder's name";
    QTest::newRow("silent listener in their folder") << "silent in their folder";
}

// Timing-sensitive: a clean start of another list is the measure.
void TestOtherUser::plantedNamesNeverDelayNorLeak()
{
    QFETCH(QString, what);
    Process cleanStart;
    const qint64 clean = msUntilListed(copyProgram("clean", true), 1, &cleanStart, true);
    QVERIFY(clean >= 0);
    stop(*cleanStart);
    const QString ownFolder = QDir(m_tmp).filePath(QStringLiteral("vidrona-%1").arg(m_uid));
    QDir(ownFolder).removeRecursively(); // the user's socket folder, made by that start
    const QString program = copyProgram("mine", true);
    const QString list = QFileInfo(program).absolutePath();
    const QString listener = plant(what, QDir(m_tmp).filePath(socketName(list, m_uid)), ownFolder, 0);
    if (!listener.isEmpty())
        QVERIFY(squat(listener, "silent", false));
    Process first;
    const qint64 planted = msUntilListed(program, 147629, &first, true);
    QVERIFY2(planted >= 0, "the start ran no window of its own");
    qInfo("until listed: %lld ms, against %lld ms for a clean start", planted, clean);
    QVERIFY2(planted < clean + 2000, qPrintable(QStringLiteral("%1 ms against %2 ms").arg(planted).arg(clean)));
    QVERIFY(recorded().isEmpty());
    // A second start of the same user opens no second window on the list.
    Process second = run(program, {address(2)}, true);
    QVERIFY2(second->waitForFinished(20000), "a second window runs on the same list");
    QCOMPARE(first->state(), QProcess::Running);
    if (second->exitCode() == 0)
        QVERIFY(listHolds(list, fileOf(2), 20000));
    else
        QVERIFY(second->readAllStandardError().contains("is open in another window"));
}

// A listener of root's sits at the other user's own socket name, in the
// user's own folder, the file even made the user's: only the peer's user
// gives it away.
void TestOtherUser::startHandsOnlyToItsOwnUser()
{
    const QString program = copyProgram("theirs", true);
    const QString list = QFileInfo(program).absolutePath();
    const QString runtime = m_dir->filePath("run");
    QVERIFY(QDir().mkdir(runtime) && chownTo(runtime, m_uid));
    QVERIFY(::chmod(QFile::encodeName(runtime).constData(), 0700) == 0);
    const QString path = QDir(runtime).filePath(socketName(list, m_uid));
    QVERIFY(squat(path, "answer", false));
    QVERIFY(chownTo(path, m_uid));
    Process start = run(program, {address(147629)}, true, runtime);
    QVERIFY2(listHolds(list, fileOf(147629), 20000), "the start ran no window of its own");
    QCOMPARE(start->state(), QProcess::Running);
    QVERIFY2(!recorded().contains("147629"), recorded().constData());
    const QByteArray said = start->readAllStandardError();
    QVERIFY2(said.count("vidrona: ") == 1 && said.contains("another user"), said.constData());
}

// Root's process connects to the other user's window and hands it an
// address: refused and said; a start of the window's own user still hands
// over.
void TestOtherUser::ownerTakesOnlyFromItsOwnUser()
{
    const QString program = copyProgram("theirs", true);
    const QString list = QFileInfo(program).absolutePath();
    const QString runtime = m_dir->filePath("run");
    QVERIFY(QDir().mkdir(runtime) && chownTo(runtime, m_uid));
    QVERIFY(::chmod(QFile::encodeName(runtime).constData(), 0700) == 0);
    Process owner = run(program, {}, true, runtime);
    const QString path = QDir(runtime).filePath(socketName(list, m_uid));
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo(path).exists(); }, 20000));
    QLocalSocket socket;
    socket.connectToServer(path);
    QVERIFY(socket.waitForConnected(5000));
    socket.write((address(555) + "\n\n").toUtf8());
    QVERIFY(socket.waitForBytesWritten(5000));
    socket.waitForReadyRead(3000);
    QVERIFY(!socket.readAll().contains("OK"));
    QVERIFY(!listHolds(list, fileOf(555), 2000));
    QByteArray said;
    QVERIFY(QTest::qWaitFor([&] { return (said += owner->readAllStandardError()).contains("another user"); }, 5000));
    Process later = run(program, {address(777)}, true, runtime);
    QVERIFY(later->waitForFinished(20000));
    QCOMPARE(later->exitCode(), 0);
    QVERIFY(listHolds(list, fileOf(777), 20000));
    QCOMPARE(owner->state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestOtherUser)
#include "tst_otheruser.moc"
