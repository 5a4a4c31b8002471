#pragma once
#include <QString>
#include <QtGlobal>

// Who is at the other end of a connected local socket: a program hands its
// addresses only to, and takes them only from, a process of its own user.
namespace vidrona::platform {

struct Peer {
    enum class Is { SameUser, OtherUser, Unknown };
    Is is = Is::Unknown;
    QString who; // the other end in words ("uid 1001, process 4242"), for messages
};

// descriptor: QLocalSocket::socketDescriptor() of a connected socket (on
// Windows the pipe's handle). peerListens: this end connected to a server
// (on Windows the pipe's server process is asked for, else its client).
// Unknown (the system cannot tell) is never taken for the same user.
Peer peerOf(qintptr descriptor, bool peerListens);

} // namespace vidrona::platform
