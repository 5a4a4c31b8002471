#pragma once
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <atomic>
#include <functional>
#include <memory>

namespace vidrona::curlsession {
struct Session;
}

namespace vidrona::youtube {

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

// What the spool thread and its owner share.
struct SpoolShared {
    SpoolShared();
    ~SpoolShared();
    std::unique_ptr<curlsession::Session> session;
    std::atomic<bool> cancel{false};
    std::atomic<qint64> received{0}; // body bytes in the spool so far
    // Stops the fetch as soon as its thread notices (any thread).
    void stop();
};

// Called on the spool thread as the request goes on.
struct SpoolEvents {
    std::function<void()> connecting;
    std::function<void()> requestSent;
    std::function<void(const HeaderList &)> head; // the final answer's head
    std::function<void()> arrived;                // more body bytes
};

struct SpoolJob {
    QUrl url;
    QString spoolPath;
    int stallTimeoutMs = 60000;
    int maxRedirects = 10;
};

// Fetches job.url with one GET (following redirects by the program's
// rule) and writes its body to job.spoolPath, never more than the
// answer's Content-Length. An answer without a usable one is cut as soon
// as its head is in: its body is not read. Runs on the calling thread to
// the end; the error text, empty when the body (or the cut) is complete.
QString runSpoolFetch(const SpoolJob &job, SpoolShared &shared, const SpoolEvents &events);

} // namespace vidrona::youtube
