#include "refusaltexts.h"
#include "failuretexts.h"

namespace vidrona::ui::mainwindow {

using resolve::Refusal;

namespace {

// What an answer on the way said, else the failed fetch's sentence.
QString noteText(const Refusal &r)
{
    const QString answered = QStringLiteral("the server answered %1").arg(r.status);
    switch (r.note) {
    case Refusal::NoAnswerWithin: return QStringLiteral("No answer came within %1 seconds.").arg(r.seconds);
    case Refusal::AddressIsPage: return QStringLiteral("the address it names is a web page, not a video file.");
    case Refusal::NeedsLogin: return QStringLiteral("This page needs a login (%1).").arg(answered);
    case Refusal::ServerError: return QStringLiteral("The server had an error (%1).").arg(answered);
    case Refusal::NothingThere: return QStringLiteral("Nothing was found there (%1).").arg(answered);
    case Refusal::NoNote: break;
    }
    return r.failure.failed() ? failureText(r.failure) : QString();
}

QString kindText(const Refusal &r)
{
    switch (r.kind) {
    case Refusal::Failed: return noteText(r);
    case Refusal::CheckLink: return QStringLiteral("Please, check the link and try again!");
    case Refusal::PlaylistEmpty: return QStringLiteral("This playlist has no videos.");
    case Refusal::PageNotFetched:
        return QStringLiteral("The page of this video could not be fetched.")
               + (r.failure.failed() ? QStringLiteral("\r\n") + failureText(r.failure) : QString());
    case Refusal::NoVideoAtAddress: return QStringLiteral("No video was found at this address.");
    case Refusal::NoVideoOnPage: return QStringLiteral("No video was found on this page.");
    case Refusal::OwnPlayerOnly:
        return QStringLiteral("This video is only played by the page's own player: Vidrona cannot save it.");
    case Refusal::NamedUnfetched: {
        const QString why = noteText(r);
        return QStringLiteral("The page names a video, but it could not be fetched: ")
               + (why.isEmpty() ? QStringLiteral("none of the addresses it names is a video file.") : why);
    }
    }
    return QString();
}

} // namespace

QString refusalText(const Refusal &refusal)
{
    QString text = kindText(refusal);
    if (refusal.checkLink)
        text += QStringLiteral("\r\nPlease, check the link and try again!");
    if (refusal.askYtDlp)
        text += QStringLiteral("\r\nWith yt-dlp installed, Vidrona could ask it about this page.");
    return text;
}

QString questionText(const resolve::Answer::Question &question)
{
    if (!question.asked)
        return QString();
    QString text = QStringLiteral("This playlist has %1 videos. Add them all?").arg(question.videos);
    if (question.videos > question.added)
        text += QStringLiteral("\r\nAt most %1 are added; %2 more are left out.")
                    .arg(question.added)
                    .arg(question.videos - question.added);
    return text;
}

} // namespace vidrona::ui::mainwindow
