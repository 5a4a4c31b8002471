// The seven site resolvers of the main window: fetch what the site needs,
// cut the file address out, hand it to the list or the browser.
#include "addvideopanel.h"
#include "desktop/openurl.h"
#include "download/liststore.h"
#include "resolve/getsource.h"
#include "resolve/resolvers.h"
#include <QLineEdit>
#include <QRadioButton>
#include <QShortcut>
#include <QTextEdit>

namespace vidrona {

namespace {

QString orEmpty(const std::optional<QString> &link)
{
    return link.value_or(QString());
}

} // namespace

void AddVideoPanel::Videkta()
{
    m_fetchFailed = false;
    m_fetchCancelled = false;
    addResolved(orEmpty(resolve::Videkta(VideoUrl)));
}

void AddVideoPanel::Tvali()
{
    const auto xmlUrl = resolve::TvaliXmlUrl(readSitePage());
    if (!xmlUrl)
        return addResolved(QString());
    const QString xml = fetchText(*xmlUrl, true);
    addResolved(orEmpty(resolve::TvaliFile(xml)));
}

void AddVideoPanel::AllVideos()
{
    addResolved(orEmpty(resolve::AllVideos(readSitePage())));
}

void AddVideoPanel::Metacafe()
{
    addResolved(orEmpty(resolve::Metacafe(askLinkService())));
}

void AddVideoPanel::Break()
{
    const QString answer = askLinkService();
    addResolved(orEmpty(resolve::Break(answer, resolve::Quality(selectedQuality()))));
}

void AddVideoPanel::DailyMotion()
{
    openResolved(orEmpty(resolve::DailyMotion(askLinkService())));
}

void AddVideoPanel::Google()
{
    const QString answer = askLinkService();
    openResolved(orEmpty(resolve::Google(answer, resolve::Quality(selectedQuality()))));
}

QString AddVideoPanel::readSitePage()
{
    QWidget *window = m_ui.txtUrl->window();
    window->setCursor(Qt::WaitCursor);
    const QString page = fetchText(m_ui.txtUrl->text(), false);
    window->unsetCursor();
    // The page stays in the hidden buffer after the resolver returns.
    m_ui.txtWebSource->setPlainText(page);
    return page;
}

QString AddVideoPanel::askLinkService()
{
    return fetchText(resolve::ServiceRequest(m_ui.txtUrl->text()), true);
}

// Waits for one page (or the service's answer) while the window goes on;
// Esc cancels. Notes why nothing came, for the message.
QString AddVideoPanel::fetchText(const QString &address, bool viaService)
{
    m_escape->setEnabled(true);
    const PageResult result = viaService ? OpenURL(m_page, address) : FetchPage(m_page, address);
    m_escape->setEnabled(false);
    m_fetchCancelled = result.outcome == PageResult::Cancelled;
    m_fetchError = result.error;
    m_fetchFailed = !result.fetched() || result.body.isEmpty();
    return result.fetched() ? QString::fromLatin1(result.body) : QString();
}

int AddVideoPanel::selectedQuality() const
{
    resolve::Quality q = resolve::Quality::None;
    if (m_ui.OptLow->isChecked())
        q = resolve::Quality::Low;
    else if (m_ui.OptHigh->isChecked())
        q = resolve::Quality::High;
    else if (m_ui.OptAvi->isChecked())
        q = resolve::Quality::Avi;
    return int(q);
}

// FileUrl never keeps an earlier video's address past a failed resolve.
bool AddVideoPanel::takeResolved(const QString &fileUrl)
{
    FileUrl.clear();
    if (resolve::isUsableFileUrl(fileUrl)) {
        FileUrl = fileUrl;
        return true;
    }
    if (m_fetchCancelled)
        return false; // the user stopped it: nothing to tell
    QString why = m_fetchFailed ? QStringLiteral("The page of this video could not be fetched.")
                                : QStringLiteral("No video was found at this address.");
    if (m_fetchFailed && !m_fetchError.isEmpty())
        why += QStringLiteral("\r\n") + m_fetchError;
    m_store.messages().show(why + QStringLiteral("\r\nPlease, check the link and try again!"),
                     QStringLiteral("Link Error..."), MsgInformation);
    return false;
}

void AddVideoPanel::addResolved(const QString &fileUrl)
{
    if (takeResolved(fileUrl))
        m_store.Download(FileUrl);
}

void AddVideoPanel::openResolved(const QString &fileUrl)
{
    if (takeResolved(fileUrl))
        OpenUrl(FileUrl, m_store.messages());
}

} // namespace vidrona
