#include "httptransfer.h"
#include "net/curlsession.h"
#include "desktop/platform.h"
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>

namespace vidrona::youtube {

namespace {
using curlsession::Clock;
constexpr int ArrivalPostMs = 20;
} // namespace

HttpTransfer::HttpTransfer(QObject *parent) : QObject(parent), m_spoolFolder(QDir::tempPath())
{
    curlsession::initOnce();
}

HttpTransfer::~HttpTransfer()
{
    stopThread();
    release();
}

bool HttpTransfer::Execute(const QString &url)
{
    if (m_running) {
        m_error = QStringLiteral("Still executing last request.");
        return false;
    }
    stopThread();
    release();
    m_error.clear();
    m_headers.clear();
    m_headersIn = false;
    m_received = 0;
    if (!openSpool())
        return false;
    SpoolJob job{QUrl(url), m_spool->fileName()};
    m_shared = std::make_shared<SpoolShared>();
    const int generation = ++m_generation;
    m_thread = QThread::create([this, job, generation, shared = m_shared, events = eventsFor(generation, m_shared)] {
        const QString error = runSpoolFetch(job, *shared, events);
        post(generation, [this, error] { onFinished(error); });
    });
    m_thread->setObjectName(QStringLiteral("YouTube transfer"));
    m_running = true;
    m_thread->start();
    return true;
}

// A new file of the window's own name, made with the permissions any file
// of the user gets: it may become the video itself.
bool HttpTransfer::openSpool()
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = QStringLiteral(".vidrona-%1.part")
                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        m_spool = std::make_unique<QFile>(QDir(m_spoolFolder).filePath(name));
        if (m_spool->open(QIODevice::ReadWrite | QIODevice::NewOnly))
            return true;
        if (m_spool->exists())
            continue; // taken: another name
        break;
    }
    m_error = QStringLiteral("Cannot create a temporary file: ") + m_spool->errorString();
    m_spool.reset();
    return false;
}

// What the fetch thread reports, turned into posts to this object's thread.
SpoolEvents HttpTransfer::eventsFor(int generation, const std::shared_ptr<SpoolShared> &shared)
{
    SpoolEvents events;
    events.connecting = [this, generation] { post(generation, [this] { emit StateChanged(Connecting); }); };
    events.requestSent = [this, generation] { post(generation, [this] { emit StateChanged(RequestSent); }); };
    events.head = [this, generation](const HeaderList &headers) {
        post(generation, [this, headers] { onHead(headers); });
    };
    // A fast body is not one event per buffer: the window's thread hears
    // of arrivals at most every ArrivalPostMs (it shows them less often).
    events.arrived = [this, generation, shared, last = std::make_shared<Clock::time_point>()] {
        const Clock::time_point now = Clock::now();
        if (now - *last < std::chrono::milliseconds(ArrivalPostMs))
            return;
        *last = now;
        post(generation, [this, shared] {
            m_received = shared->received;
            emit arrived(m_received);
        });
    };
    return events;
}

void HttpTransfer::post(int generation, std::function<void()> step)
{
    QMetaObject::invokeMethod(this, [this, generation, step = std::move(step)] {
        if (generation == m_generation && m_running)
            step();
    }, Qt::QueuedConnection);
}

void HttpTransfer::onHead(const HeaderList &headers)
{
    m_headersIn = true;
    m_headers = headers;
    emit StateChanged(Receiving);
}

void HttpTransfer::onFinished(const QString &error)
{
    stopThread();
    m_running = false;
    m_received = m_shared ? m_shared->received.load() : 0;
    m_error = error;
    if (m_spool)
        m_spool->seek(0);
    if (failed()) {
        emit StateChanged(Error);
    } else {
        emit StateChanged(ResponseReceived);
        emit StateChanged(ResponseCompleted);
    }
    emit done();
}

QByteArray HttpTransfer::GetHeader(const QByteArray &name) const
{
    for (const auto &h : m_headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return QByteArray();
}

QByteArray HttpTransfer::GetChunk(qint64 max)
{
    if (!m_spool || m_running || max <= 0)
        return QByteArray();
    return m_spool->read(max);
}

bool HttpTransfer::takeBody(const QString &path, QString *error)
{
    if (!m_spool || m_running) {
        *error = QStringLiteral("There is no received body.");
        return false;
    }
    m_spool->close();
    if (!platform::replaceFile(m_spool->fileName(), path, error))
        return false;
    m_spool.reset(); // it is the video now
    return true;
}

void HttpTransfer::Cancel()
{
    stopThread();
    m_running = false;
}

void HttpTransfer::release()
{
    if (m_spool)
        m_spool->remove();
    m_spool.reset();
}

void HttpTransfer::stopThread()
{
    if (!m_thread)
        return;
    m_shared->stop();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

} // namespace vidrona::youtube
