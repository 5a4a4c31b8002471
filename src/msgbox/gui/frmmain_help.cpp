// Help and About of the main window.
#include "main/gui/frmmain.h"
#include "msgbox/core/boxtexts.h"
#include "msgbox/core/skinbox.h"
#include "msgbox/gui/skinmsgbox.h"

namespace vidrona {

void FrmMain::cmdContacts_Click()
{
    msgbox::SkinMsgBox(msgbox::helpText(), msgbox::StyleOkOnly);
}

void FrmMain::Command2_Click()
{
    msgbox::SkinMsgBox(msgbox::aboutText(), msgbox::StyleOkOnly);
}

} // namespace vidrona
