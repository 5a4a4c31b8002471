// The address box and "Add Video": site recognition and dispatch.
#include "main/gui/frmmain.h"
#include "resolvers/core/site.h"
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopeGuard>

namespace vidrona {

void FrmMain::cmdAddVideo_Click()
{
    // A press that arrives while a resolver waits for its page is dropped.
    if (m_resolving)
        return;
    VideoUrl = txtUrl->text();
    const Site *site = findSite(siteKey(VideoUrl));
    if (!site) {
        m_messages->show(QStringLiteral("Please, check the link and try again!"),
                         QStringLiteral("Link Error..."), MsgInformation);
        return;
    }
    m_resolving = true;
    const auto done = qScopeGuard([this] { m_resolving = false; });
    runSiteAction(int(site->action));
}

void FrmMain::runSiteAction(int action)
{
    switch (SiteAction(action)) {
    case SiteAction::Metacafe: Metacafe(); break;
    case SiteAction::Videkta: Videkta(); break;
    case SiteAction::Tvali: Tvali(); break;
    case SiteAction::AllVideos: AllVideos(); break;
    case SiteAction::YouTubeWindow: showYouTubeWindow(); break;
    case SiteAction::Break: Break(); break;
    case SiteAction::DailyMotion: DailyMotion(); break;
    case SiteAction::Google: Google(); break;
    }
}

void FrmMain::txtUrl_Change()
{
    VideoUrl = txtUrl->text();
    const Site *site = findSite(siteKey(VideoUrl));
    if (!site)
        return;
    Label4->setText(site->sampleCaption());
    // Options once shown stay shown, and the mp4 caption stays.
    switch (site->options) {
    case QualityOptions::Unchanged:
        break;
    case QualityOptions::LowHigh:
        OptLow->setVisible(true);
        OptHigh->setVisible(true);
        break;
    case QualityOptions::LowMp4Avi:
        OptLow->setVisible(true);
        OptHigh->setText(QStringLiteral("High Quality (mp4)"));
        OptHigh->setVisible(true);
        OptAvi->setVisible(true);
        break;
    }
}

void FrmMain::txtUrl_Click()
{
    txtUrl->setSelection(0, int(txtUrl->text().size()));
}

void FrmMain::txtUrl_GotFocus()
{
    txtUrl->setSelection(0, int(txtUrl->text().size()));
}

} // namespace vidrona
