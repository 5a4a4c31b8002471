// Help and About of the main window.
#include "helppanel.h"
#include "ui/messagebox/boxtexts.h"
#include "ui/messagebox/buttonimages.h"
#include "ui/messagebox/skinbox.h"
#include "ui/messagebox/skinmsgbox.h"
#include <QPushButton>

namespace vidrona {

HelpPanel::HelpPanel(QPushButton *helpButton, QPushButton *aboutButton, QObject *parent)
    : QObject(parent)
{
    connect(helpButton, &QPushButton::clicked, this, &HelpPanel::helpClicked);
    connect(aboutButton, &QPushButton::clicked, this, &HelpPanel::aboutClicked);
}

void HelpPanel::startUp()
{
    messagebox::loadButtonImages();
}

void HelpPanel::shutDown()
{
    messagebox::freeButtonImages();
}

void HelpPanel::helpClicked()
{
    messagebox::showSkinnedBox(messagebox::helpText(), messagebox::StyleOkOnly);
}

void HelpPanel::aboutClicked()
{
    messagebox::showSkinnedBox(messagebox::aboutText(), messagebox::StyleOkOnly);
}

} // namespace vidrona
