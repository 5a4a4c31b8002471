// The address box and "Add Video": site dispatch and the resolvers.
#include "main/gui/frmmain.h"

namespace vidrona {

void FrmMain::cmdAddVideo_Click() {}
void FrmMain::txtUrl_Change() {}
void FrmMain::txtUrl_Click() {}
void FrmMain::txtUrl_GotFocus() {}

} // namespace vidrona
