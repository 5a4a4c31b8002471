#pragma once
#include <QMetaType>
#include <QString>

namespace vidrona::net {

// Why a fetch did not bring what it asked for: a code the program acts on
// (retry, start over, tell the user) and the sentence the user reads.
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

struct Failure {
    Reason reason = Reason::None;
    QString text; // for the user; empty when reason is None
    int status = 0;             // HttpError: the answer's status
    int retryAfterSeconds = -1; // HttpError: the answer's Retry-After; -1 none
    bool failed() const { return reason != Reason::None; }
};

inline Failure fail(Reason reason, const QString &text)
{
    return Failure{reason, text, 0, -1};
}

} // namespace vidrona::net

Q_DECLARE_METATYPE(vidrona::net::Failure)
