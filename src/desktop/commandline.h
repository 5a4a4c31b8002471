#pragma once
#include <QString>
#include <QStringList>

namespace vidrona::desktop {

// What the command line asks for. Help and version are answered before
// any window exists, so they work without a display.
struct CommandLine
{
    enum Action { Run, PrintAndExit, FailAndExit };
    Action action = Run;
    QString text;          // for PrintAndExit (stdout) and FailAndExit (stderr)
    QStringList addresses; // video page addresses, in the given order
};

// arguments: the program's name first, as in argv.
CommandLine parseCommandLine(const QStringList &arguments);

} // namespace vidrona::desktop
