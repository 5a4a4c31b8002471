#include "smalldisk.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <unistd.h>

namespace vidrona::test {

SmallDisk::SmallDisk(int kib)
{
    if (geteuid() != 0) {
        m_whyNot = QStringLiteral("a full disk needs a tmpfs mount, which needs root");
        return;
    }
    QProcess mount;
    mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", QString("size=%1k").arg(kib),
                                          "tmpfs", m_dir.path()});
    m_mounted = mount.waitForFinished(10000) && mount.exitStatus() == QProcess::NormalExit
        && mount.exitCode() == 0;
    if (!m_mounted)
        m_whyNot = QStringLiteral("mounting a tmpfs was refused: ")
            + QString::fromLocal8Bit(mount.readAllStandardError()).trimmed();
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        QProcess::execute(QStringLiteral("umount"), {m_dir.path()});
}

bool SmallDisk::fill()
{
    QFile filler(QDir(path()).filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size()) {
    }
    while (filler.write("f", 1) == 1) {
    }
    return true;
}

} // namespace vidrona::test
