// Runs the download queue of the folder it is given through the local web
// on the given port, the way the program does; the resume test kills it
// with SIGKILL in the middle of a fetch.
#include "download/service/downloadservice.h"
#include <QCoreApplication>
#include <QNetworkProxy>

using namespace vidrona;
using namespace vidrona::download::service;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(atoi(argv[2]))));
    DownloadService queue(folder, folder); // its list's notices go unheard
    queue.load();
    QObject::connect(&queue, &DownloadService::runEnded, &app, &QCoreApplication::quit);
    queue.start();
    return app.exec();
}
