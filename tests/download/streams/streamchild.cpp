// Fetches one streamed video the way the program does, through the local
// web on the given port; the resume test kills it with SIGKILL midway.
// Usage: streamchild URL FINAL_PATH PORT CONNECTIONS
#include "download/filefetch.h"
#include <QCoreApplication>
#include <QNetworkProxy>
#include <cstdio>

using namespace vidrona;
using namespace vidrona::download;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 5)
        return 2;
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), quint16(atoi(argv[3]))));
    initFetching();
    FetchJob job;
    job.url = QUrl::fromEncoded(argv[1]);
    job.finalPath = QString::fromLocal8Bit(argv[2]);
    job.connections = atoi(argv[4]);
    FetchShared shared;
    const FetchResult result = runFetch(job, shared);
    if (result.ok())
        std::printf("ok\n");
    else
        std::printf("failed: reason %d, cause %d\n", int(result.failure.reason), int(result.failure.cause));
    return result.ok() ? 0 : 1;
}
