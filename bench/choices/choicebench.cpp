// One stream through the program's own fetch with a quality choice, the
// subtitles asked and where they go: prints the body bytes the engine
// fetched (its own counter), the saved file and its size. The proxy comes
// from http_proxy, as for the program. A final path ending in .mp3 with
// the choice "sound" encodes the sound as MP3 (V2), as the row's name does.
// Usage: choice_bench URL FINAL-PATH QUALITY [LANGUAGES [inside]]
#include "ui/mainwindow/failuretexts.h"
#include "download/filefetch.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

using namespace vidrona;
using namespace vidrona::download;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 4 || argc > 6) {
        std::fprintf(stderr, "usage: choice_bench URL FINAL-PATH QUALITY [LANGUAGES [inside]]\n");
        return 2;
    }
    initFetching();
    FetchJob job;
    job.url = QUrl::fromEncoded(argv[1]);
    job.finalPath = QString::fromLocal8Bit(argv[2]);
    job.quality = argv[3];
    job.mp3Quality = 2;
    if (argc >= 5)
        job.subtitles = QString::fromLatin1(argv[4]).split(QLatin1Char(','));
    job.subtitlesInside = argc == 6 && qstrcmp(argv[5], "inside") == 0;
    FetchShared shared;
    QElapsedTimer timer;
    timer.start();
    const FetchResult result = runFetch(job, shared);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!result.ok()) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(vidrona::ui::mainwindow::failureText(result.failure)));
        return 1;
    }
    std::printf("seconds %.3f\nbytes %lld\nplaced %s\nsize %lld\nmissed %d\n", seconds,
                static_cast<long long>(shared.fresh.load()), qPrintable(result.placedAt),
                static_cast<long long>(QFileInfo(result.placedAt).size()), int(result.subtitlesMissed.size()));
    return 0;
}
