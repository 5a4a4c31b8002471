#pragma once
// A real full disk: a small tmpfs mounted on a temporary folder while this
// lives. Mounting needs root; otherwise whyNot says so and tests skip.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <unistd.h>

namespace vidrona::test {

class SmallDisk
{
public:
    SmallDisk()
    {
        if (geteuid() == 0)
            m_mounted = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", path()}) == 0;
        whyNot = geteuid() ? "a full disk needs a tmpfs mount, which needs root" : "mount refused";
    }
    ~SmallDisk()
    {
        if (m_mounted)
            QProcess::execute("umount", {path()});
    }
    bool ok() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    // Writes a filler file until not one more byte fits.
    void fill() const
    {
        QFile filler(QDir(path()).filePath("filler"));
        if (filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            while (filler.write(QByteArray(4096, 'f')) == 4096 || filler.write("f", 1) == 1) {
            }
    }
    const char *whyNot;

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace vidrona::test
