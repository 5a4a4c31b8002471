#pragma once
#include <QString>

// Where the program's local sockets live, so that no other local user can
// put anything in their place: a folder only the user can enter. Windows
// has no such folder: its pipes are names, checked by their peer alone.
namespace vidrona::platform {

struct SocketFolder {
    QString path;  // empty: no folder may be used (error says why), or Windows
    QString error; // in words, one line
    bool ok() const { return !path.isEmpty(); }
};

// $XDG_RUNTIME_DIR when it is a folder of the user's with mode 0700; else
// the user's own folder in the temporary folder ("vidrona-<user id>"),
// made with mode 0700 when missing and checked after: not a link, the
// user's, mode 0700. Refused when another user made it first.
SocketFolder socketFolder();

// What is found at a socket's full name in that folder.
enum class SocketName {
    Absent,  // nothing: free to listen there
    Ours,    // a socket of the user's (live or left by a crash)
    Foreign, // anything else (a file, a link, another user's socket): never used
};
SocketName socketNameState(const QString &path);

// A new local socket listening at path, a name in socketFolder(): -1 when
// it cannot be had, with *occupied (a live socket holds the name: its
// owner is to be asked) or *error. Nothing at the name is ever replaced
// but a socket of the user's that nobody listens on any more (a crash's).
int listenAt(const QString &path, bool *occupied, QString *error);

// Holds the user's lock on the list kept in a folder for as long as it
// lives, so that two windows never rewrite the same list even when no
// socket can be used. Nothing is written in the folder.
class FolderLock
{
public:
    FolderLock() = default;
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;
    ~FolderLock();
    enum class Taken { Yes, HeldElsewhere, CannotOpen };
    // CannotOpen (a missing folder, a link, a file system without locks)
    // leaves nothing held and keeps nobody out.
    Taken take(const QString &folder);

private:
    int m_fd = -1;
};

} // namespace vidrona::platform
