#include "failuretexts.h"
#include "steptexts.h"
#include "download/streams/streamlimits.h"
#include "net/httphead.h"

namespace vidrona::ui::mainwindow {

using net::Cause;
using net::Failure;

namespace {

struct Fixed {
    Cause cause;
    const char *text;
};

// The causes whose sentence has no fact in it.
const Fixed FixedTexts[] = {
    {Cause::Cancelled, "Cancelled."},
    {Cause::CannotStart, "Cannot start a transfer."},
    {Cause::NotWebAddress, "Not a web address."},
    {Cause::NotHttpAddress, "not an http address"},
    {Cause::BrokeOff, "The connection broke off before the answer was complete."},
    {Cause::NoAnswer, "No answer came."},
    {Cause::PageBrokeOff, "The connection broke off before the page was complete."},
    {Cause::DiskFull, "No space left on the disk"},
    {Cause::NameTooLong, "The name is too long for this disk"},
    {Cause::NotOpen, "The file could not be written: the file is not open"},
    {Cause::NotWritten, "The file could not be written: the file could not be written to disk"},
    {Cause::PartNotWritten, "The file could not be written: a part could not be written"},
    {Cause::WriteNoFreeName, "The file could not be written: no free name for the file"},
    {Cause::NoFreeName, "no free name for the file"},
    {Cause::NameRefused, "The name cannot be a file name in the download folder"},
    {Cause::JoinedNameTaken, "The joined file could not take its name"},
    {Cause::FragmentFolder, "The folder for the fragments could not be made"},
    {Cause::WebPage, "The server sent a web page instead of the video"},
    {Cause::MoreThanAnnounced, "The server sent more bytes than it announced"},
    {Cause::AnswersDisagree, "the answers do not add up"},
    {Cause::OtherPart, "The server sent another part than asked"},
    {Cause::PartEndedEarly, "A part of the file ended early"},
    {Cause::PartsMissing, "Not every part of the file arrived"},
    {Cause::UnsizedPieceTooLarge, "A piece of this video without a stated length is larger than 32 MB"},
    {Cause::PiecePartMissing, "A part of the piece did not arrive"},
    {Cause::PiecesMissing, "Not every piece arrived"},
    {Cause::PieceKeyBroken, "The key of a piece is not 16 bytes"},
    {Cause::VideoKeyBroken, "The key of the video is not 16 bytes"},
    {Cause::PieceUndecryptable, "The piece cannot be decrypted with its key"},
    {Cause::PartsUnjoinable, "The parts of this video are encoded differently, so they cannot be joined into one file."},
    {Cause::SubtitlesTooLarge, "The subtitles are larger than allowed"},
    {Cause::SubtitlesUnreadable, "the subtitles' playlist cannot be read"},
    {Cause::SubtitlesNone, "The video offers none"},
    {Cause::PageNotReadAgain, "The page could not be read again"},
    {Cause::NeedsYtDlp, "yt-dlp is needed to read this page"},
    {Cause::NoFormatChosen, "No format was chosen for this video"},
    {Cause::SubtitlesNotWebVtt, "the subtitles are not WebVTT"},
    {Cause::StreamLive, "This is a live stream: it has no end to save."},
    {Cause::StreamDrm, "This video is protected (DRM) and cannot be saved."},
    {Cause::PlaylistNoPieces, "The playlist names no piece of video."},
    {Cause::NotHlsPlaylist, "This is not an HLS playlist."},
    {Cause::PlaylistNoVideo, "The playlist names no video."},
    {Cause::NestedVariants, "The playlist names another list of variants."},
    {Cause::VariantNamesPlaylists, "The playlist of this video names further playlists instead of its pieces."},
    {Cause::VariantUnreadable, "The playlist of this video cannot be read."},
    {Cause::NotDashManifest, "This is not a DASH manifest."},
    {Cause::ManifestUncounted, "The manifest does not say how many pieces there are."},
    {Cause::ManifestNoVideo, "The manifest names no video."},
    {Cause::YtDlpSilent, "yt-dlp: it gave no answer"},
    {Cause::YtDlpNotFound, "yt-dlp was not found."},
    {Cause::YtDlpNotStarted, "yt-dlp could not be started."},
    {Cause::YtDlpNoAnswerInMinute, "yt-dlp gave no answer within a minute."},
    {Cause::YtDlpNoAnswerInTime, "yt-dlp gave no answer in time."},
    {Cause::YtDlpAnswerTooLong, "yt-dlp's answer was too long."},
    {Cause::YtDlpAnswerUnreadable, "yt-dlp's answer could not be read."},
    {Cause::NoVideoFormat, "No video format was found at this address."},
    {Cause::SiteDrm, "This video is protected (DRM): only the site's own player may play it."},
    {Cause::PeriodsDiffer, "The parts of this video do not all have the same streams, so they cannot be joined into one file."},
};

const char *fixedText(Cause cause)
{
    for (const Fixed &f : FixedTexts)
        if (f.cause == cause)
            return f.text;
    return nullptr;
}

QString subjectWords(net::Subject subject)
{
    switch (subject) {
    case net::Subject::Playlist: return QStringLiteral("the playlist");
    case net::Subject::Key: return QStringLiteral("the key");
    case net::Subject::Subtitles: return QStringLiteral("the subtitles");
    case net::Subject::None: break;
    }
    return QString();
}

// A page's bound: whole MB when it is some, else bytes.
QString pageSize(qint64 bytes)
{
    return bytes % (1024 * 1024) == 0 ? QStringLiteral("%1 MB").arg(bytes / (1024 * 1024))
                                      : QStringLiteral("%1 bytes").arg(bytes);
}

// The step that failed, in words; else the system's words.
QString stepOrDetail(const Failure &f)
{
    return f.step.isEmpty() ? f.detail : stepText(f.step);
}

// The sentences of a playlist or manifest judged that carry a fact.
QString streamText(const Failure &f)
{
    using namespace download::streams;
    switch (f.cause) {
    case Cause::StreamProtected: return QStringLiteral("This video is protected (%1) and cannot be saved.").arg(f.detail);
    case Cause::PlaylistPieceTooLarge:
        return QStringLiteral("A piece of this video is larger than %1 GB.").arg(MaxPieceBytes >> 30);
    case Cause::TooManyPieces: return QStringLiteral("The video has more than %1 pieces.").arg(f.count);
    case Cause::TooManyParts: return QStringLiteral("The video has more than %1 parts.").arg(f.count);
    case Cause::ManifestUnreadable: return QStringLiteral("The manifest cannot be read: %1").arg(f.detail);
    case Cause::ManifestTooLarge: return QStringLiteral("The manifest is larger than %1 MB.").arg(MaxPlaylistBytes >> 20);
    case Cause::YtDlpSaid: return QStringLiteral("yt-dlp: ") + f.detail;
    case Cause::UnreadProtocol:
        return QStringLiteral("This video is offered only over %1, which Vidrona does not fetch.").arg(f.detail);
    default: return f.detail; // the system's words (SystemSaid), or the words libcurl gave
    }
}

// The sentences of the file, its pieces and its parts that carry a fact.
QString fileText(const Failure &f)
{
    switch (f.cause) {
    case Cause::NoSpace:
        return QStringLiteral("Not enough free space: needs %1, %2 free").arg(decimalSize(f.bytes), decimalSize(f.ofBytes));
    case Cause::WriteFault: return QStringLiteral("The file could not be written: ") + stepOrDetail(f);
    case Cause::NotPlainFile: return QStringLiteral("The file could not be written: ") + notPlainWords();
    case Cause::BodyShort: return QStringLiteral("body of %1 bytes, %2 announced").arg(f.bytes).arg(f.ofBytes);
    case Cause::PieceEndedEarly: return QStringLiteral("The piece ended after %1 of %2 bytes").arg(f.bytes).arg(f.ofBytes);
    case Cause::PlaylistTooLarge:
        return QStringLiteral("The playlist is larger than %1 MB.").arg(download::streams::MaxPlaylistBytes >> 20);
    case Cause::PieceTooLarge:
        return QStringLiteral("A piece of this video is larger than %1 GB").arg(download::streams::MaxPieceBytes >> 30);
    case Cause::TooLargeToFetch: {
        QString text = QStringLiteral("%1 is larger than allowed").arg(subjectWords(f.subject));
        text[0] = text[0].toUpper();
        return text;
    }
    case Cause::PiecesUnjoinable:
        return QStringLiteral("The pieces cannot be joined into one video (%1); the next try fetches them again.")
            .arg(stepOrDetail(f));
    case Cause::StepFailed: return stepText(f.step);
    case Cause::SubtitlesFormat: return QStringLiteral("The subtitles are %1, which Vidrona does not read").arg(f.detail);
    case Cause::PieceFolderNotMade: return QStringLiteral("The folder for the pieces cannot be made: %1").arg(f.detail);
    default: return streamText(f);
    }
}

// The sentences of the transfer that carry a fact.
QString transferText(const Failure &f)
{
    switch (f.cause) {
    case Cause::AddressRefused:
        return QStringLiteral("The address %1 is in a private network or on this computer, and was refused.").arg(f.detail);
    case Cause::RedirectRefused: return QStringLiteral("A redirect to %1 was refused.").arg(f.detail);
    case Cause::TooManyRedirects: return QStringLiteral("The address redirects more than %1 times.").arg(f.count);
    case Cause::BadHead:
        return QStringLiteral("The server's answer has no valid header, or one larger than %1 KB or of more than %2 lines.")
            .arg(net::MaxHeadBytes / 1024)
            .arg(net::MaxHeadLines);
    case Cause::Garbled: return QStringLiteral("The server's answer is broken: %1").arg(f.detail);
    case Cause::HttpStatus: return QStringLiteral("The server answered %1 %2").arg(f.status).arg(f.detail).trimmed();
    case Cause::Stalled: return QStringLiteral("No data came for %1 seconds").arg(f.ms / 1000.0);
    case Cause::TimedOut: return QStringLiteral("The answer did not arrive within %1 seconds.").arg(f.ms / 1000.0);
    case Cause::PageTooLarge: return QStringLiteral("The page is larger than %1.").arg(pageSize(f.bytes));
    case Cause::PageTimedOut: return QStringLiteral("The page did not arrive within %1 seconds.").arg(f.ms / 1000.0);
    default: return fileText(f);
    }
}

// The cause's own sentence, before what it was fetching is named.
QString causeText(const Failure &f)
{
    if (const char *fixed = fixedText(f.cause))
        return QString::fromLatin1(fixed);
    return transferText(f);
}

// Which piece of a stream failed, so the user is told which one.
QString withPiece(const Failure &f, const QString &text)
{
    const QString which = QStringLiteral("piece %1 of %2").arg(f.piece + 1).arg(f.pieces);
    if (f.reason == net::Reason::Stalled)
        return QStringLiteral("No data came for %1 seconds").arg(f.ms / 1000.0) + QStringLiteral(" for ") + which;
    if (f.reason == net::Reason::HttpError)
        return text + QStringLiteral(" for ") + which;
    return QStringLiteral("%1 (%2)").arg(text, which);
}

} // namespace

QString notPlainWords()
{
    return QStringLiteral("not a plain file");
}

QString failureText(const Failure &failure)
{
    QString text = causeText(failure);
    if (failure.reason == net::Reason::Cancelled)
        return text;
    if (failure.subject != net::Subject::None && failure.cause != Cause::TooLargeToFetch)
        text += QStringLiteral(" for ") + subjectWords(failure.subject);
    if (failure.piece >= 0)
        text = withPiece(failure, text);
    return text;
}

QString decimalSize(qint64 bytes)
{
    static const char *const units[] = {"B", "kB", "MB", "GB", "TB"};
    constexpr int Last = 4;
    constexpr int FirstWithDecimal = 3;
    double value = double(qMax<qint64>(0, bytes));
    int unit = 0;
    // The unit is chosen on the rounded figure: 999,999 B reads "1 MB".
    const auto shown = [&] { return unit >= FirstWithDecimal ? qRound64(value * 10) / 10.0 : double(qRound64(value)); };
    while (unit < Last && shown() >= 1000) {
        value /= 1000;
        ++unit;
    }
    const QString figure = unit >= FirstWithDecimal ? QString::number(shown(), 'f', 1) : QString::number(qint64(shown()));
    return figure + QLatin1Char(' ') + QLatin1String(units[unit]);
}

} // namespace vidrona::ui::mainwindow
