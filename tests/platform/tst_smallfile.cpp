// The one reader and writer of the program's small files, on real files:
// links, pipes and folders are never read or written through, a bound is
// kept, and a replacement is whole or not there at all.
#include "platform/safefile.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <memory>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace vidrona::platform;
using Status = SmallFile::Status;

class TstSmallFile : public QObject
{
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void replace_data();
    void replace();
    void fullDiskLeavesOldFile();
};

namespace {
void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// What stands at the name: "file", "link to other", "pipe", "folder", "none".
void make(const QString &dir, const QString &kind)
{
    const QString path = dir + "/name";
    const QString other = dir + "/other";
    put(other, "other's bytes");
    if (kind == "file")
        put(path, "old bytes");
    else if (kind == "link to other")
        QVERIFY(QFile::link(other, path));
    else if (kind == "dangling link")
        QVERIFY(QFile::link(dir + "/nowhere", path));
    else if (kind == "pipe")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == "folder")
        QVERIFY(QDir(dir).mkdir("name"));
}
} // namespace

void TstSmallFile::read_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<qint64>("bound");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain file") << "file" << qint64(64) << int(Status::Read) << QByteArray("old bytes");
    QTest::newRow("exactly the bound") << "file" << qint64(9) << int(Status::Read) << QByteArray("old bytes");
    QTest::newRow("one past the bound") << "file" << qint64(8) << int(Status::TooLarge) << QByteArray();
    QTest::newRow("missing") << "none" << qint64(64) << int(Status::Missing) << QByteArray();
    QTest::newRow("link to a file") << "link to other" << qint64(64) << int(Status::NotPlain) << QByteArray();
    QTest::newRow("dangling link") << "dangling link" << qint64(64) << int(Status::NotPlain) << QByteArray();
    QTest::newRow("pipe without writer") << "pipe" << qint64(64) << int(Status::NotPlain) << QByteArray();
    QTest::newRow("folder") << "folder" << qint64(64) << int(Status::NotPlain) << QByteArray();
}

void TstSmallFile::read()
{
    QFETCH(QString, kind);
    QFETCH(qint64, bound);
    QFETCH(int, status);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    make(dir.path(), kind);
    const SmallFile f = readSmallFile(dir.path() + "/name", bound);
    QCOMPARE(int(f.status), status);
    QCOMPARE(f.bytes, bytes);
    QCOMPARE(f.error.isEmpty(), status == int(Status::Read) || status == int(Status::Missing));
}

void TstSmallFile::replace_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("written");
    QTest::newRow("no file yet") << "none" << true;
    QTest::newRow("old file") << "file" << true;
    // The link is replaced by the new file; what it pointed at stays as it was.
    QTest::newRow("link to another file") << "link to other" << true;
    QTest::newRow("dangling link") << "dangling link" << true;
    QTest::newRow("pipe") << "pipe" << true;
    QTest::newRow("folder") << "folder" << false;
}

void TstSmallFile::replace()
{
    QFETCH(QString, kind);
    QFETCH(bool, written);
    QTemporaryDir dir;
    make(dir.path(), kind);
    const QString path = dir.path() + "/name";
    QString error;
    QCOMPARE(writeFileSafely(path, "new bytes\n", &error), written);
    QCOMPARE(error.isEmpty(), written);
    QCOMPARE(contentOf(dir.path() + "/other"), QByteArray("other's bytes"));
    if (written) {
        QVERIFY(!QFileInfo(path).isSymLink());
        QCOMPARE(contentOf(path), QByteArray("new bytes\n"));
    }
    // No temporary file is left behind either way.
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : left)
        QVERIFY2(!name.endsWith(".new"), qPrintable(name));
}

// A full disk shows before the old file is replaced: the replacement
// fails with the disk's reason and the old bytes stay whole.
void TstSmallFile::fullDiskLeavesOldFile()
{
    if (::geteuid() != 0)
        QSKIP("mounting a small tmpfs needs root");
    QTemporaryDir dir;
    const QString mount = dir.path() + "/small";
    QVERIFY(QDir().mkpath(mount));
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", mount}) != 0)
        QSKIP("mounting a small tmpfs failed");
    const std::shared_ptr<void> unmount(nullptr, [&](void *) { QProcess::execute("umount", {mount}); });
    const QString path = mount + "/name";
    put(path, "old bytes");
    QString error;
    FileFault fault = FileFault::Other;
    QVERIFY(!writeFileSafely(path, QByteArray(256 << 10, 'x'), &error, &fault));
    QCOMPARE(int(fault), int(FileFault::DiskFull));
    QVERIFY(!error.isEmpty());
    QCOMPARE(contentOf(path), QByteArray("old bytes"));
    QCOMPARE(QDir(mount).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"name"});
}

QTEST_GUILESS_MAIN(TstSmallFile)
#include "tst_smallfile.moc"
