#pragma once
// A notification service of our own on the test's private session bus:
// it records what it is sent and can say that the user chose an action.
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace vidrona::test {

struct Notification {
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
};

class NotificationStandIn : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    // On a connection of its own, so calls really cross the bus.
    explicit NotificationStandIn(bool withActions)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("standin")))
        , m_withActions(withActions)
    {
        m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                             QDBusConnection::ExportScriptableSlots);
        m_registered = m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    ~NotificationStandIn() override
    {
        m_bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("standin"));
    }
    bool registered() const { return m_registered; }
    QList<Notification> received;

    void chooseAction(uint id, const QString &action)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                                         QStringLiteral("org.freedesktop.Notifications"),
                                                         QStringLiteral("ActionInvoked"));
        signal << id << action;
        m_bus.send(signal);
    }

public slots:
    Q_SCRIPTABLE QStringList GetCapabilities()
    {
        return m_withActions ? QStringList{"body", "actions"} : QStringList{"body"};
    }
    Q_SCRIPTABLE uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                             const QStringList &actions, const QVariantMap &hints, int)
    {
        received.append({summary, body, actions, hints});
        return uint(received.size());
    }

private:
    QDBusConnection m_bus;
    bool m_withActions;
    bool m_registered = false;
};

} // namespace vidrona::test
