#pragma once
#include <QString>
#include <QStringList>

namespace vidrona::desktop {

class IniText;

// The Preferences' yt-dlp settings, and their keys in the settings file.
struct YtDlpPreferences {
    QString program;        // a path chosen by the user; empty: looked for on PATH, then ~/.local/bin
    QString cookiesBrowser; // one of cookieBrowsers(); empty: none
    bool operator==(const YtDlpPreferences &) const = default;
};

// The browsers yt-dlp reads cookies from (--cookies-from-browser), by its names.
QStringList cookieBrowsers();

YtDlpPreferences readYtDlpPreferences(const IniText &ini);
void writeYtDlpPreferences(IniText &ini, const YtDlpPreferences &p);

} // namespace vidrona::desktop
