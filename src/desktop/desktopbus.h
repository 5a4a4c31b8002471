#pragma once
#include <QDBusConnection>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

namespace vidrona::desktop {

// What the desktop hears from the program over the session bus: a
// notification when downloads end, and the running count and overall
// progress on the task bar (the launcher-entry signal that Plasma's task
// manager and common docks show). Without a bus or a notification service
// nothing is shown and nothing is said; no call ever waits for an answer.
class DesktopBus : public QObject
{
    Q_OBJECT
public:
    // Downloads that end within this time share one notification.
    static constexpr int JoinMs = 1000;

    // appId is the menu entry's id ("org.vidrona.vidrona").
    DesktopBus(const QDBusConnection &bus, const QString &appId, QObject *parent = nullptr);

    void setNotificationsEnabled(bool on) { m_notify = on; }
    bool notificationsEnabled() const { return m_notify; }
    // A download of fileName into folder ended; reason says why it failed.
    void downloadEnded(const QString &fileName, const QString &folder, bool ok, const QString &reason);
    // running rows, and the fraction of their bytes that arrived (0 to 1).
    void showProgress(int running, double fraction);
    void clearProgress();

signals:
    // The user chose "Open Folder" on a notification.
    void openFolderRequested(const QString &folder);

private slots:
    void onActionInvoked(uint id, const QString &action);
    void onCapabilities(const QStringList &capabilities);

private:
    struct Ended {
        QString fileName;
        bool ok;
        QString reason;
    };
    void notifyJoined();
    void sendProgress(qint64 count, double fraction, bool visible);

    QDBusConnection m_bus;
    QString m_appId;
    bool m_notify = true;
    bool m_actions = false;
    QList<Ended> m_ended;
    QString m_folder;
    QTimer m_join;
    QHash<uint, QString> m_folders; // notification id -> its folder
    int m_lastCount = -1;
    double m_lastFraction = -1;
};

} // namespace vidrona::desktop
