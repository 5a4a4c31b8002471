// vidrona-testweb: runs the simulated web on a loopback port, for trying
// the program by hand: http_proxy=http://127.0.0.1:PORT ./vidrona
#include "server.h"
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("port"), QStringLiteral("Port to listen on (0: any)."),
                      QStringLiteral("port"), QStringLiteral("0")});
    parser.process(app);
    testweb::Server server;
    testweb::installSimulatedWeb(server);
    if (!server.listen(quint16(parser.value(QStringLiteral("port")).toUInt()))) {
        std::fprintf(stderr, "vidrona-testweb: cannot listen\n");
        return 1;
    }
    std::printf("vidrona-testweb listening on 127.0.0.1:%u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
