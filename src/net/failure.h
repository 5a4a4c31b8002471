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
    Told,             // the words came whole from the part that failed: detail
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
    PiecesUnjoinable, // detail: why the join failed
    // Subtitles and pages read again
    SubtitlesTooLarge,
    SubtitlesUnreadable, // the subtitles' playlist cannot be read
    SubtitlesFormat,  // detail: the format's name
    SubtitlesNone,    // the video offers none
    PageNotReadAgain,
    NeedsYtDlp,
    NoFormatChosen,
};

// The small text a failure was fetching, named after the sentence.
enum class Subject { None, Playlist, Key, Subtitles };

struct Failure {
    Reason reason = Reason::None;
    Cause cause = Cause::None;
    QString detail; // words from outside the program: a system's error, a reason phrase, a host, a tool's line
    int status = 0;             // HttpError: the answer's status
    int retryAfterSeconds = -1; // HttpError: the answer's Retry-After; -1 none
    int ms = 0;                 // Stalled, TimedOut, PageTimedOut: the time
    int count = 0;              // TooManyRedirects: the hops allowed
    qint64 bytes = -1;          // NoSpace: needed; PieceEndedEarly: received; PageTooLarge: the bound
    qint64 ofBytes = -1;        // NoSpace: free; PieceEndedEarly: the piece's size
    Subject subject = Subject::None; // the small text it was fetching
    int piece = -1;             // the piece it was fetching (from 0), of pieces
    int pieces = 0;
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
