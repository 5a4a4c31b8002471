#pragma once
#include "net/failure.h"
#include <QString>

// The words for a step of a join, a sound's extraction or an MP3 encoding
// that failed: the engine names the step, the window words it.
namespace vidrona::ui::mainwindow {

// "The file cannot be written: No space left on device", "Out of memory.",
// "/path/3.piece: a piece is cut short".
QString stepText(const net::Step &step);

} // namespace vidrona::ui::mainwindow
