// vidrona-browser-host: the native messaging host the browsers start for
// the extension. It has no window; it hands what it read to the program
// beside it, which shares its list folder.
#include "browserhost.h"
#include "folders.h"
#include <QCoreApplication>
#include <QDir>
#include <unistd.h>

int main(int argc, char **argv)
{
    QCoreApplication::setApplicationName(QStringLiteral("Vidrona"));
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const QString here = QCoreApplication::applicationDirPath();
    const vidrona::Folders folders = vidrona::chooseFolders(here);
    return vidrona::browserhost::serve(arguments, STDIN_FILENO, STDOUT_FILENO, folders.list,
                                       QDir(here).filePath(QStringLiteral("vidrona")));
}
