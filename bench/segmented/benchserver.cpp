// Serves http://bench.vidrona.test/file-SIZE.bin (SIZE bytes of the
// generated pattern, with an ETag, answering ranges) as a proxy on a
// loopback port, each connection at most RATE bytes a second, for run.sh.
// Usage: segmented_bench_server RATE
#include "server.h"
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 rate = argc > 1 ? QByteArray(argv[1]).toLongLong() : 0;
    testweb::Server server;
    server.onHost("bench.vidrona.test", [rate](const testweb::Request &r) {
        if (!r.path.startsWith("/file-") || !r.path.endsWith(".bin"))
            return testweb::Response::notFound();
        const qint64 size = r.path.mid(6, r.path.size() - 10).toLongLong();
        testweb::Response resp = testweb::Response::ranged(r, size, "\"bench\"");
        resp.bytesPerSecond = rate;
        return resp;
    });
    if (!server.listen()) {
        std::fprintf(stderr, "segmented_bench_server: cannot listen\n");
        return 1;
    }
    std::printf("port %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
