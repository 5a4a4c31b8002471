#include "finder.h"
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>

namespace vidrona::resolve::ytdlp {

namespace {
QMutex settingsLock;
Settings current;
SaveWish currentWish;

bool isProgram(const QString &path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isFile() && info.isExecutable();
}
} // namespace

void setSettings(const Settings &settings)
{
    QMutexLocker lock(&settingsLock);
    current = settings;
}

Settings settings()
{
    QMutexLocker lock(&settingsLock);
    return current;
}

void setSaveWish(const SaveWish &wish)
{
    QMutexLocker lock(&settingsLock);
    currentWish = wish;
}

SaveWish saveWish()
{
    QMutexLocker lock(&settingsLock);
    return currentWish;
}

QString findProgram(const Settings &settings)
{
    if (isProgram(settings.program))
        return QFileInfo(settings.program).absoluteFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("yt-dlp"));
    if (!onPath.isEmpty())
        return onPath;
    const QString local = QDir::home().filePath(QStringLiteral(".local/bin/yt-dlp"));
    return isProgram(local) ? local : QString();
}

Version versionOf(const QString &program)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, {QStringLiteral("--ignore-config"), QStringLiteral("--version")});
    if (!process.waitForFinished(10000) || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(1000);
        return {};
    }
    Version v;
    v.text = QString::fromUtf8(process.readAllStandardOutput().left(200)).trimmed();
    // Releases are named by their date: 2023.03.04, or 2023.03.04.1 for a second one that day.
    const QStringList parts = v.text.split(QLatin1Char('.'));
    if (parts.size() >= 3)
        v.date = QDate(parts[0].toInt(), parts[1].toInt(), parts[2].toInt());
    return v;
}

QString updateAdvice(const Version &version, const QDate &today)
{
    if (!version.date.isValid() || version.date.daysTo(today) <= StaleAfterDays)
        return QString();
    return QStringLiteral("This yt-dlp is %1 days old and may no longer read the sites that changed: "
                          "install a current one with \"pipx install yt-dlp\" (or \"pipx upgrade yt-dlp\").")
        .arg(version.date.daysTo(today));
}

} // namespace vidrona::resolve::ytdlp
