#pragma once
#include "net/failure.h"
#include <QString>
#include <QtGlobal>

// The sentence the user reads for a failure: the engine reports why a
// fetch failed as a cause and its facts, and every window, cell, box and
// line that tells it takes the words from here.
namespace vidrona::ui::mainwindow {

// "The server answered 404 Not Found", "No data came for 30 seconds for
// piece 3 of 20", "Not enough free space: needs 1.2 GB, 300 MB free".
QString failureText(const net::Failure &failure);

// What the user reads where a link, a pipe, a device or a folder holds the
// name of a file the program keeps (its part file, a piece, the list).
QString notPlainWords();

// A size in decimal units (B, kB, MB, GB, TB) as the user reads it: one
// decimal from GB on, none below ("1.2 GB", "300 MB", "512 B").
QString decimalSize(qint64 bytes);

} // namespace vidrona::ui::mainwindow
