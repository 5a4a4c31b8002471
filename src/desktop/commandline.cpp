#include "commandline.h"
#include "buildinfo.h"
#include <QCommandLineParser>

namespace vidrona::desktop {

namespace {

// The options QApplication takes for itself (-platform offscreen,
// -style fusion, ...): known here, so they are neither refused nor taken
// for addresses before the application has removed them.
void addToolkitOptions(QCommandLineParser &parser)
{
    static const char *const withValue[] = {
        "platform", "platformpluginpath", "platformtheme", "plugin", "style", "stylesheet",
        "qwindowgeometry", "qwindowtitle", "qwindowicon", "display", "geometry", "title",
        "name", "session", "qmljsdebugger"};
    static const char *const flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    for (const char *name : withValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : flags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Vidrona downloads videos from the addresses of their web pages.\n"
        "Each address given is added as if pasted and \"Add Video\" pressed.\n"
        "A second start opens a second window."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("address"),
                                 QStringLiteral("Video page addresses to add, in order."),
                                 QStringLiteral("[address...]"));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addToolkitOptions(parser);
    CommandLine line;
    const bool parsed = parser.parse(arguments);
    if (parsed && (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))) {
        line.action = CommandLine::PrintAndExit;
        // Answered before the application object exists, which is where
        // the parser would take the program's name from.
        line.text = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                              QStringLiteral("vidrona"));
    } else if (parsed && parser.isSet(version)) {
        line.action = CommandLine::PrintAndExit;
        line.text = QStringLiteral("vidrona " VIDRONA_VERSION "\n");
    } else if (!parsed) {
        line.action = CommandLine::FailAndExit;
        line.text = parser.errorText() + QStringLiteral("\nTry 'vidrona --help'.\n");
    }
    line.addresses = parser.positionalArguments();
    return line;
}

} // namespace vidrona::desktop
