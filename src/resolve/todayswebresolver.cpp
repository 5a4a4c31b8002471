// Today's web: any other web address. A page that names its video, the
// file itself, or a video streamed in pieces (an HLS playlist or a DASH
// manifest, judged before it becomes a row). Which of the three an address
// is shows only in its answer, so one probe asks it once and tells them apart.
#include "resolver.h"
#include "videoprobe.h"
#include <memory>

namespace vidrona::resolve {

namespace {

class TodaysWebResolver : public Resolver
{
public:
    TodaysWebResolver() : m_probe(this)
    {
        connect(&m_probe, &VideoProbe::finished, this, &TodaysWebResolver::found);
    }

    QString name() const override { return QStringLiteral("today's web"); }
    bool takes(const QString &address) const override { return VideoProbe::accepts(address); }
    Waiting waiting() const override { return Waiting::Busy; }

    void start(const Ask &ask) override
    {
        // Only an address it does not take is refused: the table never asks so.
        if (!m_probe.start(ask.address, ask.fields, ask.cookieFile))
            emit answered(Answer::refused(QStringLiteral("Please, check the link and try again!")));
    }

    void cancel() override
    {
        if (!m_probe.isRunning())
            return;
        m_probe.cancel();
        emit answered(Answer::cancelled());
    }

private:
    void found(const ProbeResult &result)
    {
        switch (result.kind) {
        case ProbeResult::File:
        case ProbeResult::Stream: // its playlist's address: the fetch joins the pieces into one file
            return emit answered(Answer::found({Found{Found::Row, result.fileUrl, result.fileName}}));
        case ProbeResult::Refused: // live, protected, too large or broken: says which
        case ProbeResult::Nothing: // says what was found instead
            break;
        }
        emit answered(Answer::refused(result.why));
    }

    VideoProbe m_probe;
};

} // namespace

std::unique_ptr<Resolver> todaysWebResolver()
{
    return std::make_unique<TodaysWebResolver>();
}

} // namespace vidrona::resolve
