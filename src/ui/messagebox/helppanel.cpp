// Help and About of the main window.
#include "helppanel.h"
#include "ui/messagebox/boxtexts.h"
#include "ui/messagebox/buttonimages.h"
#include "ui/messagebox/skinbox.h"
#include "ui/messagebox/skinmsgbox.h"
#include <QPushButton>

namespace vidrona::ui::messagebox {

HelpPanel::HelpPanel(QPushButton *helpButton, QPushButton *aboutButton, QObject *parent)
    : QObject(parent)
{
    connect(helpButton, &QPushButton::clicked, this, &HelpPanel::helpClicked);
    connect(aboutButton, &QPushButton::clicked, this, &HelpPanel::aboutClicked);
}

void HelpPanel::startUp()
{
    loadButtonImages();
}

void HelpPanel::shutDown()
{
    freeButtonImages();
}

void HelpPanel::helpClicked()
{
    showSkinnedBox(helpText(), StyleOkOnly);
}

void HelpPanel::aboutClicked()
{
    showSkinnedBox(aboutText(), StyleOkOnly);
}

} // namespace vidrona::ui::messagebox
