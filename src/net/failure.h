#pragma once
#include <QMetaType>
#include <QString>

namespace vidrona::net {

// Why a fetch did not bring what it asked for: a code the program acts on
// (retry, start over, tell the user). The window writes the sentence the
// user reads from the cause and the facts beside it; nothing below the
// window words a failure.
enum class Reason {
    None,              // it did
    Cancelled,         // stopped by the program or the user
    NotWebAddress,     // not http or https, or no host
    AddressRefused,    // a private or local address the user did not name
    CannotConnect,     // name not found, connection refused or reset
    Stalled,           // nothing arrived for the idle time
    TimedOut,          // the whole fetch took longer than allowed
    HeadTooLarge,      // an answer head past its bytes or lines
    TooLarge,          // a body past the size bound
    BrokenAnswer,      // not a readable HTTP answer, or a broken encoding
    BrokeOff,          // the answer ended before its announced end
    HttpError,         // the server answered with an error status
    TooManyRedirects,
    RedirectRefused,   // a redirect the rule does not follow
    AnswersDoNotAddUp, // kept bytes and the server's answers disagree
    NotTheVideo,       // a web page where a video file was asked for
    DiskFull,
    NoSpace,           // the file's length does not fit in the free space
    WriteFailed,       // any other fault writing the file
    Other,
};

// What exactly went wrong, finer than the reason (which drives retries):
// one cause, one sentence in the window.
enum class Cause {
    None,
    SystemSaid,       // detail: the system's words about a file, told as they are
    Cancelled,
    // The transfer
    CannotStart,      // libcurl could not begin a transfer
    NotWebAddress,    // not http or https, or no host
    NotHttpAddress,   // the file's address is not http
    AddressRefused,   // detail: the host refused
    RedirectRefused,  // detail: where the redirect went
    TooManyRedirects, // count: the hops allowed
    BadHead,          // no valid head, or one past the head bounds
    ConnectFailed,    // detail: libcurl's words
    BrokeOff,         // the connection ended before the answer did
    Garbled,          // detail: libcurl's words about the broken answer
    NoAnswer,         // the exchange ended with no answer head
    HttpStatus,       // status and detail, the reason phrase
    Stalled,          // ms: the idle time
    TimedOut,         // ms: the whole time allowed
    PageTooLarge,     // bytes: the page's bound
    PageBrokeOff,
    PageTimedOut,     // ms: the whole time allowed
    // The file and the disk
    NoSpace,          // bytes needed, ofBytes free
    DiskFull,
    NameTooLong,
    WriteFault,       // detail: the system's words
    NotPlainFile,     // a link, a pipe, a device or a folder holds a kept file's name
    NotOpen,          // the file to write is not open
    NotWritten,       // the bytes could not be written to disk
    PartNotWritten,   // a part of the file could not be written
    WriteNoFreeName,  // no free name to put the written file at
    NoFreeName,
    NameRefused,      // the row's name is no file name in the folder
    JoinedNameTaken,  // the joined file could not take its name
    FragmentFolder,   // the fragments' folder could not be made
    // The answers
    WebPage,          // a web page instead of the video
    MoreThanAnnounced,
    BodyShort,        // bytes received, ofBytes announced
    AnswersDisagree,
    OtherPart,        // the server sent another part than asked
    PartEndedEarly,
    PartsMissing,
    PlaylistTooLarge,
    // Streams of pieces
    PieceEndedEarly,  // bytes received, ofBytes the piece's size
    PieceTooLarge,
    UnsizedPieceTooLarge, // a piece without a stated length
    PiecePartMissing,
    PiecesMissing,
    PieceKeyBroken,   // a piece's key is not 16 bytes
    VideoKeyBroken,   // the video's key is not 16 bytes
    PieceUndecryptable,
    TooLargeToFetch,  // subject: what was larger than allowed
    PartsUnjoinable,  // encoded differently
    PiecesUnjoinable, // step: why the join failed
    StepFailed,       // step: a join, a sound's extraction or an MP3 encoding that failed, told alone
    PieceFolderNotMade, // detail: the folder's path
    // Playlists and manifests judged (the same words for a fetch and a check)
    StreamLive,       // still being written: no end to save
    StreamProtected,  // detail: the playlist's key method
    StreamDrm,        // a manifest's content protection
    PlaylistNoPieces, // the playlist names no piece of video
    PlaylistPieceTooLarge, // a piece past the bound a playlist may state
    NotHlsPlaylist,
    TooManyPieces,    // count: the pieces allowed
    PlaylistNoVideo,  // a master playlist without variants
    NestedVariants,   // a variant's playlist names variants again
    VariantNamesPlaylists, // a variant judged before the fetch names playlists
    VariantUnreadable, // a variant judged before the fetch is no playlist
    NotDashManifest,
    TooManyParts,     // count: the manifest's periods allowed
    ManifestUnreadable, // detail: the XML reader's words
    ManifestUncounted, // no way to tell how many pieces there are
    ManifestNoVideo,
    ManifestTooLarge,
    PeriodsDiffer,    // the periods do not all have the same streams
    // Subtitles and pages read again
    SubtitlesTooLarge,
    SubtitlesUnreadable, // the subtitles' playlist cannot be read
    SubtitlesFormat,  // detail: the format's name
    SubtitlesNone,    // the video offers none
    SubtitlesNotWebVtt,
    PageNotReadAgain,
    NeedsYtDlp,
    NoFormatChosen,
    // yt-dlp's answers
    YtDlpSaid,        // detail: the line yt-dlp gave as its reason
    YtDlpSilent,      // it gave no line as its reason
    YtDlpNotFound,
    YtDlpNotStarted,
    YtDlpNoAnswerInMinute, // a run in the window's time
    YtDlpNoAnswerInTime,   // a run for the fetch, waited for
    YtDlpAnswerTooLong,
    YtDlpAnswerUnreadable,
    // The formats of a site's video, chosen
    NoVideoFormat,
    SiteDrm,          // only the site's own player may play it
    UnreadProtocol,   // detail: the protocol it is offered over
};

// A step of a join, a sound's extraction or an MP3 encoding that did not
// work out: the window words it, alone or within the failure's sentence.
struct Step {
    enum Kind {
        None,
        OutOfMemory,
        Cancelled,
        PieceUnreadable,   // detail: libav's words
        PieceFile,         // path: the piece's file; detail: the system's words
        PieceNotPlain,     // path: the piece's file, where a link, pipe or folder stands
        PieceCutShort,     // path: the piece's file
        SystemWords,       // detail: the system's words, told as they are
        PartEncodedDifferently,
        PartLacksStream,
        FileUnwritable,    // detail: libav's words
        SubtitlesUnwritable, // detail: libav's words
        NoStreams,         // neither video nor sound in the pieces
        FileUnfinished,    // detail: libav's words
        TooManyEncodings,  // count: the changes allowed
        FormatUnreadable,  // detail: libav's words
        JoinedUnwritable,  // detail: libav's words
        SubtitlesNotHere,  // the container takes no subtitles
        NoSound,
        SoundUnwritable,   // detail: libav's words
        VideoUnreadable,   // detail: libav's words
        SoundUnfinished,   // detail: libav's words
        // Encoding MP3; detail: libav's words, when it gave some
        SoundUnreadable,
        NoDecodableSound,
        SoundUndecodable,
        NoMp3Encoder,
        Mp3EncoderUnstarted,
        SoundUnfitForMp3,
        Mp3Unwritable,
        Mp3Unencodable,
        Mp3Unfinished,
        SoundUnconvertible,
    };
    Kind kind = None;
    QString detail; // libav's words (av_strerror) or the system's
    QString path;   // PieceFile, PieceNotPlain, PieceCutShort: the piece's file
    int count = 0;  // TooManyEncodings: the changes allowed
    bool isEmpty() const { return kind == None; }
    void clear() { *this = Step(); }
    bool operator==(const Step &) const = default;
};

inline Step step(Step::Kind kind, const QString &detail = QString())
{
    Step s;
    s.kind = kind;
    s.detail = detail;
    return s;
}

// The small text a failure was fetching, named after the sentence.
enum class Subject { None, Playlist, Key, Subtitles };

struct Failure {
    Reason reason = Reason::None;
    Cause cause = Cause::None;
    QString detail; // words from outside the program: a system's error, a reason phrase, a host, a tool's line
    int status = 0;             // HttpError: the answer's status
    int retryAfterSeconds = -1; // HttpError: the answer's Retry-After; -1 none
    int ms = 0;                 // Stalled, TimedOut, PageTimedOut: the time
    int count = 0;              // TooManyRedirects: the hops allowed; TooManyPieces, TooManyParts: the bound
    qint64 bytes = -1;          // NoSpace: needed; PieceEndedEarly: received; PageTooLarge: the bound
    qint64 ofBytes = -1;        // NoSpace: free; PieceEndedEarly: the piece's size
    Subject subject = Subject::None; // the small text it was fetching
    int piece = -1;             // the piece it was fetching (from 0), of pieces
    int pieces = 0;
    Step step;                  // WriteFault, PiecesUnjoinable, StepFailed: the step that failed
    bool failed() const { return reason != Reason::None; }
    // A failure told with two sizes (bytes, ofBytes).
    static Failure sized(Reason reason, Cause cause, qint64 bytes, qint64 ofBytes)
    {
        Failure f;
        f.reason = reason;
        f.cause = cause;
        f.bytes = bytes;
        f.ofBytes = ofBytes;
        return f;
    }
    bool operator==(const Failure &) const = default;
};

inline Failure fail(Reason reason, Cause cause, const QString &detail = QString())
{
    Failure f;
    f.reason = reason;
    f.cause = cause;
    f.detail = detail;
    return f;
}

// A step that failed, told within cause's sentence.
inline Failure failedStep(Reason reason, Cause cause, const Step &step)
{
    Failure f = fail(reason, cause);
    f.step = step;
    return f;
}

inline Failure cancelled()
{
    return fail(Reason::Cancelled, Cause::Cancelled);
}

// Nothing arrived for idleMs.
inline Failure stalled(int idleMs)
{
    Failure f = fail(Reason::Stalled, Cause::Stalled);
    f.ms = idleMs;
    return f;
}

// The whole fetch took longer than ms (TimedOut or PageTimedOut).
inline Failure timedOut(Cause cause, int ms)
{
    Failure f = fail(Reason::TimedOut, cause);
    f.ms = ms;
    return f;
}

} // namespace vidrona::net

Q_DECLARE_METATYPE(vidrona::net::Failure)
