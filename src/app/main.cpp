#include "app/mainwindow.h"
#include "buildinfo.h"
#include "desktop/commandline.h"
#include "desktop/desktopbus.h"
#include "desktop/listowner.h"
#include "desktop/folders.h"
#include "ui/mainwindow/mainwindowview.h"
#include "ui/widgetmessages.h"
#include <QApplication>
#include <QIcon>
#include <QNetworkProxyFactory>
#include <QTimer>
#include <cstdio>

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// --help, --version and mistakes are answered here, before the
// application object exists, so they need no display.
int answerWithoutWindow(const vidrona::CommandLine &line)
{
    const bool failed = line.action == vidrona::CommandLine::FailAndExit;
    std::fputs(line.text.toLocal8Bit().constData(), failed ? stderr : stdout);
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Vidrona"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VIDRONA_VERSION));
    const vidrona::CommandLine early = vidrona::parseCommandLine(argumentsOf(argc, argv));
    if (early.action != vidrona::CommandLine::Run)
        return answerWithoutWindow(early);

    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/vidrona.png")));
    // Lets the desktop match the windows with the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral(VIDRONA_APP_ID));
    // Follow the system's proxy settings (http_proxy on Linux).
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    // Read again from the application, which has taken its own options
    // out and, on Windows, knows the full Unicode command line.
    const QStringList addresses = vidrona::parseCommandLine(QApplication::arguments()).addresses;
    const vidrona::Folders folders = vidrona::chooseFolders(QApplication::applicationDirPath());
    vidrona::ListOwner owner;
    switch (owner.claim(folders.list, addresses)) {
    case vidrona::ListOwner::Claim::HandedOver: return 0; // the window that has this list took the addresses
    case vidrona::ListOwner::Claim::OwnedElsewhere: return 1; // said on standard error
    case vidrona::ListOwner::Claim::Owner:
    case vidrona::ListOwner::Claim::Alone: break;
    }

    vidrona::WidgetMessageService messages;
    vidrona::DesktopBus desktop(QDBusConnection::sessionBus(), QStringLiteral(VIDRONA_APP_ID));
    const auto window = vidrona::createMainWindow(folders, &messages, &desktop);
    QObject::connect(&owner, &vidrona::ListOwner::handedOver, window.get(), [&window](const QStringList &more) {
        vidrona::bringToFront(*window);
        vidrona::addVideos(*window, more);
    });
    QObject::connect(&owner, &vidrona::ListOwner::handedOverWithExtras, window.get(),
                     [&window](const QList<vidrona::HandedAddress> &more) {
        vidrona::bringToFront(*window);
        vidrona::addVideos(*window, more);
    });
    window->startUp();
    window->show();
    if (!addresses.isEmpty())
        QTimer::singleShot(0, window.get(), [&window, addresses] { vidrona::addVideos(*window, addresses); });
    return app.exec();
}
