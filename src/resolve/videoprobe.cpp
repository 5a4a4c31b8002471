#include "videoprobe.h"
#include "pagetext.h"
#include "pagevideo.h"
#include "streamcheck.h"
#include "download/filenames.h"
#include "download/streams/streamlimits.h"
#include "net/agents.h"
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <memory>

namespace vidrona::resolve {

using download::fileNameFrom;
using net::PageRequest;
using net::PageResult;

namespace {

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

// A server that will not answer HEAD (an error status, a hang-up, or an
// answer without a type) is asked again with a GET that stops after the head.
bool refusesHead(const PageResult &answer)
{
    if (!answer.fetched())
        return answer.status == 0 && answer.failure.reason == net::Reason::BrokeOff;
    return answer.status >= 400 || (isSuccess(answer.status) && answer.head.value("Content-Type").isEmpty());
}

// What an answer is by its head and the address asked; where those do not
// say it is a stream or a page, the address that answered after redirects
// (a CDN's edge sends a playlist's own address on) may.
direct::HeadKind kindOf(const QUrl &asked, const PageResult &answer, const direct::Head &head, bool videoExpected)
{
    const direct::HeadKind kind = direct::classify(asked, head, videoExpected);
    if (kind == direct::HeadKind::Streamed || kind == direct::HeadKind::Page || !answer.url.isValid()
        || answer.url == asked)
        return kind;
    const direct::HeadKind answered = direct::classify(answer.url, head, videoExpected);
    return answered == direct::HeadKind::Streamed || kind == direct::HeadKind::Other ? answered : kind;
}

// A note of what an answer said on the way.
Refusal noted(Refusal::Note note)
{
    Refusal r;
    r.note = note;
    return r;
}

} // namespace

VideoProbe::VideoProbe(QObject *parent) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_why = noted(Refusal::NoAnswerWithin);
        m_why.seconds = m_totalMs / 1000;
        conclude(ProbeResult::Nothing);
    });
    connect(&m_request, &PageRequest::finished, this, &VideoProbe::onAnswer);
}

VideoProbe::~VideoProbe()
{
    stop();
}

// "www.site.test/page": a host with a dot, no scheme, no blank.
static bool isBareAddress(const QString &text)
{
    static const QRegularExpression bare(QStringLiteral("^[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)+(:\\d+)?(/\\S*)?$"));
    return bare.match(text).hasMatch();
}

bool VideoProbe::accepts(const QString &address)
{
    const QString text = address.trimmed();
    if (isBareAddress(text))
        return true;
    const QUrl url(text, QUrl::TolerantMode);
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool VideoProbe::start(const QString &address)
{
    return start(address, {}, {});
}

bool VideoProbe::start(const QString &address, const QList<QByteArray> &fields, const QString &cookieFile)
{
    if (isRunning() || !accepts(address))
        return false;
    m_request.setExtras(fields, cookieFile);
    m_addressText = address.trimmed();
    m_plainFallback.clear();
    m_why = {};
    if (isBareAddress(m_addressText)) {
        m_plainFallback = QStringLiteral("http://") + m_addressText;
        m_addressText.prepend(QStringLiteral("https://"));
    }
    // The list file holds one byte per character: such an address is kept
    // in its percent-encoded form, the same address in characters it holds.
    for (const QChar c : std::as_const(m_addressText))
        if (c.unicode() > 0xFF) {
            m_addressText = QUrl(m_addressText, QUrl::TolerantMode).toString(QUrl::FullyEncoded);
            break;
        }
    m_named.clear();
    m_nextFile = 0;
    m_title.clear();
    m_tags = {};
    m_unsaveable = false;
    m_refusal = {};
    m_streamRow.clear();
    m_streamTyped = false;
    m_offer = {};
    m_chosen = -1;
    m_deadline.start(m_totalMs);
    ask(QUrl(m_addressText, QUrl::TolerantMode), Stage::AddressHead);
    return true;
}

void VideoProbe::cancel()
{
    stop();
}

void VideoProbe::ask(const QUrl &url, Stage stage)
{
    m_stage = stage;
    m_asked = url;
    PageRequest::Limits limits;
    limits.idleMs = m_stallMs;
    limits.totalMs = m_totalMs;
    limits.maxRedirects = MaxRedirects;
    // A byte past the bound is read, so that the reader itself says the
    // playlist is too large.
    if (inStreamStage())
        limits.maxBytes = download::streams::MaxPlaylistBytes + 1;
    m_request.setLimits(limits);
    const bool head = stage == Stage::AddressHead || stage == Stage::FileHead;
    m_request.setAsk(stage == Stage::PageGet || inStreamStage() ? PageRequest::Ask::PageStart
                     : head                                     ? PageRequest::Ask::Head
                                                                : PageRequest::Ask::GetHead);
    // The typed address may be on the user's own network, and so may the
    // variants of a typed playlist on its own host; what a page names may not.
    const bool typedHost = m_streamTyped && url.host() == QUrl(m_streamRow, QUrl::TolerantMode).host();
    m_request.setUserNamed(stage == Stage::AddressHead || stage == Stage::AddressGet || stage == Stage::PageGet
                           || (stage == Stage::StreamGet && m_streamTyped)
                           || (stage == Stage::VariantGet && typedHost));
    m_request.start(url, net::agent::Program);
}

// rowUrl is what the row keeps when the stream is accepted.
void VideoProbe::askStream(const QString &rowUrl, const QUrl &url, bool typed)
{
    m_streamRow = rowUrl;
    m_streamTyped = typed;
    m_variants.clear();
    ask(url, Stage::StreamGet);
}

void VideoProbe::onAnswer(const PageResult &answer)
{
    if (m_stage == Stage::Idle || answer.outcome == PageResult::Cancelled)
        return;
    if (triedPlainInstead(answer))
        return;
    const bool headStage = m_stage == Stage::AddressHead || m_stage == Stage::FileHead;
    if (headStage && refusesHead(answer))
        return ask(m_asked, m_stage == Stage::AddressHead ? Stage::AddressGet : Stage::FileGet);
    noteWhy(answer);
    if (!answer.fetched())
        return giveUp(); // unreachable, quiet, cut off, or past a bound
    onHead(answer);
}

// The final head of an answer (and, for the page, its body).
void VideoProbe::onHead(const PageResult &answer)
{
    const bool fileStage = inFileStage();
    if (!isSuccess(answer.status))
        return giveUp();
    if (inStreamStage())
        return readPlaylist(answer.body, answer.url.isValid() ? answer.url : m_asked);
    const direct::Head head{answer.head.value("Content-Type"), answer.head.value("Content-Disposition")};
    switch (kindOf(m_asked, answer, head, fileStage)) {
    case direct::HeadKind::MediaFile:
        return conclude(ProbeResult::File, fileStage ? m_asked.toString(QUrl::FullyEncoded) : m_addressText,
                        direct::fileNameFor(answer.url.isValid() ? answer.url : m_asked, head));
    case direct::HeadKind::Streamed:
        if (!fileStage)
            return askStream(m_addressText, m_asked, true);
        // A playlist after all: tried as one after the page's files.
        if (const QString url = m_asked.toString(QUrl::FullyEncoded);
            std::none_of(m_named.cbegin(), m_named.cend(), [&url](const Named &n) { return n.stream && n.url == url; }))
            m_named.append({url, true});
        return tryNextFile();
    case direct::HeadKind::Page:
        if (fileStage) {
            m_why = noted(Refusal::AddressIsPage);
            return tryNextFile(); // a player page, not the file
        }
        if (m_stage != Stage::PageGet)
            return ask(m_asked, Stage::PageGet);
        return readPage(answer.body, answer.head.value("Content-Type"), answer.url);
    case direct::HeadKind::Other:
        return giveUp();
    }
}

// A bare address whose https form cannot connect is asked over http.
bool VideoProbe::triedPlainInstead(const PageResult &answer)
{
    // No answer at all: no connection, or a tunnel through the proxy that
    // would not open.
    const bool noAnswer = answer.status == 0 && (answer.failure.reason == net::Reason::CannotConnect
                                                 || answer.failure.reason == net::Reason::BrokeOff);
    if (m_plainFallback.isEmpty() || m_stage != Stage::AddressHead || !noAnswer)
        return false;
    m_addressText = std::exchange(m_plainFallback, QString());
    ask(QUrl(m_addressText, QUrl::TolerantMode), Stage::AddressHead);
    return true;
}

// What the answer says about why no video may come of it, in words.
void VideoProbe::noteWhy(const PageResult &answer)
{
    m_plainFallback.clear();
    if (!answer.fetched()) {
        m_why = refusalOf(Refusal::Failed, answer.failure);
        return;
    }
    if (isSuccess(answer.status))
        return;
    m_why = noted(answer.status == 401 || answer.status == 403 ? Refusal::NeedsLogin
                  : answer.status >= 500                      ? Refusal::ServerError
                                                              : Refusal::NothingThere);
    m_why.status = answer.status;
}

void VideoProbe::giveUp()
{
    onNamedAddress() ? tryNextFile() : conclude(ProbeResult::Nothing);
}

// Reading a page of several MiB, or a playlist of thousands of pieces,
// takes a while: a thread of its own does it, so the window never waits.
// then() runs here afterwards, unless the probe ended meanwhile.
void VideoProbe::readOffThread(std::function<void()> work, std::function<void()> then)
{
    QThread *reader = QThread::create(std::move(work));
    m_reader = reader;
    connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    connect(reader, &QThread::finished, this, [this, reader, then = std::move(then)] {
        if (m_reader != reader)
            return; // given up meanwhile
        m_reader = nullptr;
        then();
    });
    reader->start();
}

void VideoProbe::readPage(const QByteArray &page, const QByteArray &contentType, const QUrl &pageUrl)
{
    auto found = std::make_shared<resolve::PageVideos>();
    readOffThread([page, contentType, pageUrl, found] {
        *found = resolve::readPageVideos(resolve::pageAsUtf8(page, contentType), pageUrl);
    }, [this, found, pageUrl] {
        m_title = found->title;
        m_tags.title = found->title;
        m_tags.description = found->description;
        m_tags.coverUrl = found->cover;
        m_tags.address = (pageUrl.isValid() ? pageUrl : m_asked).toString(QUrl::FullyEncoded);
        m_unsaveable = found->unsaveable;
        m_named.clear();
        takeSources(found->sources, found->files);
        for (const QString &file : found->files.first(qMin(found->files.size(), qsizetype(MaxFilesTried))))
            m_named.append({file, false});
        for (const QString &stream : found->streams.first(qMin(found->streams.size(), qsizetype(MaxStreamsTried))))
            m_named.append({stream, true});
        m_nextFile = 0;
        tryNextFile();
    });
}

// A page's several files of one video: the one the settings choose is
// tried first, and the rest offered for a choice of the user's.
void VideoProbe::takeSources(const QList<resolve::PageSource> &sources, QStringList &files)
{
    if (sources.isEmpty())
        return;
    for (const resolve::PageSource &source : sources) {
        m_offer.qualities << source.quality;
        m_offer.files << source.fileUrl;
    }
    m_chosen = download::streams::chooseVideo(m_offer.qualities, download::streams::QualityChoice::fromKey(m_quality));
    const QString chosen = m_offer.files.value(m_chosen);
    const QString extension = direct::extensionOf(QUrl(chosen).path());
    QString stem = QUrl(chosen).fileName();
    if (!extension.isEmpty())
        stem.chop(extension.size() + 1);
    // Named for the video (the page's title), not for one of its files.
    m_offer.name = fileNameFrom(m_title.isEmpty() ? stem : m_title, extension.isEmpty() ? QStringLiteral("mp4") : extension);
    files.removeAll(chosen);
    files.prepend(chosen);
}

// What the result offers: a page's several files when the chosen one is
// what was found; a stream's qualities when a stream was.
resolve::Offer VideoProbe::offerFor(ProbeResult::Kind kind, const QString &fileUrl) const
{
    if (kind == ProbeResult::File)
        return !m_offer.files.isEmpty() && m_offer.files.value(m_chosen) == fileUrl ? m_offer : resolve::Offer{};
    return kind == ProbeResult::Stream && m_offer.files.isEmpty() ? m_offer : resolve::Offer{};
}

void VideoProbe::readPlaylist(const QByteArray &text, const QUrl &address)
{
    const bool variant = m_stage == Stage::VariantGet;
    auto check = std::make_shared<resolve::StreamCheck>();
    readOffThread([text, address, variant, check] {
        *check = variant ? resolve::checkVariant(text, address) : resolve::checkStream(text, address);
    }, [this, check] { onStreamChecked(*check); });
}

void VideoProbe::onStreamChecked(const resolve::StreamCheck &check)
{
    switch (check.verdict) {
    case resolve::StreamCheck::Accepted: {
        if (m_stage == Stage::StreamGet) // a manifest, or a media playlist alone
            m_offer = check.offer;
        for (download::streams::Quality &q : m_offer.qualities)
            if (q.seconds <= 0)
                q.seconds = check.seconds;
        if (!m_variants.isEmpty()) // each playlist the fetch would save is judged
            return ask(m_variants.takeFirst(), Stage::VariantGet);
        const QString name = resolve::streamFileName(m_title, QUrl(m_streamRow));
        m_offer.files.clear();
        m_offer.name = name;
        return conclude(ProbeResult::Stream, m_streamRow, name);
    }
    case resolve::StreamCheck::NeedsVariant:
        if (check.variants.isEmpty())
            return onStreamChecked(resolve::refusedFor(net::Cause::PlaylistNoVideo));
        m_offer = check.offer;
        m_variants = check.variants.first(qMin(check.variants.size(), qsizetype(MaxVariantsTried)));
        return ask(m_variants.takeFirst(), Stage::VariantGet);
    case resolve::StreamCheck::Refused:
        // A page's other stream may still do; the first refusal is what is told.
        if (!refused())
            m_refusal = refusalOf(Refusal::Failed, check.why);
        return m_streamTyped ? conclude(ProbeResult::Refused) : tryNextFile();
    case resolve::StreamCheck::NotAStream:
        m_why = refusalOf(Refusal::Failed, check.why);
        return giveUp();
    }
}

void VideoProbe::tryNextFile()
{
    if (m_nextFile >= m_named.size())
        return concludeUntried();
    const Named next = m_named.at(m_nextFile++);
    if (next.stream)
        return askStream(next.url, QUrl(next.url), false);
    ask(QUrl(next.url), Stage::FileHead);
}

// Every address the page named was tried, and none is a video to save.
void VideoProbe::concludeUntried()
{
    if (!refused() && m_unsaveable)
        m_refusal = refusalOf(Refusal::OwnPlayerOnly);
    if (refused())
        return conclude(ProbeResult::Refused);
    if (m_named.isEmpty())
        m_why = refusalOf(Refusal::NoVideoOnPage);
    else
        m_why.kind = Refusal::NamedUnfetched; // the note or the failure says why, if any
    conclude(ProbeResult::Nothing);
}

// Drops whatever runs: the request (its Cancelled answer is ignored) and
// the page's reader (its finding is ignored).
void VideoProbe::stop()
{
    m_stage = Stage::Idle;
    m_reader = nullptr;
    m_request.cancel();
    m_deadline.stop();
    m_named.clear();
    m_variants.clear();
}

void VideoProbe::conclude(ProbeResult::Kind kind, const QString &fileUrl, const QString &fileName)
{
    stop();
    Refusal why = kind == ProbeResult::Nothing ? m_why : kind == ProbeResult::Refused ? m_refusal : Refusal();
    if (kind == ProbeResult::Nothing && why == Refusal())
        why = refusalOf(Refusal::NoVideoAtAddress);
    const resolve::Offer offer = offerFor(kind, fileUrl);
    // A file the settings chose among the page's several tells its size.
    const download::streams::QualityChoice choice = download::streams::QualityChoice::fromKey(m_quality);
    const QString name = kind == ProbeResult::File && !offer.files.isEmpty() && !choice.isBest()
                             ? download::streams::nameWithChoice(offer.name, download::streams::choiceFor(offer.qualities, m_chosen))
                             : fileName;
    emit finished(ProbeResult{kind, fileUrl, name, why, offer,
                              kind == ProbeResult::Stream ? m_tags : download::media::Tags()});
}

} // namespace vidrona::resolve
