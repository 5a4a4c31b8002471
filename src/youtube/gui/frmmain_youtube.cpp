// Showing the YouTube window from the main window.
#include "main/gui/frmmain.h"

namespace vidrona {

void FrmMain::showYouTubeWindow() {}

} // namespace vidrona
