// Search and outside links of the main window.
#include "linkspanel.h"
#include "desktop/openurl.h"
#include "desktop/messages.h"
#include "resolve/hosts.h"
#include "resolve/site.h"
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace vidrona {

LinksPanel::LinksPanel(MessageService &messages, const Controls &controls, QObject *parent)
    : QObject(parent)
    , m_messages(messages)
    , m_ui(controls)
{
    connect(m_ui.cmdSearch, &QPushButton::clicked, this, &LinksPanel::cmdSearch_Click);
    connect(m_ui.CmdDownloadflash, &QPushButton::clicked, this, &LinksPanel::CmdDownloadflash_Click);
    // The logos are the main window's clickable pictures; by name, so this
    // panel needs nothing of the main window's code.
    static const char *const handlers[] = {SLOT(Image2_Click()), SLOT(Image3_Click()),
                                           SLOT(Image4_Click()), SLOT(Image5_Click()),
                                           SLOT(Image6_Click()), SLOT(Image7_Click())};
    for (int i = 0; i < 6; ++i) {
        const bool wired = connect(m_ui.logos[i], SIGNAL(clicked()), this, handlers[i]);
        Q_ASSERT(wired);
        Q_UNUSED(wired);
    }
}

void LinksPanel::Form_Load()
{
    static const char *const sites[] = {"Videkta.ge", "Tvali.ge", "AllVideos.ge", "YouTube.com",
                                        "Metacafe.com", "Break.com", "DailyMotion.com",
                                        "Video.Google.com"};
    for (const char *site : sites)
        m_ui.Combo1->addItem(QString::fromLatin1(site));
    m_ui.Combo1->setCurrentIndex(-1);
}

void LinksPanel::cmdSearch_Click()
{
    const Site *site = SearchSites().value(m_ui.Combo1->currentIndex(), nullptr);
    if (!site)
        return; // no site chosen
    if (!site->searchable()) {
        m_messages.show(QStringLiteral("Sorry you cann't search in ") + site->host, QString(), MsgOkOnly);
        return;
    }
    OpenUrl(site->searchAddress(searchWords(m_ui.Text1->text())), m_messages);
}

void LinksPanel::CmdDownloadflash_Click()
{
    OpenUrl(QStringLiteral("http://") + hosts::SoftwareArchive
                + QStringLiteral("/pub/simtelnet/win95/mmedmisc/flvplayer_setup.exe"),
            m_messages);
}

void LinksPanel::Image2_Click() { OpenUrl(youTubeSite().homePage(), m_messages); }
void LinksPanel::Image3_Click() { OpenUrl(googleVideoSite().homePage(), m_messages); }
void LinksPanel::Image4_Click() { OpenUrl(breakSite().homePage(), m_messages); }
void LinksPanel::Image5_Click() { OpenUrl(videktaSite().homePage(), m_messages); }
void LinksPanel::Image6_Click() { OpenUrl(tvaliSite().homePage(), m_messages); }
void LinksPanel::Image7_Click() { OpenUrl(allVideosSite().homePage(), m_messages); }

} // namespace vidrona
