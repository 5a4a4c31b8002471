#pragma once
#include "folders.h"
#include "ytdlpkeys.h"
#include "savechoices.h"
#include "filetagskey.h"
#include <QString>

namespace vidrona::desktop {

// What the user sets in the Preferences window.
struct Preferences {
    static constexpr int MaxSimultaneous = 8;
    static constexpr int MaxConnections = 16;
    // A speed limit below this is no use: a stored smaller one is raised.
    static constexpr qint64 MinSpeedLimit = 1024;
    static constexpr int MaxSpeedLimitKBs = 1000000;

    QString downloadFolder; // empty: the program's own choice (Folders)
    int simultaneous = 1;   // rows fetched at once, 1 to MaxSimultaneous
    int connections = 8;    // connections per file, 1 to MaxConnections
    qint64 speedLimit = 0;  // bytes per second for all fetches together, whole KB/s; 0: none
    bool notify = true;     // tell the desktop when downloads finish
    YtDlpPreferences ytDlp;
    SaveChoices save;       // which quality of a video to save
    bool tags = true;       // the files made carry their own title, source and cover

    // The same values, each brought within its range (the speed limit to
    // whole KB/s), so the window shows each as it acts.
    Preferences bounded() const;
    bool operator==(const Preferences &) const = default;
};

// Where the preferences live: a copy that keeps its list beside itself
// keeps "Vidrona.ini" there too; any other copy uses the user's config
// folder. Nothing is written until the user saves. The file is read and
// written like every file the program keeps (safefile.h): never through a
// link, a plain file of at most MaxFileBytes, replaced in one step.
class PreferenceStore
{
public:
    static constexpr qint64 MaxFileBytes = 64 * 1024;

    explicit PreferenceStore(const Folders &folders);
    QString path() const { return m_path; }
    // The stored values; the defaults when there are none or the file was
    // left alone, and then *notice says why in words (else it is emptied).
    Preferences load(QString *notice = nullptr) const;
    // false when the file could not be written. Keys and lines the
    // program does not set stay as they were.
    bool save(const Preferences &preferences) const;

private:
    QString m_path;
};

} // namespace vidrona::desktop
