#pragma once
#include "server.h"
#include "download/filefetch.h"
#include "support/mediatools.h"
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

// What the stream tests share: clips made by the ffmpeg program at test
// time, cut into the shapes sites serve (HLS, DASH), a route that serves a
// folder of them, and checks that decode a result.
namespace vidrona::test {

using download::FetchJob;
using download::FetchResult;
using download::FetchShared;

// A 4-second test picture with noise (160x120, 10 frames a second, a key
// frame every half second, about 180 kB a second) with a tone, encoded once; each shape cuts that same
// encoding (no re-encoding), so a saved video must decode to its frames.
class StreamClips
{
public:
    explicit StreamClips(const QString &folder);
    bool ok() const { return m_ok; }
    QString reference() const;
    // Makes the shape (see the names in streamsite.cpp) in a folder of its
    // own; returns the playlist's or manifest's path relative to the folder
    // given above, empty when ffmpeg failed.
    QString make(const QString &shape);
    QString folder() const { return m_folder; }

private:
    bool package(const QString &into, const QString &source, const QStringList &format);
    QString m_folder;
    bool m_ok = false;
};

// Serves the files under root at http://media.vidrona.test/<relative path>:
// playlists and manifests with their types, other files as bytes, Range
// requests answered with 206 (and Accept-Ranges said); the same at the
// server's own address. adjust may change an answer before it goes.
class FolderSite
{
public:
    FolderSite(testweb::Server &server, const QString &root);
    static QString url(const QString &relative);
    std::function<void(const testweb::Request &, testweb::Response &)> adjust;

private:
    testweb::Response serve(const testweb::Request &request) const;
    QString m_root;
};

// runFetch on a thread of its own while this thread's event loop (the
// local web) runs; cancelled after timeoutMs, or once cancelWhen is true.
FetchResult fetchInThread(const FetchJob &job, FetchShared &shared, int timeoutMs = 120000,
                          const std::function<bool()> &cancelWhen = {});

// The piece requests the server saw (playlists, manifests and keys left out).
QList<QByteArray> pieceRequests(const testweb::Server &server);

} // namespace vidrona::test
