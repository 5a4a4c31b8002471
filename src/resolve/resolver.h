#pragma once
#include "offer.h"
#include "refusal.h"
#include "resolvers.h"
#include "download/media/tags.h"
#include "net/failure.h"
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

// What every source of video answers to: an address in, the rows it
// becomes (or what to do instead), or a refusal with its reason out.
namespace vidrona::resolve {

// What a resolver is asked: the address as the user gave it (blanks and
// line breaks already taken out) and the quality chosen in the window.
struct Ask {
    QString address;
    Quality quality = Quality::Low;
    // What a browser handed over with the address, for the fetches that
    // work it out: head lines and a cookie file (see net::Request).
    QList<QByteArray> fields;
    QString cookieFile;
    // Which of a video's several qualities the settings choose, as their
    // word (streams::QualityChoice): where a source offers several files,
    // that one is found first. Empty: the best.
    QByteArray qualityKey = {};
};

// One thing an address becomes.
struct Found {
    enum Kind {
        Row,               // a row of the download list for fileUrl
        OpenInBrowser,     // fileUrl is opened in the browser (the site's player wants it so)
        OpenYouTubeWindow, // the YouTube window does the rest on its own
    };
    Kind kind = Row;
    QString fileUrl;
    // Row: the name the file comes under; none: named after its address.
    std::optional<QString> fileName;
    // Row: the formats an outside finder chose (sitevideo::choiceText),
    // kept beside the row and fetched instead of fileUrl, the page's
    // address; empty: fileUrl is the file or stream itself.
    QByteArray siteVideo = {};
    // Row: the qualities the video comes in, for a window that asks which;
    // empty when there is nothing to choose or the source does not say.
    Offer offer = {};
    // Row: what the file is to say of itself, as the site or page told it.
    download::media::Tags tags = {};
};

struct Answer {
    enum Outcome {
        Found,     // rows holds at least one
        Refused,   // refusal says why, as data the window words
        Cancelled, // the user stopped it: nothing to add or tell
    };
    Outcome outcome = Refused;
    QList<resolve::Found> rows;
    Refusal refusal = {};
    // Found: a playlist's many videos are asked about before they are
    // added (No adds none): how many it has, and how many are added.
    // Not asked: added at once.
    struct Question {
        bool asked = false;
        int videos = 0;
        qsizetype added = 0;
    } question = {};

    static Answer found(const QList<resolve::Found> &rows) { return {Found, rows, {}, {}}; }
    static Answer refused(const Refusal &refusal) { return {Refused, {}, refusal, {}}; }
    // A refusal told by the failure's sentence alone.
    static Answer refused(const net::Failure &failure) { return refused(refusalOf(Refusal::Failed, failure)); }
    static Answer cancelled() { return {Cancelled, {}, {}, {}}; }
};

// How the window shows that a resolver is at work.
enum class Waiting {
    Unseen,    // nothing to show (no fetch, or one the site does not show)
    Hourglass, // the site's own page is being read, as an old site always showed
    Busy,      // worked out in the background while the window goes on
};

// One source of video. Each does its own fetches, never holding the event
// loop; start() is answered exactly once by answered() (at once, from
// inside start(), when nothing needs fetching), unless cancel() comes
// first. One address at a time.
class Resolver : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // For the table's readers and for tests: "Tvali", "today's web", ...
    virtual QString name() const = 0;
    // Whether this resolver is the one for address (as pasted).
    virtual bool takes(const QString &address) const = 0;
    virtual Waiting waiting() const { return Waiting::Unseen; }
    virtual void start(const Ask &ask) = 0;
    // Stops the work in progress; answered() follows with Cancelled when
    // something was running.
    virtual void cancel() = 0;

signals:
    void answered(const vidrona::resolve::Answer &answer);
};

} // namespace vidrona::resolve

Q_DECLARE_METATYPE(vidrona::resolve::Answer)
