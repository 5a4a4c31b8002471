// From Add Video to COMPLETED for one page that only yt-dlp reads: the
// address through the resolver table (yt-dlp, run as set by YTDLP), the
// row added to a download list in FOLDER, Start Download, and the row's
// end. Prints the time and whether it worked. The proxy comes from
// http_proxy, as for the program.
// Usage: sites_bench PAGE-ADDRESS FOLDER YTDLP CONNECTIONS
#include "ui/mainwindow/failuretexts.h"
#include "download/service/downloadservice.h"
#include "resolve/resolvertable.h"
#include "resolve/ytdlp/finder.h"
#include "resolve/ytdlp/formatsreader.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    using namespace vidrona;
    using namespace vidrona::download;
    using namespace vidrona::download::service;
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: sites_bench PAGE-ADDRESS FOLDER YTDLP CONNECTIONS\n");
        return 2;
    }
    resolve::ytdlp::setSettings({QString::fromLocal8Bit(argv[3]), {}});
    DownloadService service(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[2]));
    QObject::connect(&service, &DownloadService::listNotice, [](const ListNotice &n) {
        std::fprintf(stderr, "list notice %d: %s %s\n", int(n.kind), qPrintable(n.path), qPrintable(n.reason));
    });
    service.setRowReader(std::make_shared<resolve::ytdlp::FormatsReader>());
    service.apply({1, atoi(argv[4]), 0, QString::fromLocal8Bit(argv[2])});
    resolve::ResolverTable table;
    int code = 1;
    QElapsedTimer clock;
    QObject::connect(&table, &resolve::ResolverTable::answered, [&](const resolve::Answer &a) {
        std::printf("resolved %.3f\n", clock.nsecsElapsed() / 1e9);
        if (a.outcome != resolve::Answer::Found || a.rows.size() != 1 || a.rows[0].siteVideo.isEmpty()) {
            std::fprintf(stderr, "not found: %s\n", qPrintable(a.why));
            return app.exit(1);
        }
        service.addSiteVideo(a.rows[0].fileUrl, a.rows[0].fileName.value_or(QStringLiteral("video.mp4")), a.rows[0].siteVideo);
        service.start();
    });
    QObject::connect(&service, &DownloadService::rowEnded, [&](quint64, const net::Failure &f) {
        std::printf("seconds %.3f\nok %d\n", clock.nsecsElapsed() / 1e9, int(!f.failed()));
        if (f.failed())
            std::fprintf(stderr, "failed: %s\n", qPrintable(vidrona::ui::mainwindow::failureText(f)));
        code = f.failed() ? 1 : 0;
        app.exit(code);
    });
    clock.start();
    service.load();
    table.start({QString::fromLocal8Bit(argv[1]), resolve::Quality::High});
    app.exec();
    service.stop();
    return code;
}
