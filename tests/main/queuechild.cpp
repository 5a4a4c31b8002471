// Runs the download queue of the folder it is given through the local web
// on the given port, the way the program does; the resume test kills it
// with SIGKILL in the middle of a fetch.
#include "download/listfile.h"
#include "download/queuerunner.h"
#include "download/transfer.h"
#include <QCoreApplication>
#include <QNetworkProxy>

using namespace vidrona;

namespace {
struct SilentMessages : MessageService {
    int show(const QString &, const QString &, int) override { return AnswerOk; }
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(atoi(argv[2]))));
    DownloadList list;
    ListFile file(folder);
    file.load(list);
    Transfer transfer;
    SilentMessages messages;
    QueueRunner queue(list, transfer, folder, messages);
    queue.setSaveList([&] { file.save(list); });
    QObject::connect(&queue, &QueueRunner::runEnded, &app, &QCoreApplication::quit);
    queue.RunQueue();
    return app.exec();
}
