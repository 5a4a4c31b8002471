// Help and About of the main window.
#include "helppanel.h"
#include "ui/messagebox/boxtexts.h"
#include "ui/messagebox/buttonimages.h"
#include "ui/messagebox/skinbox.h"
#include "ui/messagebox/skinmsgbox.h"
#include <QPushButton>

namespace vidrona {

HelpPanel::HelpPanel(QPushButton *cmdContacts, QPushButton *Command2, QObject *parent)
    : QObject(parent)
{
    connect(cmdContacts, &QPushButton::clicked, this, &HelpPanel::cmdContacts_Click);
    connect(Command2, &QPushButton::clicked, this, &HelpPanel::Command2_Click);
}

void HelpPanel::Form_Load()
{
    msgbox::LoadButtonImages();
}

void HelpPanel::Form_Unload()
{
    msgbox::FreeButtonImages();
}

void HelpPanel::cmdContacts_Click()
{
    msgbox::SkinMsgBox(msgbox::helpText(), msgbox::StyleOkOnly);
}

void HelpPanel::Command2_Click()
{
    msgbox::SkinMsgBox(msgbox::aboutText(), msgbox::StyleOkOnly);
}

} // namespace vidrona
