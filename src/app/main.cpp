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
int answerWithoutWindow(const vidrona::desktop::CommandLine &line)
{
    const bool failed = line.action == vidrona::desktop::CommandLine::FailAndExit;
    std::fputs(line.text.toLocal8Bit().constData(), failed ? stderr : stdout);
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Vidrona"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VIDRONA_VERSION));
    const vidrona::desktop::CommandLine early = vidrona::desktop::parseCommandLine(argumentsOf(argc, argv));
    if (early.action != vidrona::desktop::CommandLine::Run)
        return answerWithoutWindow(early);

    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/art/vidrona.png")));
    // Lets the desktop match the windows with the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral(VIDRONA_APP_ID));
    // Follow the system's proxy settings (http_proxy on Linux).
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    // Read again from the application, which has taken its own options
    // out and, on Windows, knows the full Unicode command line.
    const QStringList addresses = vidrona::desktop::parseCommandLine(QApplication::arguments()).addresses;
    const vidrona::desktop::Folders folders = vidrona::desktop::chooseFolders(QApplication::applicationDirPath());
    vidrona::desktop::ListOwner owner;
    switch (owner.claim(folders.list, addresses)) {
    case vidrona::desktop::ListOwner::Claim::HandedOver: return 0; // the window that has this list took the addresses
    case vidrona::desktop::ListOwner::Claim::OwnedElsewhere: return 1; // said on standard error
    case vidrona::desktop::ListOwner::Claim::Owner:
    case vidrona::desktop::ListOwner::Claim::Alone: break;
    }

    vidrona::ui::WidgetMessageService messages;
    vidrona::desktop::DesktopBus desktop(QDBusConnection::sessionBus(), QStringLiteral(VIDRONA_APP_ID));
    const auto window = vidrona::app::createMainWindow(folders, &messages, &desktop);
    QObject::connect(&owner, &vidrona::desktop::ListOwner::handedOver, window.get(), [&window](const QStringList &more) {
        vidrona::app::bringToFront(*window);
        vidrona::app::addVideos(*window, more);
    });
    QObject::connect(&owner, &vidrona::desktop::ListOwner::handedOverWithExtras, window.get(),
                     [&window](const QList<vidrona::desktop::HandedAddress> &more) {
        vidrona::app::bringToFront(*window);
        vidrona::app::addVideos(*window, more);
    });
    window->startUp();
    window->show();
    if (!addresses.isEmpty())
        QTimer::singleShot(0, window.get(), [&window, addresses] { vidrona::app::addVideos(*window, addresses); });
    return app.exec();
}
