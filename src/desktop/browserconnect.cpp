#include "browserconnect.h"
#include "browserhost.h"
#include "platform/safefile.h"
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vidrona::desktop::browserhost {

namespace {

QByteArray manifest(const QString &hostPath, const char *allowedKey, const QString &allowed)
{
    const QJsonObject m{{QStringLiteral("name"), QString::fromLatin1(HostName)},
                        {QStringLiteral("description"), QStringLiteral("Vidrona")},
                        {QStringLiteral("path"), hostPath},
                        {QStringLiteral("type"), QStringLiteral("stdio")},
                        {QString::fromLatin1(allowedKey), QJsonArray{allowed}}};
    return QJsonDocument(m).toJson();
}

} // namespace

QByteArray chromiumManifest(const QString &hostPath)
{
    return manifest(hostPath, "allowed_origins",
                    QStringLiteral("chrome-extension://%1/").arg(QString::fromLatin1(ChromiumExtensionId)));
}

QByteArray firefoxManifest(const QString &hostPath)
{
    return manifest(hostPath, "allowed_extensions", QString::fromLatin1(FirefoxAddonId));
}

QStringList userManifestFolders(const QString &home)
{
    const QDir h(home);
    return {h.filePath(QStringLiteral(".config/chromium/NativeMessagingHosts")),
            h.filePath(QStringLiteral(".config/google-chrome/NativeMessagingHosts")),
            h.filePath(QStringLiteral(".mozilla/native-messaging-hosts"))};
}

Connected connectBrowsers(const QString &hostPath, const QString &home)
{
    Connected out;
    const QString file = QString::fromLatin1(HostName) + QStringLiteral(".json");
    for (const QString &folder : userManifestFolders(home)) {
        const QString path = QDir(folder).filePath(file);
        const bool firefox = folder.contains(QLatin1String(".mozilla"));
        QString error;
        if (!QDir().mkpath(folder))
            error = QStringLiteral("cannot make %1").arg(folder);
        else if (platform::writeFileSafely(path, firefox ? firefoxManifest(hostPath) : chromiumManifest(hostPath), &error))
            out.written << path;
        if (!error.isEmpty() && out.error.isEmpty())
            out.error = error;
    }
    return out;
}

} // namespace vidrona::desktop::browserhost
