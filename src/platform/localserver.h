#pragma once
#include <QString>

class QLocalServer;

// Where a local server of the program listens and how it starts, the one
// place where Windows (named pipes, checked by their peer) and the others
// (sockets in a folder only the user can enter) differ.
namespace vidrona::platform {

// The full name for the local server called name: on Windows the pipe's
// name itself; elsewhere its path in socketFolder(), made when missing.
// Empty when no folder of the user's own can be had (*why says why).
QString localServerPath(const QString &name, QString *why = nullptr);

// Starts server listening at path (a localServerPath). Occupied: a live
// server of the user's holds the name, its owner is to be asked; Failed:
// *error says why. Nothing at the name is ever replaced but a socket of
// the user's that nobody listens on any more (a crash's).
enum class Listened { Listening, Occupied, Failed };
Listened listenLocal(QLocalServer &server, const QString &path, QString *error);

} // namespace vidrona::platform
