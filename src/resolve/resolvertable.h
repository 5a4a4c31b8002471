#pragma once
#include "resolver.h"
#include <QObject>
#include <memory>
#include <vector>

namespace vidrona::resolve {

// Every source of video, in the order they are asked whether an address
// is theirs: the first that takes it works it out. One address at a time.
// Adding a source is one resolver added to the list in resolvertable.cpp.
class ResolverTable : public QObject
{
    Q_OBJECT
public:
    explicit ResolverTable(QObject *parent = nullptr);
    ~ResolverTable() override;

    // The resolver that takes address (as pasted), or null.
    Resolver *route(const QString &address) const;
    const std::vector<std::unique_ptr<Resolver>> &resolvers() const { return m_resolvers; }

    // Works out ask.address (blanks and line breaks taken out first);
    // false, with nothing started, while another address is worked out.
    // answered() follows exactly once, from inside start() when nothing
    // needs fetching; an address no resolver takes is refused.
    bool start(const Ask &ask);
    // Stops the address in progress; answered() follows with Cancelled.
    void cancel();
    bool busy() const { return m_running != nullptr; }
    // The resolver at work, or null.
    Resolver *running() const { return m_running; }

signals:
    void answered(const vidrona::resolve::Answer &answer);

private:
    void relay(Resolver *from, const Answer &answer);

    std::vector<std::unique_ptr<Resolver>> m_resolvers;
    Resolver *m_running = nullptr;
};

// What the window says to an address no resolver takes.
Refusal unknownAddress();

} // namespace vidrona::resolve
