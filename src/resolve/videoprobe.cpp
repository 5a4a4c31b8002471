#include "videoprobe.h"
#include "pagetext.h"
#include "pagevideo.h"
#include "net/agents.h"
#include <QThread>
#include <memory>

namespace vidrona {

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

} // namespace

VideoProbe::VideoProbe(QObject *parent) : QObject(parent)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { conclude(ProbeResult::Nothing); });
    connect(&m_request, &PageRequest::finished, this, &VideoProbe::onAnswer);
}

VideoProbe::~VideoProbe()
{
    stop();
}

bool VideoProbe::accepts(const QString &address)
{
    const QUrl url(address.trimmed(), QUrl::TolerantMode);
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool VideoProbe::start(const QString &address)
{
    if (isRunning() || !accepts(address))
        return false;
    m_addressText = address.trimmed();
    // The list file holds one byte per character: such an address is kept
    // in its percent-encoded form, the same address in characters it holds.
    for (const QChar c : std::as_const(m_addressText))
        if (c.unicode() > 0xFF) {
            m_addressText = QUrl(m_addressText, QUrl::TolerantMode).toString(QUrl::FullyEncoded);
            break;
        }
    m_files.clear();
    m_nextFile = 0;
    m_pageStreamed = false;
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
    m_request.setLimits(limits);
    const bool head = stage == Stage::AddressHead || stage == Stage::FileHead;
    m_request.setAsk(stage == Stage::PageGet ? PageRequest::Ask::PageStart
                     : head                  ? PageRequest::Ask::Head
                                             : PageRequest::Ask::GetHead);
    // The typed address may be on the user's own network; what its page names may not.
    m_request.setUserNamed(stage == Stage::AddressHead || stage == Stage::AddressGet || stage == Stage::PageGet);
    m_request.start(url, net::agent::Program);
}

void VideoProbe::onAnswer(const PageResult &answer)
{
    if (m_stage == Stage::Idle || answer.outcome == PageResult::Cancelled)
        return;
    const bool headStage = m_stage == Stage::AddressHead || m_stage == Stage::FileHead;
    if (headStage && refusesHead(answer))
        return ask(m_asked, m_stage == Stage::AddressHead ? Stage::AddressGet : Stage::FileGet);
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
    const direct::Head head{answer.head.value("Content-Type"), answer.head.value("Content-Disposition")};
    switch (direct::classify(m_asked, head, fileStage)) {
    case direct::HeadKind::MediaFile:
        return conclude(ProbeResult::File, fileStage ? m_asked.toString(QUrl::FullyEncoded) : m_addressText,
                        direct::fileNameFor(answer.url.isValid() ? answer.url : m_asked, head));
    case direct::HeadKind::Streamed:
        if (!fileStage)
            return conclude(ProbeResult::Streamed);
        m_pageStreamed = true;
        return tryNextFile();
    case direct::HeadKind::Page:
        if (fileStage)
            return tryNextFile(); // a player page, not the file
        if (m_stage != Stage::PageGet)
            return ask(m_asked, Stage::PageGet);
        return readPage(answer.body, answer.head.value("Content-Type"), answer.url);
    case direct::HeadKind::Other:
        return giveUp();
    }
}

void VideoProbe::giveUp()
{
    inFileStage() ? tryNextFile() : conclude(ProbeResult::Nothing);
}

// A page of several MiB takes a while to read: a thread of its own does it,
// so the window never waits for it.
void VideoProbe::readPage(const QByteArray &page, const QByteArray &contentType, const QUrl &pageUrl)
{
    struct Found {
        QStringList files;
        bool streamed = false;
    };
    auto found = std::make_shared<Found>();
    QThread *reader = QThread::create([page, contentType, pageUrl, found] {
        found->files = resolve::pageVideoAddresses(resolve::pageAsUtf8(page, contentType), pageUrl, &found->streamed);
    });
    m_reader = reader;
    connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    connect(reader, &QThread::finished, this, [this, reader, found] {
        if (m_reader != reader)
            return; // given up meanwhile
        m_reader = nullptr;
        m_files = found->files;
        m_pageStreamed = found->streamed;
        m_nextFile = 0;
        tryNextFile();
    });
    reader->start();
}

void VideoProbe::tryNextFile()
{
    if (m_nextFile >= m_files.size() || m_nextFile >= MaxFilesTried)
        return conclude(m_pageStreamed ? ProbeResult::Streamed : ProbeResult::Nothing);
    ask(QUrl(m_files.at(m_nextFile++)), Stage::FileHead);
}

// Drops whatever runs: the request (its Cancelled answer is ignored) and
// the page's reader (its finding is ignored).
void VideoProbe::stop()
{
    m_stage = Stage::Idle;
    m_reader = nullptr;
    m_request.cancel();
    m_deadline.stop();
    m_files.clear();
}

void VideoProbe::conclude(ProbeResult::Kind kind, const QString &fileUrl, const QString &fileName)
{
    stop();
    emit finished(ProbeResult{kind, fileUrl, fileName});
}

} // namespace vidrona
