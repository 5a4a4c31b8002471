#pragma once
// What the engine's tests share: a file on the local web, the file a fetch
// left, and the threads of this process.
#include "download/filefetch.h"
#include "support/testenv.h"
#include <QDir>
#include <QFile>
#include <QUrl>

namespace vidrona::test {

inline const QByteArray EngineHost = "media.vidrona.test";

inline QUrl engineUrl(const QByteArray &name)
{
    return QUrl(QString::fromLatin1("http://" + EngineHost + "/v/" + name));
}

inline bool hasPatternFile(const QString &path, qint64 size)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.size() == size && f.readAll() == testweb::Server::patternBytes(0, size);
}

// The threads of this process now, as the system counts them.
inline int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace vidrona::test
