// Showing the YouTube window from the main window.
#include "main/gui/frmmain.h"
#include "youtube/gui/frmyoutube.h"

namespace vidrona {

void FrmMain::showYouTubeWindow()
{
    // One window while it is open; a closed one is gone and made anew.
    if (!m_youTubeWindow) {
        auto *window = new FrmYouTube(&CancelRequest, programFolder(), &messages(), this);
        window->Form_Load();
        m_youTubeWindow = window;
    }
    m_youTubeWindow->show();
    m_youTubeWindow->raise();
    m_youTubeWindow->activateWindow();
}

} // namespace vidrona
