#pragma once
#include "net/failure.h"
#include <QString>
#include <QtGlobal>
#include <optional>

// Whether a file of known length fits where it goes, checked before any
// byte of it is written.
namespace vidrona::download::diskspace {

// A failure (NoSpace, never tried again, with the bytes needed and free)
// when needed bytes exceed the free space of the file system holding
// folder. None when they fit or the free space is unknown.
std::optional<net::Failure> check(const QString &folder, qint64 needed);

} // namespace vidrona::download::diskspace
