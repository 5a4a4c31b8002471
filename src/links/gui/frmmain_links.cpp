// Search and outside links of the main window.
#include "main/gui/frmmain.h"

namespace vidrona {

void FrmMain::cmdSearch_Click() {}
void FrmMain::CmdDownloadflash_Click() {}
void FrmMain::Image2_Click() {}
void FrmMain::Image3_Click() {}
void FrmMain::Image4_Click() {}
void FrmMain::Image5_Click() {}
void FrmMain::Image6_Click() {}
void FrmMain::Image7_Click() {}

} // namespace vidrona
