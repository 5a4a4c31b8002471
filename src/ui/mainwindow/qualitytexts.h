#pragma once
#include "download/streams/qualitychoice.h"
#include <QString>

namespace vidrona::ui::mainwindow {

// A quality's line in the window that asks which one to add, from what its
// source says of it: "1280×720, 30 fps, avc1.64001f, 2.5 Mb/s, about
// 12.3 MB", as much of it as is known.
QString describeQuality(const download::streams::Quality &quality);

} // namespace vidrona::ui::mainwindow
