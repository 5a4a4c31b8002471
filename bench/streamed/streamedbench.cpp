// One streamed video through the program's own fetch (runFetch hands a
// playlist to the stream fetch), with the program's default connections.
// Prints the time from the start to the file in place and the bytes of
// pieces fetched. The proxy comes from http_proxy, as for the program.
// Usage: streamed_bench PLAYLIST-URL FINAL-PATH [QUALITY: best, 720, sound]
#include "ui/mainwindow/failuretexts.h"
#include "download/filefetch.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

using namespace vidrona;
using namespace vidrona::download;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: streamed_bench PLAYLIST-URL FINAL-PATH [QUALITY]\n");
        return 2;
    }
    initFetching();
    FetchJob job;
    job.url = QUrl::fromEncoded(argv[1]);
    job.finalPath = QString::fromLocal8Bit(argv[2]);
    if (argc == 4)
        job.quality = argv[3];
    FetchShared shared;
    QElapsedTimer timer;
    timer.start();
    const FetchResult result = runFetch(job, shared);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!result.ok()) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(vidrona::ui::mainwindow::failureText(result.failure)));
        return 1;
    }
    std::printf("ok %d pieces\nseconds %.3f\nconnections %d\nbytes %lld\n", shared.piecesTotal.load(), seconds,
                job.connections, static_cast<long long>(shared.fresh.load()));
    return 0;
}
