#include "resolvertable.h"
#include "getsource.h"

namespace vidrona::resolve {

// One factory per source, each beside its source (sites/, ytdlp/ytdlpresolver.cpp).
std::unique_ptr<Resolver> metacafeResolver();
std::unique_ptr<Resolver> videktaResolver();
std::unique_ptr<Resolver> tvaliResolver();
std::unique_ptr<Resolver> allVideosResolver();
std::unique_ptr<Resolver> youTubeResolver();
std::unique_ptr<Resolver> breakResolver();
std::unique_ptr<Resolver> dailyMotionResolver();
std::unique_ptr<Resolver> googleVideoResolver();
std::unique_ptr<Resolver> ytDlpResolver();

namespace {

std::vector<std::unique_ptr<Resolver>> theTable()
{
    std::vector<std::unique_ptr<Resolver>> table;
    // The old sites, known by characters 8 to 15 of the address, in the
    // order their prefixes are tested; four of them through the link service.
    table.push_back(metacafeResolver());
    table.push_back(videktaResolver());
    table.push_back(tvaliResolver());
    table.push_back(allVideosResolver());
    table.push_back(youTubeResolver());
    table.push_back(breakResolver());
    table.push_back(dailyMotionResolver());
    table.push_back(googleVideoResolver());
    // After the old sites and the link service, which know their addresses
    // for sure: today's web, any other web address, read by Vidrona itself
    // and asked of yt-dlp at the same time.
    table.push_back(ytDlpResolver());
    return table;
}

} // namespace

Refusal unknownAddress()
{
    return refusalOf(Refusal::CheckLink);
}

ResolverTable::ResolverTable(QObject *parent) : QObject(parent), m_resolvers(theTable())
{
    for (const auto &resolver : m_resolvers) {
        Resolver *r = resolver.get();
        connect(r, &Resolver::answered, this, [this, r](const Answer &answer) { relay(r, answer); });
    }
}

ResolverTable::~ResolverTable() = default;

Resolver *ResolverTable::route(const QString &address) const
{
    for (const auto &resolver : m_resolvers)
        if (resolver->takes(address))
            return resolver.get();
    return nullptr;
}

bool ResolverTable::start(const Ask &ask)
{
    if (m_running)
        return false;
    Ask cleaned = ask;
    cleaned.address = pastedAddress(ask.address);
    Resolver *resolver = route(cleaned.address);
    if (!resolver) {
        emit answered(Answer::refused(unknownAddress()));
        return true;
    }
    m_running = resolver;
    resolver->start(cleaned);
    return true;
}

void ResolverTable::cancel()
{
    if (m_running)
        m_running->cancel();
}

void ResolverTable::relay(Resolver *from, const Answer &answer)
{
    if (from != m_running)
        return;
    m_running = nullptr;
    emit answered(answer);
}

} // namespace vidrona::resolve
