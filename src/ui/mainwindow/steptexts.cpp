#include "steptexts.h"
#include "failuretexts.h"

namespace vidrona::ui::mainwindow {

using net::Step;

namespace {

struct Worded {
    Step::Kind kind;
    const char *text;
};

// The steps told by one sentence, libav's words after it when it gave some.
const Worded StepTexts[] = {
    {Step::OutOfMemory, "Out of memory."},
    {Step::Cancelled, "Cancelled."},
    {Step::PieceUnreadable, "A piece cannot be read"},
    {Step::PartEncodedDifferently, "a part of the video is encoded differently from the part before it"},
    {Step::PartLacksStream, "a part of the video lacks a stream the part before it has"},
    {Step::FileUnwritable, "The file cannot be written"},
    {Step::SubtitlesUnwritable, "The subtitles cannot be written"},
    {Step::NoStreams, "The pieces hold neither video nor sound."},
    {Step::FileUnfinished, "The file cannot be finished"},
    {Step::FormatUnreadable, "A format cannot be read"},
    {Step::JoinedUnwritable, "The joined file cannot be written"},
    {Step::SubtitlesNotHere, "The subtitles cannot go into this file."},
    {Step::NoSound, "The video holds no sound."},
    {Step::SoundUnwritable, "The sound cannot be written"},
    {Step::VideoUnreadable, "The video cannot be read"},
    {Step::SoundUnfinished, "The sound cannot be finished"},
    {Step::SoundUnreadable, "The sound cannot be read"},
    {Step::NoDecodableSound, "The video holds no sound that can be decoded."},
    {Step::SoundUndecodable, "The sound cannot be decoded"},
    {Step::NoMp3Encoder, "This system's libavcodec has no MP3 encoder (LAME)."},
    {Step::Mp3EncoderUnstarted, "The MP3 encoder cannot start"},
    {Step::SoundUnfitForMp3, "The sound cannot be converted for the MP3 encoder."},
    {Step::Mp3Unwritable, "The MP3 cannot be written"},
    {Step::Mp3Unencodable, "The MP3 cannot be encoded"},
    {Step::Mp3Unfinished, "The MP3 cannot be finished"},
    {Step::SoundUnconvertible, "The sound cannot be converted"},
};

} // namespace

QString stepText(const Step &step)
{
    switch (step.kind) {
    case Step::None: return QString();
    case Step::PieceFile: return QStringLiteral("%1: %2").arg(step.path, step.detail);
    case Step::PieceNotPlain: return QStringLiteral("%1: %2").arg(step.path, notPlainWords());
    case Step::PieceCutShort: return QStringLiteral("%1: a piece is cut short").arg(step.path);
    case Step::SystemWords: return step.detail;
    case Step::TooManyEncodings:
        return QStringLiteral("the video changes its encoding more than %1 times").arg(step.count);
    default: break;
    }
    for (const Worded &w : StepTexts)
        if (w.kind == step.kind)
            return step.detail.isEmpty() ? QString::fromLatin1(w.text)
                                         : QString::fromLatin1(w.text) + QStringLiteral(": ") + step.detail;
    return step.detail;
}

} // namespace vidrona::ui::mainwindow
