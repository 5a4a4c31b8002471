#include "preferences.h"
#include "initext.h"
#include "platform/safefile.h"
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vidrona::desktop {

namespace {

const QString DownloadFolderKey = QStringLiteral("downloadFolder");
const QString SimultaneousKey = QStringLiteral("simultaneousDownloads");
const QString ConnectionsKey = QStringLiteral("connectionsPerFile");
const QString SpeedLimitKey = QStringLiteral("speedLimit");
const QString NotifyKey = QStringLiteral("notify");

qint64 numberOr(const IniText &ini, const QString &key, qint64 fallback)
{
    bool ok = false;
    const qint64 n = ini.value(key).value_or(QString()).trimmed().toLongLong(&ok);
    return ok ? n : fallback;
}

// As Qt takes a stored text for a truth value.
bool truthOr(const IniText &ini, const QString &key, bool fallback)
{
    const std::optional<QString> v = ini.value(key);
    if (!v)
        return fallback;
    const QString t = v->trimmed();
    return !(t.isEmpty() || t == QLatin1String("0") || t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0);
}

QString whyLeftAlone(const platform::SmallFile &file, const QString &path)
{
    switch (file.status) {
    case platform::SmallFile::Status::NotPlain:
        return QStringLiteral("%1 is a link or not a plain file: it was left alone and the defaults are shown. "
                              "OK saves a plain file in its place.").arg(QDir::toNativeSeparators(path));
    case platform::SmallFile::Status::TooLarge:
        return QStringLiteral("%1 is larger than %2 KB: it was ignored and the defaults are shown.")
            .arg(QDir::toNativeSeparators(path)).arg(PreferenceStore::MaxFileBytes / 1024);
    case platform::SmallFile::Status::Failed:
        return QStringLiteral("%1 could not be read (%2): the defaults are shown.")
            .arg(QDir::toNativeSeparators(path), file.error);
    case platform::SmallFile::Status::Read:
    case platform::SmallFile::Status::Missing: break;
    }
    return {};
}

} // namespace

Preferences Preferences::bounded() const
{
    Preferences p = *this;
    p.simultaneous = qBound(1, simultaneous, MaxSimultaneous);
    p.connections = qBound(1, connections, MaxConnections);
    p.speedLimit = speedLimit <= 0 ? 0 : qBound(MinSpeedLimit, speedLimit, qint64(MaxSpeedLimitKBs) * 1024) / 1024 * 1024;
    return p;
}

PreferenceStore::PreferenceStore(const Folders &folders)
{
    const QString folder = folders.besideProgram
                               ? folders.list
                               : QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    m_path = QDir(folder).filePath(QStringLiteral("Vidrona.ini"));
}

Preferences PreferenceStore::load(QString *notice) const
{
    const platform::SmallFile file = platform::readSmallFile(m_path, MaxFileBytes);
    if (notice)
        *notice = whyLeftAlone(file, m_path);
    Preferences p;
    if (!file.ok())
        return p;
    const IniText ini(file.bytes);
    p.downloadFolder = ini.value(DownloadFolderKey).value_or(QString());
    p.simultaneous = int(qBound(qint64(0), numberOr(ini, SimultaneousKey, p.simultaneous), qint64(1000)));
    p.connections = int(qBound(qint64(0), numberOr(ini, ConnectionsKey, p.connections), qint64(1000)));
    p.speedLimit = numberOr(ini, SpeedLimitKey, p.speedLimit);
    p.notify = truthOr(ini, NotifyKey, p.notify);
    p.ytDlp = readYtDlpPreferences(ini);
    p.save = readSaveChoices(ini);
    p.tags = readFileTags(ini);
    return p.bounded(); // a hand-edited file cannot set what the window cannot
}

bool PreferenceStore::save(const Preferences &preferences) const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const Preferences p = preferences.bounded();
    const platform::SmallFile before = platform::readSmallFile(m_path, MaxFileBytes);
    IniText ini(before.ok() ? before.bytes : QByteArray());
    ini.setValue(DownloadFolderKey, p.downloadFolder);
    ini.setValue(SimultaneousKey, QString::number(p.simultaneous));
    ini.setValue(ConnectionsKey, QString::number(p.connections));
    ini.setValue(SpeedLimitKey, QString::number(p.speedLimit));
    ini.setValue(NotifyKey, p.notify ? QStringLiteral("true") : QStringLiteral("false"));
    writeYtDlpPreferences(ini, p.ytDlp);
    writeSaveChoices(ini, p.save);
    writeFileTags(ini, p.tags);
    return platform::writeFileSafely(m_path, ini.bytes());
}

} // namespace vidrona::desktop
