// Search and outside links of the main window.
#include "links/core/openurl.h"
#include "main/gui/frmmain.h"
#include "resolvers/core/hosts.h"
#include "resolvers/core/site.h"
#include <QComboBox>
#include <QLineEdit>

namespace vidrona {

void FrmMain::cmdSearch_Click()
{
    const Site *site = SearchSites().value(Combo1->currentIndex(), nullptr);
    if (!site)
        return; // no site chosen
    if (!site->searchable()) {
        m_messages->show(QStringLiteral("Sorry you cann't search in ") + site->host, QString(), MsgOkOnly);
        return;
    }
    OpenUrl(site->searchAddress(searchWords(Text1->text())), *m_messages);
}

void FrmMain::CmdDownloadflash_Click()
{
    OpenUrl(QStringLiteral("http://") + hosts::SoftwareArchive
                + QStringLiteral("/pub/simtelnet/win95/mmedmisc/flvplayer_setup.exe"),
            *m_messages);
}

void FrmMain::Image2_Click() { OpenUrl(youTubeSite().homePage(), *m_messages); }
void FrmMain::Image3_Click() { OpenUrl(googleVideoSite().homePage(), *m_messages); }
void FrmMain::Image4_Click() { OpenUrl(breakSite().homePage(), *m_messages); }
void FrmMain::Image5_Click() { OpenUrl(videktaSite().homePage(), *m_messages); }
void FrmMain::Image6_Click() { OpenUrl(tvaliSite().homePage(), *m_messages); }
void FrmMain::Image7_Click() { OpenUrl(allVideosSite().homePage(), *m_messages); }

} // namespace vidrona
