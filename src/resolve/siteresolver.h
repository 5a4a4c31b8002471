#pragma once
#include "net/pagerequest.h"
#include "resolver.h"
#include "site.h"
#include <functional>

namespace vidrona::resolve {

using net::PageRequest;
using net::PageResult;

// A resolver for one of the old sites, known by characters 8 to 15 of the
// address (its site key) matching the site's prefix exactly. It reads what
// the site needs, one page at a time, and cuts the file address out.
class SiteResolver : public Resolver
{
    Q_OBJECT
public:
    explicit SiteResolver(const Site &site, QObject *parent = nullptr);

    QString name() const override { return m_site.name; }
    bool takes(const QString &address) const override;
    void start(const Ask &ask) override;
    void cancel() override;

protected:
    using Then = std::function<void(const QString &text)>;
    // What the site does with the address once asked.
    virtual void work() = 0;
    // The typed page, as the browser of the time read it.
    void readSitePage(Then then);
    // The link service's answer about the typed page.
    void askLinkService(Then then);
    // Asks for one page (viaService: an address without a scheme is taken
    // as http), then goes on with its text, empty when it failed.
    void fetchText(const QString &address, bool viaService, Then then);
    // The answer: a usable file address becomes a Found of that kind, else
    // the refusal says whether the page could not be fetched or held no video.
    void answerWith(const std::optional<QString> &fileUrl, Found::Kind kind = Found::Row);
    void answer(const Answer &answer);

    const Ask &ask() const { return m_ask; }

private:
    void pageArrived(const PageResult &result);

    const Site &m_site;
    Ask m_ask;
    bool m_running = false;
    PageRequest m_page;
    Then m_then;
    bool m_fetchFailed = false; // the last page or answer came back empty
    net::Failure m_fetchError;  // why it failed
};

// The old sites whose file address comes from the link service's answer
// about their page: Metacafe, Break, DailyMotion and Google Video. Only
// how the answer is cut, and where the file goes, differ.
class LinkServiceResolver : public SiteResolver
{
    Q_OBJECT
public:
    using Cut = std::function<std::optional<QString>(const QString &answer, Quality quality)>;
    LinkServiceResolver(const Site &site, Cut cut, Found::Kind kind, QObject *parent = nullptr);

protected:
    void work() override;

private:
    Cut m_cut;
    Found::Kind m_kind;
};

} // namespace vidrona::resolve
