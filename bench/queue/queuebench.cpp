// One file through the main window's queue, the way a user fetches it:
// the address is added with Download and "Start Download" is pressed.
// Prints the time from the press to the end of the run (the file synced to
// disk and in place), the time until the whole body had arrived, and the
// longest gap of the window's event loop meanwhile. The proxy comes from
// http_proxy, as for the program.
#include "app/mainwindow.h"
#include "desktop/messages.h"
#include "download/liststore.h"
#include "download/service/downloadservice.h"
#include "ui/mainwindow/mainwindowview.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QNetworkProxyFactory>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {
class PrintedMessages : public vidrona::desktop::MessageService
{
public:
    int show(const QString &text, const QString &, int) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        ++count;
        return vidrona::desktop::AnswerOk;
    }
    int count = 0;
};
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: queue_bench FILE-URL EMPTY-FOLDER\n");
        return 2;
    }
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    PrintedMessages messages;
    const auto madeWindow = vidrona::app::createMainWindow(args[2], &messages);
    vidrona::ui::mainwindow::MainWindowView &window = *madeWindow;
    auto &service = *window.findChild<vidrona::download::service::DownloadService *>();
    auto &store = service.store();
    window.startUp();
    window.show();
    store.Download(args[1]);

    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    qint64 longestGapAtMs = 0; // when it ended, from the press
    QTimer meter;
    meter.setTimerType(Qt::PreciseTimer);
    meter.setInterval(2);
    QObject::connect(&meter, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        if (gap > longestGapMs) {
            longestGapMs = gap;
            longestGapAtMs = clock.elapsed();
        }
    });
    double bodySeconds = 0;
    // The service reports a row's figures once more as soon as its body is
    // complete, before the file is synced and put in place.
    QObject::connect(&service, &vidrona::download::service::DownloadService::rowProgressed, &app,
                     [&](quint64, const vidrona::download::service::RowProgress &p) {
        if (p.total > 0 && p.bytes == p.total && bodySeconds == 0)
            bodySeconds = clock.nsecsElapsed() / 1e9;
    });
    QObject::connect(&service, &vidrona::download::service::DownloadService::runEnded, &app, [&] {
        const double seconds = clock.nsecsElapsed() / 1e9;
        const bool ok = store.list().count() == 1
                        && store.list().at(0).status == vidrona::download::Status::Completed;
        std::printf("body_seconds %.3f\n", bodySeconds);
        std::printf("queue_seconds %.3f\nlongest_gap_ms %lld\nlongest_gap_at_ms %lld\nok %d\n",
                    seconds, static_cast<long long>(longestGapMs),
                    static_cast<long long>(longestGapAtMs), int(ok && messages.count == 0));
        app.quit();
    });
    sinceTick.start();
    meter.start();
    clock.start();
    window.findChild<QPushButton *>("startButton")->click();
    return app.exec();
}
