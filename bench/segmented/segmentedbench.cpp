// One file through the program's file fetch (runFetch) with a number of
// connections, until it is synced to disk and in place. Prints the time
// and whether it worked. The proxy comes from http_proxy, as for the
// program.
// Usage: segmented_bench URL TARGET-FILE CONNECTIONS
#include "ui/mainwindow/failuretexts.h"
#include "download/filefetch.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: segmented_bench URL TARGET-FILE CONNECTIONS\n");
        return 2;
    }
    vidrona::download::initFetching();
    vidrona::download::FetchJob job;
    job.url = QUrl::fromEncoded(argv[1]);
    job.finalPath = QString::fromLocal8Bit(argv[2]);
    job.connections = atoi(argv[3]);
    vidrona::download::FetchShared shared;
    QElapsedTimer clock;
    clock.start();
    const vidrona::download::FetchResult result = vidrona::download::runFetch(job, shared);
    std::printf("seconds %.3f\nok %d\n", clock.nsecsElapsed() / 1e9, int(result.ok()));
    if (!result.ok())
        std::fprintf(stderr, "failed: %s\n", qPrintable(vidrona::ui::mainwindow::failureText(result.failure)));
    return result.ok() ? 0 : 1;
}
