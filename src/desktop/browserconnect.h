#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// Where the browsers of one user look for the native messaging host, and
// the manifests that name it: a portable copy connects itself per user.
namespace vidrona::desktop::browserhost {

// The manifest for Chromium-based browsers (allowed_origins) or Firefox
// (allowed_extensions), naming the host at hostPath.
QByteArray chromiumManifest(const QString &hostPath);
QByteArray firefoxManifest(const QString &hostPath);

// The user's folders for Chromium, Chrome and Firefox under home.
QStringList userManifestFolders(const QString &home);

struct Connected {
    QStringList written; // the manifests' paths
    QString error;       // empty when every one was written
};
// Writes the manifests into each of those folders, made when missing.
Connected connectBrowsers(const QString &hostPath, const QString &home);

} // namespace vidrona::desktop::browserhost
