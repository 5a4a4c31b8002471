// Serves http://bench.vidrona.test/file-SIZE.bin (SIZE bytes of the
// generated pattern) as a proxy on a loopback port, for run.sh.
#include "server.h"
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testweb::Server server;
    server.onHost("bench.vidrona.test", [](const testweb::Request &r) {
        if (!r.path.startsWith("/file-") || !r.path.endsWith(".bin"))
            return testweb::Response::notFound();
        const QByteArray size = r.path.mid(6, r.path.size() - 10);
        return testweb::Response::pattern(size.toLongLong(), "application/octet-stream");
    });
    if (!server.listen()) {
        std::fprintf(stderr, "queue_bench_server: cannot listen\n");
        return 1;
    }
    std::printf("port %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
