#pragma once
// What the engine's tests share: a file on the local web, the file a fetch
// left, the threads of this process, and a fetch cancelled mid-way.
#include "download/filefetch.h"
#include "support/testenv.h"
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <functional>
#include <thread>

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

// A fetch run on a thread of its own, as a row's is, and cancelled once
// arriving() holds: whether it did, whether the fetch then ended, its
// result, and the time from setting the row's cancel to the fetch's return.
struct CancelledFetch {
    bool arrived = false;
    bool ended = false;
    download::FetchResult result;
    qint64 ms = -1;
};

inline CancelledFetch cancelWhenArriving(download::FetchShared &shared,
                                         const std::function<download::FetchResult()> &fetch,
                                         const std::function<bool()> &arriving)
{
    CancelledFetch out;
    std::atomic<qint64> endedAt{-1};
    QElapsedTimer clock;
    clock.start();
    std::thread fetching([&] {
        out.result = fetch();
        endedAt = clock.nsecsElapsed();
    });
    out.arrived = QTest::qWaitFor(arriving, 30000);
    const qint64 cancelAt = clock.nsecsElapsed();
    shared.cancel = true;
    out.ended = QTest::qWaitFor([&] { return endedAt >= 0; }, 10000);
    fetching.join();
    out.ms = (endedAt - cancelAt) / 1000000;
    return out;
}

} // namespace vidrona::test
