#include "videoprobe.h"
#include "pagevideo.h"
#include "main/core/redirectpolicy.h"
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>
#include <memory>

namespace vidrona {

namespace {

// What the network layer may hold for us before it stops reading the socket.
constexpr qint64 ReadBufferBytes = 256 << 10;

direct::Head headOf(const QNetworkReply *reply)
{
    return {reply->rawHeader("Content-Type"), reply->rawHeader("Content-Disposition")};
}

int statusOf(const QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

} // namespace

VideoProbe::VideoProbe(QObject *parent) : QObject(parent), m_nam(new QNetworkAccessManager(this))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { conclude(ProbeResult::Nothing); });
}

VideoProbe::~VideoProbe()
{
    dropReply();
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
    m_reader = nullptr;
    dropReply();
    m_deadline.stop();
    m_stage = Stage::Idle;
}

void VideoProbe::ask(const QUrl &url, Stage stage)
{
    dropReply();
    m_stage = stage;
    m_asked = url;
    m_headSeen = false;
    m_readingPage = false;
    m_page.clear();
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Vidrona"));
    askBeforeRedirects(request);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setTransferTimeout(m_stallMs);
    // Bytes as sent: what is read is what is counted against the page limit.
    request.setRawHeader("Accept-Encoding", "identity");
    const bool head = stage == Stage::AddressHead || stage == Stage::FileHead;
    m_reply = head ? m_nam->head(request) : m_nam->get(request);
    m_reply->setReadBufferSize(ReadBufferBytes);
    guardRedirects(m_reply, [this, reply = m_reply](const QString &) {
        // Not from inside the reply's own signal: the reply is dropped first.
        QTimer::singleShot(0, this, [this, reply] {
            if (m_reply == reply)
                m_stage == Stage::FileHead || m_stage == Stage::FileGet ? tryNextFile()
                                                                        : conclude(ProbeResult::Nothing);
        });
    });
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &VideoProbe::onMetaData);
    connect(m_reply, &QNetworkReply::readyRead, this, &VideoProbe::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &VideoProbe::onFinished);
}

// The head of a GET: a file's body is not waited for.
void VideoProbe::onMetaData()
{
    QNetworkReply *reply = m_reply;
    const bool get = m_stage == Stage::AddressGet || m_stage == Stage::FileGet;
    const int status = reply ? statusOf(reply) : 0;
    if (!reply || !get || m_headSeen || status == 0 || (status >= 300 && status <= 399))
        return; // a HEAD answer (read whole), or the head of a redirect being followed
    m_headSeen = true;
    onHead(reply, status);
}

void VideoProbe::onReadyRead()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    const int status = statusOf(reply);
    if (status >= 300 && status <= 399) {
        reply->readAll(); // the body of a redirect being followed
        return;
    }
    if (!m_headSeen) {
        m_headSeen = true;
        onHead(reply, status);
    }
    if (!m_readingPage || m_reply != reply)
        return;
    m_page += reply->read(resolve::MaxPageBytes - m_page.size());
    if (m_page.size() >= resolve::MaxPageBytes)
        readPage(reply->url());
}

// The head of a GET, or a whole HEAD answer.
void VideoProbe::onHead(QNetworkReply *reply, int status)
{
    const bool fileStage = m_stage == Stage::FileHead || m_stage == Stage::FileGet;
    if (!isSuccess(status))
        return fileStage ? tryNextFile() : conclude(ProbeResult::Nothing);
    const direct::Head head = headOf(reply);
    switch (direct::classify(m_asked, head, fileStage)) {
    case direct::HeadKind::MediaFile:
        return conclude(ProbeResult::File, fileStage ? m_asked.toString(QUrl::FullyEncoded) : m_addressText,
                        direct::fileNameFor(m_asked, head));
    case direct::HeadKind::Streamed:
        if (!fileStage)
            return conclude(ProbeResult::Streamed);
        m_pageStreamed = true;
        return tryNextFile();
    case direct::HeadKind::Page:
        if (fileStage)
            return tryNextFile(); // a player page, not the file
        if (m_stage == Stage::AddressHead)
            return ask(m_asked, Stage::AddressGet);
        m_readingPage = true;
        return;
    case direct::HeadKind::Other:
        return fileStage ? tryNextFile() : conclude(ProbeResult::Nothing);
    }
}

void VideoProbe::onFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    const int status = statusOf(reply);
    const bool head = m_stage == Stage::AddressHead || m_stage == Stage::FileHead;
    if (head) {
        // A refused HEAD (an error status, a server that hangs up on it,
        // or an answer without a type) is asked again with a GET that
        // stops after the head.
        const bool refused = status >= 400 || (status == 0 && reply->error() == QNetworkReply::RemoteHostClosedError)
                             || (isSuccess(status) && reply->rawHeader("Content-Type").isEmpty());
        if (refused)
            return ask(m_asked, m_stage == Stage::AddressHead ? Stage::AddressGet : Stage::FileGet);
        if (status == 0)
            return m_stage == Stage::FileHead ? tryNextFile() : conclude(ProbeResult::Nothing);
        return onHead(reply, status);
    }
    onBodyEnd(reply);
}

void VideoProbe::onBodyEnd(QNetworkReply *reply)
{
    const int status = statusOf(reply);
    const bool broken = reply->error() != QNetworkReply::NoError && !m_readingPage;
    if (status == 0 || (broken && !m_headSeen))
        return m_stage == Stage::FileGet ? tryNextFile() : conclude(ProbeResult::Nothing);
    if (!m_headSeen) { // an empty body: the head is all there is
        m_headSeen = true;
        onHead(reply, status);
        if (!m_readingPage)
            return;
    }
    if (m_readingPage) {
        if (reply->error() != QNetworkReply::NoError)
            return conclude(ProbeResult::Nothing); // a page cut off is not read
        m_page += reply->read(resolve::MaxPageBytes - m_page.size());
        readPage(reply->url());
    }
}

// A page of several MiB takes a while to read: a thread of its own does it,
// so the window never waits for it.
void VideoProbe::readPage(const QUrl &pageUrl)
{
    dropReply();
    struct Found {
        QStringList files;
        bool streamed = false;
    };
    auto found = std::make_shared<Found>();
    QThread *reader = QThread::create([page = std::exchange(m_page, {}), pageUrl, found] {
        found->files = resolve::pageVideoAddresses(page, pageUrl, &found->streamed);
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

void VideoProbe::dropReply()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    // Not aborted here: this may run inside one of the reply's own signals,
    // where an abort collides with the error it is about to report. Its
    // deletion closes the connection.
    reply->deleteLater();
}

void VideoProbe::conclude(ProbeResult::Kind kind, const QString &fileUrl, const QString &fileName)
{
    m_reader = nullptr;
    dropReply();
    m_deadline.stop();
    m_stage = Stage::Idle;
    m_page.clear();
    m_files.clear();
    emit finished(ProbeResult{kind, fileUrl, fileName});
}

} // namespace vidrona
