#include "streamsite.h"
#include "support/testenv.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <thread>

namespace vidrona::test {

using download::FetchJob;
using download::FetchResult;
using download::FetchShared;
using download::runFetch;

namespace {
const QByteArray Host = "media.vidrona.test";

const QString MasterTwoVariants = QStringLiteral(
    "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=200000,RESOLUTION=80x60\nlo/index.m3u8\n"
    "#EXT-X-STREAM-INF:BANDWIDTH=800000,RESOLUTION=160x120\nhi/index.m3u8\n");
const QString MasterWithAudio = QStringLiteral(
    "#EXTM3U\n#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"aud\",NAME=\"en\",DEFAULT=YES,URI=\"a/index.m3u8\"\n"
    "#EXT-X-STREAM-INF:BANDWIDTH=800000,RESOLUTION=160x120,AUDIO=\"aud\"\nv/index.m3u8\n");

QStringList hls(const QString &seconds, const QStringList &more = {})
{
    return QStringList{"-f", "hls", "-hls_time", seconds, "-hls_playlist_type", "vod"} + more;
}

// dash-number ($Number$), dash-time ($Time$ with a timeline), dash-list.
QStringList dash(const QString &shape)
{
    const QStringList how = shape == "dash-number" ? QStringList{"-use_template", "1", "-use_timeline", "0"}
                            : shape == "dash-time" ? QStringList{"-use_template", "1", "-use_timeline", "1",
                                                                 "-media_seg_name", "chunk-$RepresentationID$-$Time$.m4s"}
                                                   : QStringList{"-use_template", "0", "-use_timeline", "0"};
    return QStringList{"-f", "dash", "-seg_duration", "1"} + how;
}

// ffmpeg names the first sound piece by its priming time (below zero)
// while its manifest says 0: the site serves the manifest's name.
bool namedAsTheManifestSays(const QString &folder)
{
    QDir dir(folder);
    bool ok = true;
    for (const QString &name : dir.entryList({"chunk-*--*.m4s"}))
        ok = ok && dir.rename(name, name.left(name.indexOf("--")) + "-0.m4s");
    return ok;
}

// The playlist's pieces twice, the clock starting again between them.
bool twiceWithADiscontinuity(const QString &playlist)
{
    const QByteArray text = readFile(playlist);
    const qsizetype from = text.indexOf("#EXTINF"), to = text.indexOf("#EXT-X-ENDLIST");
    return from > 0 && to > from
           && !writeFile(QFileInfo(playlist).path(), QFileInfo(playlist).fileName(),
                         text.left(to) + "#EXT-X-DISCONTINUITY\n" + text.mid(from, to - from) + text.mid(to))
                   .isEmpty();
}
} // namespace

StreamClips::StreamClips(const QString &folder) : m_folder(folder)
{
    // Noise without loss: pieces large enough for connections to share them.
    const QString encode = "-c:v libx264 -g 5 -qp 0 -pix_fmt yuv420p -c:a aac -b:a 48k";
    const QString sound = "-f lavfi -i sine=frequency=440:duration=4 ";
    m_ok = runTool("ffmpeg", (QString("-v error -f lavfi -i testsrc=size=160x120:rate=10:duration=4,noise=alls=30:allf=t ") + sound
                              + encode).split(' ') << reference())
           && runTool("ffmpeg", (QString("-v error -f lavfi -i testsrc=size=80x60:rate=10:duration=4 ") + sound
                                 + encode).split(' ') << QDir(folder).filePath("low.mp4"));
}

QString StreamClips::reference() const
{
    return QDir(m_folder).filePath("reference.mp4");
}

// Cuts source into the folder into (relative), without re-encoding.
bool StreamClips::package(const QString &into, const QString &source, const QStringList &format)
{
    const QString out = QDir(m_folder).filePath(into);
    QDir().mkpath(QFileInfo(out).path());
    return runTool("ffmpeg", QStringList{"-v", "error", "-i", source, "-c", "copy"} + format << out);
}

QString StreamClips::make(const QString &shape)
{
    const QString ref = reference(), low = QDir(m_folder).filePath("low.mp4");
    bool ok = true;
    QString top = shape + "/index.m3u8";
    if (shape == "master") {
        ok = package(shape + "/lo/index.m3u8", low, hls("1")) && package(shape + "/hi/index.m3u8", ref, hls("1"));
        top = shape + "/master.m3u8";
        writeFile(QDir(m_folder).filePath(shape), "master.m3u8", MasterTwoVariants.toUtf8());
    } else if (shape == "audio") {
        ok = package(shape + "/v/index.m3u8", ref, QStringList{"-an"} + hls("1", {"-hls_segment_type", "fmp4"}))
             && package(shape + "/a/index.m3u8", ref, QStringList{"-vn"} + hls("1", {"-hls_segment_type", "fmp4"}));
        top = shape + "/master.m3u8";
        writeFile(QDir(m_folder).filePath(shape), "master.m3u8", MasterWithAudio.toUtf8());
    } else if (shape == "aes") {
        const QString folder = QDir(m_folder).filePath(shape);
        QDir().mkpath(folder);
        const QString key = writeFile(folder, "k.bin", QByteArray::fromHex("00112233445566778899aabbccddeeff"));
        writeFile(folder, "keyinfo", ("k.bin\n" + key + "\n").toUtf8());
        ok = package(top, ref, hls("1", {"-hls_key_info_file", QDir(folder).filePath("keyinfo")}));
    } else if (shape == "discontinuity") {
        ok = package(top, ref, hls("1")) && twiceWithADiscontinuity(QDir(m_folder).filePath(top));
    } else if (shape.startsWith("dash")) {
        top = shape + "/index.mpd";
        ok = package(top, ref, dash(shape)) && namedAsTheManifestSays(QDir(m_folder).filePath(shape));
    } else {
        const QStringList how = shape == "ts"       ? hls("1", {"-hls_segment_type", "mpegts"})
                                : shape == "cmaf"   ? hls("1", {"-hls_segment_type", "fmp4"})
                                : shape == "ranges" ? hls("1", {"-hls_flags", "single_file"})
                                                    : hls("0.5"); // "eight": eight TS pieces
        ok = package(top, ref, how);
    }
    return ok ? top : QString();
}

FolderSite::FolderSite(testweb::Server &server, const QString &root) : m_root(root)
{
    server.onHost(Host, [this](const testweb::Request &r) { return serve(r); });
    // The same files at http://127.0.0.1:port/, as a site on the user's own machine.
    server.onHost("127.0.0.1", [this](const testweb::Request &r) { return serve(r); });
}

QString FolderSite::url(const QString &relative)
{
    return QStringLiteral("http://%1/%2").arg(QString::fromLatin1(Host), relative);
}

testweb::Response FolderSite::serve(const testweb::Request &r) const
{
    const QString path = QDir(m_root).filePath(QString::fromUtf8(r.path).mid(1));
    testweb::Response resp = testweb::Response::notFound();
    if (!r.path.contains("..") && QFileInfo(path).isFile()) {
        const QByteArray body = readFile(path);
        if (path.endsWith(".m3u8"))
            resp = testweb::Response::text(body, "application/vnd.apple.mpegurl");
        else if (path.endsWith(".mpd"))
            resp = testweb::Response::text(body, "application/dash+xml");
        else
            resp = testweb::Response::bytes(body, "video/mp2t");
        static const QRegularExpression range("^bytes=(\\d+)-(\\d+)$");
        const QRegularExpressionMatch m = range.match(QString::fromLatin1(r.header("Range")));
        if (m.hasMatch()) {
            const qint64 from = m.captured(1).toLongLong(), to = qMin<qint64>(m.captured(2).toLongLong(), body.size() - 1);
            resp.status = 206;
            resp.body = body.mid(from, to - from + 1);
            resp.headers.append({"Content-Range", QStringLiteral("bytes %1-%2/%3").arg(from).arg(to).arg(body.size()).toLatin1()});
        }
        resp.headers.append(qMakePair(QByteArray("Accept-Ranges"), QByteArray("bytes")));
    }
    if (adjust)
        adjust(r, resp);
    return resp;
}

FetchResult fetchInThread(const FetchJob &job, FetchShared &shared, int timeoutMs,
                          const std::function<bool()> &cancelWhen)
{
    FetchResult result;
    std::atomic<bool> done{false};
    std::thread fetching([&] {
        result = runFetch(job, shared);
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done || (cancelWhen && cancelWhen()); }, timeoutMs) || !done)
        shared.cancel = true;
    if (!QTest::qWaitFor([&] { return done.load(); }, 20000))
        qWarning("the fetch did not end within 20 s of Cancel");
    fetching.join();
    return result;
}

QList<QByteArray> pieceRequests(const testweb::Server &server)
{
    QList<QByteArray> paths;
    for (const testweb::Request &r : server.requests())
        if (!r.path.endsWith(".m3u8") && !r.path.endsWith(".mpd") && !r.path.endsWith(".bin"))
            paths << r.path + (r.header("Range").isEmpty() ? QByteArray() : ' ' + r.header("Range"));
    return paths;
}

} // namespace vidrona::test
