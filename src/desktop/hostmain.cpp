// vidrona-browser-host: the native messaging host the browsers start for
// the extension. It has no window; it hands what it read to the program
// beside it, which shares its list folder.
#include "browserhost.h"
#include "folders.h"
#include <QCoreApplication>
#include "platform/hoststdio.h"

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Vidrona"));
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const QString here = QCoreApplication::applicationDirPath();
    const vidrona::desktop::Folders folders = vidrona::desktop::chooseFolders(here);
    // The browsers' framing is binary: no text mode may change a byte.
    const vidrona::platform::Stdio stdio = vidrona::platform::binaryStdio();
    return vidrona::desktop::browserhost::serve(arguments, stdio.in, stdio.out, folders.list,
                                       vidrona::platform::programIn(here, QStringLiteral("vidrona")));
}
