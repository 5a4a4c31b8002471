// Encodes one file to MP3 with the program's encoder and prints the wall
// time in seconds; bench/mp3/run.sh sets it beside the ffmpeg program's.
#include "download/sound/mp3encoder.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: mp3_bench INPUT OUTPUT QUALITY\n");
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    const vidrona::download::sound::Mp3Result r = vidrona::download::sound::encodeMp3(args[1], args[2], args[3].toInt());
    if (!r.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(r.error));
        return 1;
    }
    std::printf("%.3f\n", double(clock.nsecsElapsed()) / 1e9);
    return 0;
}
