#include "desktopbus.h"
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace vidrona::desktop {

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString OpenFolderAction = QStringLiteral("open-folder");
constexpr int MaxNamesInBody = 10;

QString lineFor(const QString &name, bool ok, const QString &reason)
{
    if (ok)
        return QStringLiteral("%1 was downloaded.").arg(name);
    return reason.isEmpty() ? QStringLiteral("%1 could not be downloaded.").arg(name)
                            : QStringLiteral("%1 could not be downloaded: %2").arg(name, reason);
}
} // namespace

DesktopBus::DesktopBus(const QDBusConnection &bus, const QString &appId, QObject *parent)
    : QObject(parent), m_bus(bus), m_appId(appId)
{
    m_join.setSingleShot(true);
    m_join.setInterval(JoinMs);
    connect(&m_join, &QTimer::timeout, this, &DesktopBus::notifyJoined);
    if (!m_bus.isConnected())
        return;
    m_bus.connect(Service, Path, Service, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    const QDBusMessage ask = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("GetCapabilities"));
    m_bus.callWithCallback(ask, this, SLOT(onCapabilities(QStringList)));
}

void DesktopBus::onCapabilities(const QStringList &capabilities)
{
    m_actions = capabilities.contains(QStringLiteral("actions"));
}

void DesktopBus::downloadEnded(const QString &fileName, const QString &folder, bool ok, const QString &reason)
{
    if (!m_notify || !m_bus.isConnected())
        return;
    m_ended.append({fileName, ok, reason});
    m_folder = folder;
    if (!m_join.isActive())
        m_join.start();
}

// One notification for the downloads that ended together: the summary
// names the file (the first of several), the body says what happened.
void DesktopBus::notifyJoined()
{
    const QList<Ended> ended = std::exchange(m_ended, {});
    if (ended.isEmpty())
        return;
    QString summary = ended.first().fileName;
    if (ended.size() > 1)
        summary += QStringLiteral(" and %1 more").arg(ended.size() - 1);
    QStringList lines;
    for (const Ended &e : ended.mid(0, MaxNamesInBody))
        lines << lineFor(e.fileName, e.ok, e.reason);
    QDBusMessage notify = QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    const QStringList actions = m_actions ? QStringList{OpenFolderAction, QStringLiteral("Open Folder")} : QStringList();
    const QVariantMap hints{{QStringLiteral("desktop-entry"), m_appId}};
    notify << QStringLiteral("Vidrona") << uint(0) << m_appId << summary << lines.join(QLatin1Char('\n')) << actions
           << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(notify), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, folder = m_folder](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isValid())
            m_folders.insert(reply.value(), folder);
        w->deleteLater();
    });
}

void DesktopBus::onActionInvoked(uint id, const QString &action)
{
    if (action == OpenFolderAction && m_folders.contains(id))
        emit openFolderRequested(m_folders.value(id));
}

void DesktopBus::showProgress(int running, double fraction)
{
    fraction = qBound(0.0, fraction, 1.0);
    // The dock redraws on every signal: only changes worth seeing are sent.
    if (running == m_lastCount && qAbs(fraction - m_lastFraction) < 0.01)
        return;
    m_lastCount = running;
    m_lastFraction = fraction;
    sendProgress(running, fraction, true);
}

void DesktopBus::clearProgress()
{
    m_lastCount = -1;
    m_lastFraction = -1;
    sendProgress(0, 0.0, false);
}

void DesktopBus::sendProgress(qint64 count, double fraction, bool visible)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage update = QDBusMessage::createSignal(
        QStringLiteral("/com/canonical/unity/launcherentry/%1").arg(qHash(m_appId)),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    const QVariantMap properties{{QStringLiteral("count"), count},
                                 {QStringLiteral("count-visible"), visible && count > 0},
                                 {QStringLiteral("progress"), fraction},
                                 {QStringLiteral("progress-visible"), visible}};
    update << QStringLiteral("application://%1.desktop").arg(m_appId) << properties;
    m_bus.send(update);
}

} // namespace vidrona::desktop
