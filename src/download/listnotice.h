#pragma once
#include <QMetaType>
#include <QString>

namespace vidrona::download {

// What the download list has to tell the user, as data: which case, and
// the file, counts and system reason that go with it. The window words it
// and chooses its box.
struct ListNotice {
    enum class Kind {
        Unreadable,   // the file exists but could not be read: it is left alone
        LinesNotRows, // some lines could not be read as rows: they stay in the file
        RowsHidden,   // more rows than can be shown: the rest stay in the file
        SaveFailed,   // a save failed; onDisk says what the file holds now
        AddRefused,   // an address (or name) the list does not take
    };
    // SaveFailed: what is on disk after it.
    enum class OnDisk {
        AsFound,     // the list could not be read at start and was left as it was
        SavedBefore, // the list of the last save that worked
        Nothing,     // no list at all
    };
    Kind kind = Kind::AddRefused;
    QString path;   // the list file, as the system names it
    QString reason; // Unreadable, SaveFailed: the system's reason (may be empty)
    int count = 0;  // LinesNotRows: lines; RowsHidden: rows
    OnDisk onDisk = OnDisk::SavedBefore;
    bool notPlain = false; // Unreadable: a link, a pipe or a folder holds the name
};

} // namespace vidrona::download

Q_DECLARE_METATYPE(vidrona::download::ListNotice)
