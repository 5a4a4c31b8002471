#include "formatsreader.h"
#include "download/sitevideo/formats.h"
#include "finder.h"
#include "runner.h"

namespace vidrona::resolve::ytdlp {

QByteArray FormatsReader::readAgain(const QString &pageUrl, const QByteArray &quality, const std::atomic<bool> &cancel,
                                     net::Failure *why, const QString &picked)
{
    const RunResult result = runBlocking(findProgram(settings()), pageUrl, false, cancel);
    if (result.outcome != RunResult::Answered) {
        *why = result.why;
        return {};
    }
    const std::optional<download::sitevideo::Info> info = download::sitevideo::parseInfo(result.json);
    if (!info) {
        *why = net::fail(net::Reason::NotTheVideo, net::Cause::YtDlpAnswerUnreadable);
        return {};
    }
    download::sitevideo::Wish wish = download::sitevideo::Wish::of(download::streams::QualityChoice::fromKey(quality));
    wish.pickedId = picked;
    const download::sitevideo::Choice choice = download::sitevideo::choose(*info, wish);
    if (!choice.ok()) {
        *why = choice.refusal;
        return {};
    }
    return download::sitevideo::choiceText(choice);
}

} // namespace vidrona::resolve::ytdlp
