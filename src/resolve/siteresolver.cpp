#include "siteresolver.h"
#include "getsource.h"

namespace vidrona::resolve {

using net::PageRequest;
using net::PageResult;

SiteResolver::SiteResolver(const Site &site, QObject *parent) : Resolver(parent), m_site(site)
{
    connect(&m_page, &PageRequest::finished, this, &SiteResolver::pageArrived);
}

bool SiteResolver::takes(const QString &address) const
{
    return siteKey(address) == m_site.prefix();
}

void SiteResolver::start(const Ask &ask)
{
    m_ask = ask;
    m_running = true;
    m_fetchFailed = false;
    m_fetchError = {};
    work();
}

void SiteResolver::cancel()
{
    if (!m_running)
        return;
    m_then = {};
    m_page.cancel(); // its Cancelled result finds nothing waiting for it
    answer(Answer::cancelled());
}

void SiteResolver::readSitePage(Then then)
{
    fetchText(m_ask.address, false, std::move(then));
}

void SiteResolver::askLinkService(Then then)
{
    fetchText(ServiceRequest(m_ask.address), true, std::move(then));
}

void SiteResolver::fetchText(const QString &address, bool viaService, Then then)
{
    m_then = std::move(then);
    // The address typed is the user's to reach; one a page names is not.
    m_page.setUserNamed(address == m_ask.address);
    if (viaService)
        OpenURL(m_page, address);
    else
        FetchPage(m_page, address);
}

// Notes why nothing came, for the refusal, and goes on with the text.
void SiteResolver::pageArrived(const PageResult &result)
{
    Then then = std::exchange(m_then, {});
    if (!then)
        return;
    if (result.outcome == PageResult::Cancelled)
        return answer(Answer::cancelled());
    m_fetchError = result.failure;
    m_fetchFailed = !result.fetched() || result.body.isEmpty();
    then(result.fetched() ? QString::fromLatin1(result.body) : QString());
}

void SiteResolver::answer(const Answer &answer)
{
    m_running = false;
    emit answered(answer);
}

void SiteResolver::answerWith(const std::optional<QString> &fileUrl, Found::Kind kind)
{
    if (fileUrl && isUsableFileUrl(*fileUrl))
        return answer(Answer::found({Found{kind, *fileUrl, std::nullopt, {}, {}}}));
    Refusal refusal = m_fetchFailed ? refusalOf(Refusal::PageNotFetched, m_fetchError)
                                    : refusalOf(Refusal::NoVideoAtAddress);
    refusal.checkLink = true;
    answer(Answer::refused(refusal));
}

LinkServiceResolver::LinkServiceResolver(const Site &site, Cut cut, Found::Kind kind, QObject *parent)
    : SiteResolver(site, parent), m_cut(std::move(cut)), m_kind(kind)
{
}

void LinkServiceResolver::work()
{
    askLinkService([this](const QString &answer) { answerWith(m_cut(answer, ask().quality), m_kind); });
}

} // namespace vidrona::resolve
