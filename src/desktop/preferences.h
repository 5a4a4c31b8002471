#pragma once
#include "folders.h"
#include <QString>

namespace vidrona {

// What the user sets in the Preferences window.
struct Preferences {
    static constexpr int MaxSimultaneous = 8;
    static constexpr int MaxConnections = 16;

    QString downloadFolder; // empty: the program's own choice (Folders)
    int simultaneous = 1;   // rows fetched at once, 1 to MaxSimultaneous
    int connections = 8;    // connections per file, 1 to MaxConnections
    qint64 speedLimit = 0;  // bytes per second for all fetches together; 0: none
    bool notify = true;     // tell the desktop when downloads finish

    // The same values, each brought within its range.
    Preferences bounded() const;
    bool operator==(const Preferences &) const = default;
};

// Where the preferences live: a copy that keeps its list beside itself
// keeps "Vidrona.ini" there too; any other copy uses the user's config
// folder. Nothing is written until the user saves.
class PreferenceStore
{
public:
    explicit PreferenceStore(const Folders &folders);
    QString path() const { return m_path; }
    Preferences load() const;
    // false when the file could not be written.
    bool save(const Preferences &preferences) const;

private:
    QString m_path;
};

} // namespace vidrona
