#include "ytdlpkeys.h"
#include "initext.h"

namespace vidrona::desktop {

namespace {
const QString ProgramKey = QStringLiteral("ytdlpProgram");
const QString CookiesKey = QStringLiteral("ytdlpCookiesFromBrowser");
} // namespace

QStringList cookieBrowsers()
{
    return {QStringLiteral("firefox"), QStringLiteral("chromium"), QStringLiteral("chrome"), QStringLiteral("brave"),
            QStringLiteral("edge"), QStringLiteral("opera"), QStringLiteral("vivaldi")};
}

YtDlpPreferences readYtDlpPreferences(const IniText &ini)
{
    YtDlpPreferences p;
    p.program = ini.value(ProgramKey).value_or(QString()).trimmed();
    const QString browser = ini.value(CookiesKey).value_or(QString()).trimmed().toLower();
    // A hand-edited name yt-dlp would not know is none: it never reaches its arguments.
    p.cookiesBrowser = cookieBrowsers().contains(browser) ? browser : QString();
    return p;
}

void writeYtDlpPreferences(IniText &ini, const YtDlpPreferences &p)
{
    ini.setValue(ProgramKey, p.program);
    ini.setValue(CookiesKey, p.cookiesBrowser);
}

} // namespace vidrona::desktop
