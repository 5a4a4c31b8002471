// Shows the YouTube window against the local web for a look or a screenshot:
// youtube_shot [address] [seconds]. With an address it presses "download".
#include "desktop/messages.h"
#include "server.h"
#include "ui/youtube/youtubewindow.h"
#include <QApplication>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

namespace {
struct NoMessages : vidrona::desktop::MessageService {
    int show(const QString &, const QString &, int) override { return vidrona::desktop::AnswerOk; }
};
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    testweb::Server server;
    testweb::installSimulatedWeb(server);
    if (!server.listen())
        return 2;
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), server.port()));
    QTemporaryDir dir;
    NoMessages messages;
    QString cancel;
    vidrona::ui::youtube::YouTubeWindow::setClipboardText([] { return QStringLiteral("http://youtube.com/watch?v=clip1"); });
    auto *w = new vidrona::ui::youtube::YouTubeWindow(&cancel, dir.path(), &messages); // deletes itself on close
    w->startUp();
    w->move(20, 20);
    w->show();
    if (args.size() > 1 && !args[1].isEmpty()) {
        w->addressBox->setText(args[1]);
        QTimer::singleShot(300, w->downloadButton, &QPushButton::click);
    }
    QTimer::singleShot(int(args.value(2, QStringLiteral("5")).toDouble() * 1000), &app, &QApplication::quit);
    return app.exec();
}
