// Search and outside links of the main window.
#include "linkspanel.h"
#include "desktop/openurl.h"
#include "desktop/messages.h"
#include "resolve/hosts.h"
#include "resolve/site.h"
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace vidrona::ui::mainwindow {

using desktop::MessageService;
using desktop::MsgOkOnly;
using desktop::OpenUrl;
using resolve::SearchSites;
using resolve::Site;
using resolve::allVideosSite;
using resolve::breakSite;
using resolve::googleVideoSite;
using resolve::searchWords;
using resolve::tvaliSite;
using resolve::videktaSite;
using resolve::youTubeSite;

LinksPanel::LinksPanel(MessageService &messages, const Controls &controls, QObject *parent)
    : QObject(parent)
    , m_messages(messages)
    , m_ui(controls)
{
    connect(m_ui.searchButton, &QPushButton::clicked, this, &LinksPanel::searchClicked);
    connect(m_ui.playerButton, &QPushButton::clicked, this, &LinksPanel::playerClicked);
    // The logos are the main window's clickable pictures; by name, so this
    // panel needs nothing of the main window's code.
    static const char *const handlers[] = {SLOT(youTubeLogoClicked()), SLOT(googleVideoLogoClicked()),
                                           SLOT(breakLogoClicked()), SLOT(videktaLogoClicked()),
                                           SLOT(tvaliLogoClicked()), SLOT(allVideosLogoClicked())};
    for (int i = 0; i < 6; ++i) {
        const bool wired = connect(m_ui.logos[i], SIGNAL(clicked()), this, handlers[i]);
        Q_ASSERT(wired);
        Q_UNUSED(wired);
    }
}

void LinksPanel::startUp()
{
    static const char *const sites[] = {"Videkta.ge", "Tvali.ge", "AllVideos.ge", "YouTube.com",
                                        "Metacafe.com", "Break.com", "DailyMotion.com",
                                        "Video.Google.com"};
    for (const char *site : sites)
        m_ui.siteBox->addItem(QString::fromLatin1(site));
    m_ui.siteBox->setCurrentIndex(-1);
}

void LinksPanel::searchClicked()
{
    const Site *site = SearchSites().value(m_ui.siteBox->currentIndex(), nullptr);
    if (!site)
        return; // no site chosen
    if (!site->searchable()) {
        m_messages.show(QStringLiteral("Sorry you cann't search in ") + site->host, QString(), MsgOkOnly);
        return;
    }
    OpenUrl(site->searchAddress(searchWords(m_ui.searchBox->text())), m_messages);
}

void LinksPanel::playerClicked()
{
    OpenUrl(QStringLiteral("http://") + resolve::hosts::SoftwareArchive
                + QStringLiteral("/pub/simtelnet/win95/mmedmisc/flvplayer_setup.exe"),
            m_messages);
}

void LinksPanel::youTubeLogoClicked() { OpenUrl(youTubeSite().homePage(), m_messages); }
void LinksPanel::googleVideoLogoClicked() { OpenUrl(googleVideoSite().homePage(), m_messages); }
void LinksPanel::breakLogoClicked() { OpenUrl(breakSite().homePage(), m_messages); }
void LinksPanel::videktaLogoClicked() { OpenUrl(videktaSite().homePage(), m_messages); }
void LinksPanel::tvaliLogoClicked() { OpenUrl(tvaliSite().homePage(), m_messages); }
void LinksPanel::allVideosLogoClicked() { OpenUrl(allVideosSite().homePage(), m_messages); }

} // namespace vidrona::ui::mainwindow
