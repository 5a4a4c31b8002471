#include "ytdlpresolver.h"
#include "siteoffer.h"
#include "download/filenames.h"

namespace vidrona::resolve::ytdlp {

using download::fileNameFrom;

YtDlpResolver::YtDlpResolver() : m_probe(this), m_run(this)
{
    connect(&m_probe, &VideoProbe::finished, this, &YtDlpResolver::probed);
    connect(&m_run, &ytdlp::Run::finished, this, &YtDlpResolver::ran);
}

void YtDlpResolver::start(const Ask &ask)
{
    m_ask = ask;
    m_probed.reset();
    m_ran.reset();
    m_probe.setQuality(ask.qualityKey);
    if (!m_probe.start(ask.address, ask.fields, ask.cookieFile)) // the table never asks one it does not take
        return emit answered(Answer::refused(refusalOf(Refusal::CheckLink)));
    m_active = true;
    const QString program = ytdlp::findProgram(ytdlp::settings());
    m_haveYtDlp = !program.isEmpty();
    if (m_haveYtDlp && !m_run.start(program, ask.address, false))
        m_haveYtDlp = false;
}

void YtDlpResolver::cancel()
{
    if (!m_active)
        return;
    m_probe.cancel();
    m_run.cancel();
    finish(Answer::cancelled());
}

void YtDlpResolver::probed(const ProbeResult &result)
{
    m_probed = result;
    decide();
}

void YtDlpResolver::ran(const ytdlp::RunResult &result)
{
    if (result.outcome == ytdlp::RunResult::Cancelled)
        return; // ended by this resolver, which has answered already
    m_ran = result;
    decide();
}

// Which answer is given, as soon as it is known.
void YtDlpResolver::decide()
{
    if (!m_active)
        return;
    if (m_ran && m_ran->outcome == ytdlp::RunResult::Answered) {
        const std::optional<download::sitevideo::Info> info = download::sitevideo::parseInfo(m_ran->json);
        if (info && isSiteAnswer(*info)) {
            m_probe.cancel();
            return finish(answerFromInfo(*info, m_ask.address, ytdlp::saveWish()));
        }
    }
    // A site extractor that refuses knows the page better than any reading of it.
    if (m_ran && m_ran->outcome == ytdlp::RunResult::Refused && !m_ran->extractor.isEmpty()
        && m_ran->extractor != QLatin1String("generic")) {
        m_probe.cancel();
        return finish(Answer::refused(m_ran->why));
    }
    if (!m_probed)
        return;
    const bool saved = m_probed->kind == ProbeResult::File || m_probed->kind == ProbeResult::Stream;
    if (saved)
        m_run.cancel(); // its Cancelled finds nobody waiting
    if (saved || !m_run.isRunning())
        finish(probeAnswer());
}

Answer YtDlpResolver::probeAnswer() const
{
    const ProbeResult &r = *m_probed;
    if (r.kind == ProbeResult::File || r.kind == ProbeResult::Stream)
        return Answer::found({Found{Found::Row, r.fileUrl, r.fileName, {}, r.offer, r.tags}});
    Refusal refusal = r.refusal;
    refusal.askYtDlp = r.kind == ProbeResult::Nothing && !m_haveYtDlp;
    return Answer::refused(refusal);
}

void YtDlpResolver::finish(const Answer &answer)
{
    m_active = false;
    emit answered(answer);
}

bool isSiteAnswer(const download::sitevideo::Info &info)
{
    return !info.extractor.isEmpty() && info.extractor.compare(QLatin1String("generic"), Qt::CaseInsensitive) != 0;
}

namespace {

// One row per video, in order, each read again when it is fetched, by the
// choice it was added with.
Answer playlistAnswer(const download::sitevideo::Info &info, const download::streams::QualityChoice &wanted, bool mp3)
{
    if (info.entries.isEmpty())
        return Answer::refused(refusalOf(Refusal::PlaylistEmpty));
    QList<Found> rows;
    download::sitevideo::Choice unread = download::sitevideo::Choice::readAtFetch();
    if (!wanted.isBest())
        unread.quality = wanted.key();
    const QByteArray later = download::sitevideo::choiceText(unread);
    for (const download::sitevideo::Entry &e : info.entries) {
        const QString title = e.title.isEmpty() ? e.url.section(QLatin1Char('/'), -1) : e.title;
        download::media::Tags tags; // all a playlist says of its videos
        tags.title = e.title;
        tags.address = e.url;
        rows.append(Found{Found::Row, e.url, download::streams::nameWithChoice(fileNameFrom(title, QStringLiteral("mp4")), wanted, mp3), later, {}, tags});
    }
    Answer answer = Answer::found(rows);
    answer.question = {true, info.entryCount, rows.size()};
    return answer;
}

} // namespace

download::media::Tags tagsFromInfo(const download::sitevideo::Info &info, const QString &page)
{
    download::media::Tags tags;
    tags.title = info.title;
    tags.artist = info.artist.isEmpty() ? info.uploader : info.artist;
    tags.date = info.uploadDate;
    tags.description = info.description;
    tags.address = page;
    tags.coverUrl = info.thumbnail;
    return download::media::bounded(tags);
}

Answer answerFromInfo(const download::sitevideo::Info &info, const QString &address, const ytdlp::SaveWish &wish)
{
    const download::streams::QualityChoice wanted = download::streams::QualityChoice::fromKey(wish.quality);
    if (info.playlist)
        return playlistAnswer(info, wanted, wish.mp3);
    const download::sitevideo::Choice choice = download::sitevideo::choose(info, download::sitevideo::Wish::of(wanted));
    if (!choice.ok())
        return Answer::refused(choice.refusal);
    const QString page = info.webpageUrl.isEmpty() ? address : info.webpageUrl;
    const QString name = download::streams::nameWithChoice(fileNameFrom(info.title.isEmpty() ? info.id : info.title, choice.container),
                                                 wanted, wish.mp3);
    return Answer::found({Found{Found::Row, page, name, download::sitevideo::choiceText(choice), siteOffer(info, choice),
                                tagsFromInfo(info, page)}});
}

} // namespace vidrona::resolve::ytdlp

namespace vidrona::resolve {
using ytdlp::YtDlpResolver;
std::unique_ptr<Resolver> ytDlpResolver()
{
    return std::make_unique<YtDlpResolver>();
}
} // namespace vidrona::resolve
