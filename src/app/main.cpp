#include "app/mainwindow.h"
#include "main/gui/frmmain.h"
#include "main/gui/widgetmessages.h"
#include <QApplication>
#include <QIcon>
#include <QNetworkProxyFactory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vidrona"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/vidrona.png")));
    // Follow the system's proxy settings (http_proxy on Linux).
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    vidrona::WidgetMessageService messages;
    const auto window = vidrona::createMainWindow(QApplication::applicationDirPath(), &messages);
    window->Form_Load();
    window->show();
    return app.exec();
}
