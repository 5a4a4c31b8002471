// Help and About of the main window.
#include "main/gui/frmmain.h"

namespace vidrona {

void FrmMain::cmdContacts_Click() {}
void FrmMain::Command2_Click() {}

} // namespace vidrona
