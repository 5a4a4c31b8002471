#pragma once
#include "net/failure.h"
#include <QString>
#include <QtGlobal>
#include <optional>

// Whether a file of known length fits where it goes, checked before any
// byte of it is written, in the words the user reads.
namespace vidrona::download::diskspace {

// A size in decimal units (B, kB, MB, GB, TB) as the user reads it: one
// decimal from GB on, none below ("1.2 GB", "300 MB", "512 B").
QString decimalSize(qint64 bytes);

// A failure (NoSpace, never tried again) when needed bytes exceed the free
// space of the file system holding folder: "Not enough free space: needs
// 1.2 GB, 300 MB free". None when they fit or the free space is unknown.
std::optional<net::Failure> check(const QString &folder, qint64 needed);

} // namespace vidrona::download::diskspace
