// A site shaped like YouTube for run.sh: http://media.sites.test/NAME
// serves the file NAME of FOLDER with an ETag, answering ranges, each
// connection at most RATE bytes a second, and at most SLOW bytes a second
// for an answer longer than CHUNK bytes (a whole file included), as that
// site slows long ranges. A proxy on a loopback port.
// Usage: sites_bench_server FOLDER RATE CHUNK SLOW
#include "server.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <cstdio>

namespace {

testweb::Response serve(const testweb::Request &r, const QByteArray &bytes, qint64 rate, qint64 chunk, qint64 slow)
{
    const qint64 size = bytes.size();
    const QByteArray range = r.header("Range");
    const int dash = range.indexOf('-');
    qint64 from = 0, last = size - 1;
    testweb::Response resp = testweb::Response::bytes(QByteArray(), "application/octet-stream");
    resp.headers.append(qMakePair(QByteArray("ETag"), QByteArray("\"sites-bench\"")));
    if (range.startsWith("bytes=") && dash > 0) {
        from = range.mid(6, dash - 6).toLongLong();
        if (!range.endsWith('-'))
            last = qMin(range.mid(dash + 1).toLongLong(), size - 1);
        if (from >= size || last < from)
            return testweb::Response::html("<html><body>Range Not Satisfiable</body></html>", 416);
        resp.status = 206;
        resp.headers.append({"Content-Range", "bytes " + QByteArray::number(from) + '-' + QByteArray::number(last) + '/'
                                                  + QByteArray::number(size)});
    }
    resp.body = QByteArray::fromRawData(bytes.constData() + from, last - from + 1);
    resp.bytesPerSecond = resp.body.size() > chunk ? slow : rate;
    return resp;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: sites_bench_server FOLDER RATE CHUNK SLOW\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const qint64 rate = QByteArray(argv[2]).toLongLong(), chunk = QByteArray(argv[3]).toLongLong(),
                 slow = QByteArray(argv[4]).toLongLong();
    QHash<QByteArray, QByteArray> files;
    for (const QString &name : folder.entryList(QDir::Files)) {
        QFile f(folder.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            files.insert("/" + name.toUtf8(), f.readAll());
    }
    testweb::Server server;
    server.onHost("media.sites.test", [&files, rate, chunk, slow](const testweb::Request &r) {
        const auto it = files.constFind(r.path);
        return it == files.constEnd() ? testweb::Response::notFound() : serve(r, *it, rate, chunk, slow);
    });
    if (!server.listen()) {
        std::fprintf(stderr, "sites_bench_server: cannot listen\n");
        return 1;
    }
    std::printf("port %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
