#pragma once
#include "refusal.h"
#include "directfile.h"
#include "offer.h"
#include "pagevideo.h"
#include "download/media/tags.h"
#include "net/pagerequest.h"
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <QUrl>

class QThread;

namespace vidrona::resolve {

using net::PageRequest;
using net::PageResult;

struct StreamCheck;

struct ProbeResult {
    enum Kind {
        File,    // fileUrl and fileName are set
        Stream,  // fileUrl is a playlist or manifest that can be saved; fileName ends .mp4
        Refused, // a video that cannot be saved (live, protected, too large, broken): refusal says so
        Nothing, // no video, unreachable, an HTTP error or no answer in time
    };
    Kind kind = Nothing;
    QString fileUrl;
    QString fileName; // may still be refused as a file name: the caller checks
    Refusal refusal = {}; // Refused, Nothing: why, as data the window words
    // File, Stream: the qualities the video comes in, when it comes in
    // several (a master's variants, a manifest's tracks, a page's files).
    resolve::Offer offer = {};
    // Stream: what the page said of its video (title, description, picture,
    // its address), for the file's own tags; a file saved as sent has none.
    download::media::Tags tags = {};
};

// Works out the video file behind an address of today's web, without ever
// holding the event loop: a direct file address (asked with HEAD, or with a
// GET stopped after the head when HEAD is refused), or a page whose markup
// names its video (its first MaxPageBytes read; the file it names is then
// asked the same way). A video streamed in pieces (an HLS playlist or a
// DASH manifest, typed or named by the page, known by its extension or
// its type) is read, with the media playlists an HLS master's chosen
// variant takes (as the fetch chooses them), and judged before
// it is offered; a page's plain file is preferred to its stream. Every answer is read with PageRequest's bounds on its
// head and body. Follows the system proxy, a bounded number of redirects,
// and gives up on an answer that goes quiet for the stall time or when the
// whole probe takes longer than the total time. One address at a time.
class VideoProbe : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultStallTimeoutMs = 30000; // as a page fetch
    static constexpr int DefaultTotalTimeoutMs = 120000;
    static constexpr int MaxRedirects = 8;
    static constexpr int MaxFilesTried = 4;   // of the file addresses one page names
    static constexpr int MaxStreamsTried = 2; // of its playlists and manifests
    static constexpr int MaxVariantsTried = 4; // media playlists of one master (a picture and its sound)

    explicit VideoProbe(QObject *parent = nullptr);
    ~VideoProbe() override;

    // An http or https address with a host, or a bare "host/path" (tried
    // as https, then as http when https cannot connect, as a browser does).
    static bool accepts(const QString &address);

    // Starts working out address; false (nothing started) when it is not
    // accepted or a probe is running. Every accepted start ends with exactly
    // one finished(), never from inside start(), unless cancelled.
    bool start(const QString &address);
    // The same, each request carrying a browser's head lines and cookies.
    bool start(const QString &address, const QList<QByteArray> &fields, const QString &cookieFile);
    // Stops the probe in progress; no finished() follows.
    void cancel();
    bool isRunning() const { return m_stage != Stage::Idle; }

    // Which of a page's several files of one video is tried first, as the
    // settings' word (streams::QualityChoice); the best when not set.
    void setQuality(const QByteArray &key) { m_quality = key; }

    void setStallTimeout(int ms) { m_stallMs = ms; }
    void setTotalTimeout(int ms) { m_totalMs = ms; }

signals:
    void finished(const vidrona::resolve::ProbeResult &result);

private:
    // The address's head, its head by GET, its page; a named file's head,
    // its head by GET; a stream's playlist or manifest, an HLS master's
    // chosen variant.
    enum class Stage { Idle, AddressHead, AddressGet, PageGet, FileHead, FileGet, StreamGet, VariantGet };

    // An address the page named: the next one is tried when it fails.
    struct Named {
        QString url;
        bool stream = false;
    };

    bool inFileStage() const { return m_stage == Stage::FileHead || m_stage == Stage::FileGet; }
    bool inStreamStage() const { return m_stage == Stage::StreamGet || m_stage == Stage::VariantGet; }
    bool onNamedAddress() const { return inFileStage() || (inStreamStage() && !m_streamTyped); }
    void ask(const QUrl &url, Stage stage);
    void askStream(const QString &rowUrl, const QUrl &url, bool typed);
    void onAnswer(const PageResult &answer);
    void onHead(const PageResult &answer);
    void readPage(const QByteArray &page, const QByteArray &contentType, const QUrl &pageUrl);
    void readPlaylist(const QByteArray &text, const QUrl &address);
    void onStreamChecked(const resolve::StreamCheck &check);
    void readOffThread(std::function<void()> work, std::function<void()> then);
    void tryNextFile();
    void takeSources(const QList<resolve::PageSource> &sources, QStringList &files);
    resolve::Offer offerFor(ProbeResult::Kind kind, const QString &fileUrl) const;
    void concludeUntried();
    void giveUp();
    void stop();
    void conclude(ProbeResult::Kind kind, const QString &fileUrl = {}, const QString &fileName = {});
    bool triedPlainInstead(const PageResult &answer);
    void noteWhy(const PageResult &answer);

    PageRequest m_request;
    QThread *m_reader = nullptr; // reads the page; deletes itself when done
    QTimer m_deadline;
    Stage m_stage = Stage::Idle;
    int m_stallMs = DefaultStallTimeoutMs;
    int m_totalMs = DefaultTotalTimeoutMs;
    QString m_addressText;  // as given: a direct file keeps it as its address
    QString m_plainFallback; // a bare address's http form, while its https one is tried
    Refusal m_why;           // why the probe found nothing, so far: a note or a failed fetch
    QUrl m_asked;           // the address of the current request
    QList<Named> m_named;   // the addresses the page named: its files, then its streams
    int m_nextFile = 0;
    QString m_title;        // the page's, for a stream's name
    download::media::Tags m_tags;     // what the page says of its video
    bool m_unsaveable = false; // the page named blob:, data: or the like
    Refusal m_refusal;      // why the first stream judged was refused
    bool refused() const { return m_refusal.kind != Refusal::Failed || m_refusal.failure.failed(); }
    QString m_streamRow;    // the address a stream's row would keep
    QList<QUrl> m_variants; // a master's media playlists still to judge
    bool m_streamTyped = false; // the stream is the typed address itself
    QByteArray m_quality;       // the settings' choice among a page's files
    resolve::Offer m_offer;     // a page's several files, else the stream's qualities
    int m_chosen = -1;          // the page's file the choice took, in m_offer
};

} // namespace vidrona::resolve
