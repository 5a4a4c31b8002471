#pragma once
#include "download/sitevideo/formats.h"
#include "resolve/resolver.h"
#include "resolve/videoprobe.h"
#include "finder.h"
#include "runner.h"

namespace vidrona::resolve::ytdlp {

// Any other web address, asked of yt-dlp and of Vidrona's own page reading
// at the same time. yt-dlp's answer wins when one of its site extractors
// gave it; when it knows the page only through its generic extractor, or
// fails, the page reading decides as it always did. A page the reading
// saves itself is answered as soon as the reading is done (yt-dlp, which
// needs longer than that just to start, is ended), so plain pages stay as
// fast as before; yt-dlp's answer counts when it comes first, or when the
// reading finds nothing or refuses. Without yt-dlp it is the reading alone.
class YtDlpResolver : public Resolver
{
    Q_OBJECT
public:
    YtDlpResolver();

    QString name() const override { return QStringLiteral("today's web"); }
    bool takes(const QString &address) const override { return VideoProbe::accepts(address); }
    Waiting waiting() const override { return Waiting::Busy; }
    void start(const Ask &ask) override;
    void cancel() override;

    // For tests: the yt-dlp run of the address in progress.
    const ytdlp::Run &run() const { return m_run; }

private:
    void probed(const ProbeResult &result);
    void ran(const ytdlp::RunResult &result);
    void decide();
    void finish(const Answer &answer);
    Answer probeAnswer() const;

    VideoProbe m_probe;
    ytdlp::Run m_run;
    Ask m_ask;
    bool m_active = false;
    bool m_haveYtDlp = false;
    std::optional<ProbeResult> m_probed;
    std::optional<ytdlp::RunResult> m_ran;
};

// The answer for yt-dlp's JSON about address: a row per video (its page's
// address, its formats chosen by wish and kept with it, its name saying
// the choice as a stream's does: "Talk (720p).mp4", and all its formats
// offered for a window that asks which), or why not.
Answer answerFromInfo(const download::sitevideo::Info &info, const QString &address, const ytdlp::SaveWish &wish = {});
// What yt-dlp said of the video, for its file's own tags; page is its address.
download::media::Tags tagsFromInfo(const download::sitevideo::Info &info, const QString &page);

// Whether yt-dlp's JSON came from one of its site extractors.
bool isSiteAnswer(const download::sitevideo::Info &info);

} // namespace vidrona::resolve::ytdlp
