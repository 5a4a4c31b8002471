// The seven site resolvers of the main window: fetch what the site needs,
// cut the file address out, hand it to the list or the browser.
#include "links/core/openurl.h"
#include "main/gui/frmmain.h"
#include "resolvers/core/getsource.h"
#include "resolvers/core/resolvers.h"
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

namespace vidrona {

namespace {

QString orEmpty(const std::optional<QString> &link)
{
    return link.value_or(QString());
}

} // namespace

void FrmMain::Videkta()
{
    m_fetchFailed = false;
    addResolved(orEmpty(resolve::Videkta(VideoUrl)));
}

void FrmMain::Tvali()
{
    const auto xmlUrl = resolve::TvaliXmlUrl(readSitePage());
    if (!xmlUrl)
        return addResolved(QString());
    const QString xml = OpenURL(*xmlUrl);
    m_fetchFailed = xml.isEmpty();
    addResolved(orEmpty(resolve::TvaliFile(xml)));
}

void FrmMain::AllVideos()
{
    addResolved(orEmpty(resolve::AllVideos(readSitePage())));
}

void FrmMain::Metacafe()
{
    addResolved(orEmpty(resolve::Metacafe(askLinkService())));
}

void FrmMain::Break()
{
    const QString answer = askLinkService();
    addResolved(orEmpty(resolve::Break(answer, resolve::Quality(selectedQuality()))));
}

void FrmMain::DailyMotion()
{
    openResolved(orEmpty(resolve::DailyMotion(askLinkService())));
}

void FrmMain::Google()
{
    const QString answer = askLinkService();
    openResolved(orEmpty(resolve::Google(answer, resolve::Quality(selectedQuality()))));
}

QString FrmMain::readSitePage()
{
    const QString page = FetchPage(txtUrl->text());
    m_fetchFailed = page.isEmpty();
    // The page stays in the hidden buffer after the resolver returns.
    txtWebSource->setPlainText(page);
    return page;
}

QString FrmMain::askLinkService()
{
    const QString answer = OpenURL(resolve::ServiceRequest(txtUrl->text()));
    m_fetchFailed = answer.isEmpty();
    return answer;
}

int FrmMain::selectedQuality() const
{
    resolve::Quality q = resolve::Quality::None;
    if (OptLow->isChecked())
        q = resolve::Quality::Low;
    else if (OptHigh->isChecked())
        q = resolve::Quality::High;
    else if (OptAvi->isChecked())
        q = resolve::Quality::Avi;
    return int(q);
}

// FileUrl never keeps an earlier video's address past a failed resolve.
bool FrmMain::takeResolved(const QString &fileUrl)
{
    FileUrl.clear();
    if (resolve::isUsableFileUrl(fileUrl)) {
        FileUrl = fileUrl;
        return true;
    }
    const QString why = m_fetchFailed
                            ? QStringLiteral("The page of this video could not be fetched.")
                            : QStringLiteral("No video was found at this address.");
    m_messages->show(why + QStringLiteral("\r\nPlease, check the link and try again!"),
                     QStringLiteral("Link Error..."), MsgInformation);
    return false;
}

void FrmMain::addResolved(const QString &fileUrl)
{
    if (takeResolved(fileUrl))
        Download();
}

void FrmMain::openResolved(const QString &fileUrl)
{
    if (takeResolved(fileUrl))
        OpenUrl(FileUrl, *m_messages);
}

} // namespace vidrona
