#pragma once
#include <QString>

namespace vidrona::desktop {

// Where the list file and the fetched files live.
struct Folders
{
    QString list;      // the folder that holds the list file
    QString downloads; // the folder the fetched files are written to
    bool besideProgram = false;
};

// A copy whose folder its user can write (a portable copy) keeps the list
// and the downloads beside itself. Any other copy, and one installed with
// its menu entry, gives each user the list in the per-user data folder and
// the downloads in a "Vidrona" folder inside the user's download folder;
// both are created when missing. Needs the application name to be set.
Folders chooseFolders(const QString &programFolder);

} // namespace vidrona::desktop
