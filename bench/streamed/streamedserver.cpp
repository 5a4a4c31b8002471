// Serves the files of a folder at http://bench.vidrona.test/<path> as a
// proxy on a loopback port, each piece's body at a bounded speed per
// connection (bytes per second, the second argument; 0: at full speed;
// playlists and manifests at once), answering ranges the way common
// servers do, for run.sh.
// Usage: streamed_bench_server FOLDER BYTES_PER_SECOND
#include "server.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QDir root(QString::fromLocal8Bit(argv[1]));
    const int perSecond = atoi(argv[2]);
    constexpr int StepMs = 20; // the body goes out in 50 steps a second
    testweb::Server server;
    server.onHost("bench.vidrona.test", [&](const testweb::Request &r) {
        QFile file(root.filePath(QString::fromUtf8(r.path).mid(1)));
        if (r.path.contains("..") || !file.open(QIODevice::ReadOnly))
            return testweb::Response::notFound();
        const bool playlist = r.path.endsWith(".m3u8") || r.path.endsWith(".mpd") || r.path.endsWith(".vtt");
        const QByteArray type = r.path.endsWith(".m3u8") ? "application/vnd.apple.mpegurl"
                                : r.path.endsWith(".mpd") ? "application/dash+xml"
                                : r.path.endsWith(".m4s") ? "video/iso.segment"
                                : r.path.endsWith(".vtt") ? "text/vtt"
                                                          : "video/mp2t";
        testweb::Response resp = testweb::Response::bytes(file.readAll(), type);
        static const QRegularExpression range("^bytes=(\\d+)-(\\d+)$");
        const QRegularExpressionMatch m = range.match(QString::fromLatin1(r.header("Range")));
        const qint64 size = resp.body.size();
        if (m.hasMatch() && m.captured(1).toLongLong() < size) {
            const qint64 from = m.captured(1).toLongLong(), to = qMin(m.captured(2).toLongLong(), size - 1);
            resp.status = 206;
            resp.body = resp.body.mid(from, to - from + 1);
            resp.headers.append({"Content-Range", "bytes " + QByteArray::number(from) + '-' + QByteArray::number(to)
                                                      + '/' + QByteArray::number(size)});
        }
        resp.headers.append(qMakePair(QByteArray("Accept-Ranges"), QByteArray("bytes")));
        if (!playlist && perSecond > 0) {
            resp.trickleMs = StepMs;
            resp.trickleBytes = qMax(1, perSecond * StepMs / 1000);
        }
        return resp;
    });
    if (!server.listen()) {
        std::fprintf(stderr, "streamed_bench_server: cannot listen\n");
        return 1;
    }
    std::printf("port %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
