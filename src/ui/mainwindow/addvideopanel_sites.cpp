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
    readSitePage([this](const QString &page) {
        const auto xmlUrl = resolve::TvaliXmlUrl(page);
        if (!xmlUrl)
            return addResolved(QString());
        fetchText(*xmlUrl, true, [this](const QString &xml) { addResolved(orEmpty(resolve::TvaliFile(xml))); });
    });
}

void AddVideoPanel::AllVideos()
{
    readSitePage([this](const QString &page) { addResolved(orEmpty(resolve::AllVideos(page))); });
}

void AddVideoPanel::Metacafe()
{
    askLinkService([this](const QString &answer) { addResolved(orEmpty(resolve::Metacafe(answer))); });
}

void AddVideoPanel::Break()
{
    askLinkService([this](const QString &answer) {
        addResolved(orEmpty(resolve::Break(answer, resolve::Quality(selectedQuality()))));
    });
}

void AddVideoPanel::DailyMotion()
{
    askLinkService([this](const QString &answer) { openResolved(orEmpty(resolve::DailyMotion(answer))); });
}

void AddVideoPanel::Google()
{
    askLinkService([this](const QString &answer) {
        openResolved(orEmpty(resolve::Google(answer, resolve::Quality(selectedQuality()))));
    });
}

// The hourglass from the site's page until the resolver is done (its next
// fetch included); the page stays in the hidden buffer after the resolver
// is done with it.
void AddVideoPanel::readSitePage(PageThen then)
{
    m_ui.txtUrl->window()->setCursor(Qt::WaitCursor);
    fetchText(m_ui.txtUrl->text(), false, [this, then = std::move(then)](const QString &page) {
        m_ui.txtWebSource->setPlainText(page);
        then(page);
    });
}

void AddVideoPanel::askLinkService(PageThen then)
{
    fetchText(resolve::ServiceRequest(m_ui.txtUrl->text()), true, std::move(then));
}

// Asks for one page (or the service's answer); then goes on with its text
// once it is in, while the window goes on meanwhile. Esc cancels.
void AddVideoPanel::fetchText(const QString &address, bool viaService, PageThen then)
{
    m_escape->setEnabled(true);
    m_then = std::move(then);
    // The address typed is the user's to reach; one a page names is not.
    m_page.setUserNamed(address == m_ui.txtUrl->text());
    if (viaService)
        OpenURL(m_page, address);
    else
        FetchPage(m_page, address);
}

// Notes why nothing came, for the message, and goes on with the text.
void AddVideoPanel::pageArrived(const PageResult &result)
{
    m_escape->setEnabled(false);
    m_fetchCancelled = result.outcome == PageResult::Cancelled;
    m_fetchError = result.failure.text;
    m_fetchFailed = !result.fetched() || result.body.isEmpty();
    if (PageThen then = std::exchange(m_then, {}))
        then(result.fetched() ? QString::fromLatin1(result.body) : QString());
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
    m_ui.txtUrl->window()->unsetCursor(); // nothing more is waited for
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
    endResolving();
}

void AddVideoPanel::openResolved(const QString &fileUrl)
{
    if (takeResolved(fileUrl))
        OpenUrl(FileUrl, m_store.messages());
    endResolving();
}

} // namespace vidrona
