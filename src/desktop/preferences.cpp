#include "preferences.h"
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace vidrona {

Preferences Preferences::bounded() const
{
    Preferences p = *this;
    p.simultaneous = qBound(1, simultaneous, MaxSimultaneous);
    p.connections = qBound(1, connections, MaxConnections);
    p.speedLimit = qMax<qint64>(0, speedLimit);
    return p;
}

PreferenceStore::PreferenceStore(const Folders &folders)
{
    const QString folder = folders.besideProgram
                               ? folders.list
                               : QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    m_path = QDir(folder).filePath(QStringLiteral("Vidrona.ini"));
}

Preferences PreferenceStore::load() const
{
    const QSettings s(m_path, QSettings::IniFormat);
    Preferences p;
    p.downloadFolder = s.value(QStringLiteral("downloadFolder")).toString();
    p.simultaneous = s.value(QStringLiteral("simultaneousDownloads"), p.simultaneous).toInt();
    p.connections = s.value(QStringLiteral("connectionsPerFile"), p.connections).toInt();
    p.speedLimit = s.value(QStringLiteral("speedLimit"), p.speedLimit).toLongLong();
    p.notify = s.value(QStringLiteral("notify"), p.notify).toBool();
    return p.bounded(); // a hand-edited file cannot set what the window cannot
}

bool PreferenceStore::save(const Preferences &preferences) const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const Preferences p = preferences.bounded();
    QSettings s(m_path, QSettings::IniFormat);
    s.setValue(QStringLiteral("downloadFolder"), p.downloadFolder);
    s.setValue(QStringLiteral("simultaneousDownloads"), p.simultaneous);
    s.setValue(QStringLiteral("connectionsPerFile"), p.connections);
    s.setValue(QStringLiteral("speedLimit"), p.speedLimit);
    s.setValue(QStringLiteral("notify"), p.notify);
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace vidrona
