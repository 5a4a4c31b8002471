#pragma once
#include "spoolfetch.h"
#include <QObject>
#include <QString>
#include <memory>

class QFile;
class QThread;

namespace vidrona::youtube {

// The window's file transfer control: one GET at a time, run on a thread
// of its own, whose body is spooled to a file while it arrives. Memory
// stays flat whatever the size of the body. The spool holds no more than
// the answer's Content-Length: nothing past it is ever read, and an answer
// without a usable one cannot be read at all, so its body is not spooled
// and the request ends as soon as the body starts. The spool lives in the
// folder the file is meant for, so the finished body can be put under its
// name without a copy (takeBody).
class HttpTransfer : public QObject
{
    Q_OBJECT
public:
    // The state codes of the transfer, as the status texts know them.
    enum State { None = 0, Connecting = 3, RequestSent = 6, Receiving = 7,
                 ResponseReceived = 8, Error = 11, ResponseCompleted = 12 };

    explicit HttpTransfer(QObject *parent = nullptr);
    ~HttpTransfer() override;

    // Where the next spool is made; the temporary folder until set.
    void setSpoolFolder(const QString &folder) { m_spoolFolder = folder; }
    // Starts the request; false (see errorString) when one still runs or
    // the spool cannot be made.
    bool Execute(const QString &url);
    bool StillExecuting() const { return m_running; }
    // The header's value, or the empty text; valid once the head arrived.
    QByteArray GetHeader(const QByteArray &name) const;
    // The next bytes of the spooled body, at most max of them.
    QByteArray GetChunk(qint64 max);
    // Puts the spooled body (once the request ended) under path, replacing
    // what is there, in one step; error says why not.
    bool takeBody(const QString &path, QString *error);
    // Stops the request; no signal follows.
    void Cancel();
    // Drops the spooled body.
    void release();

    bool headersIn() const { return m_headersIn; }
    bool failed() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }
    // The description that comes with the error state, ending with a line end.
    QString stateDescription() const { return m_error + QStringLiteral("\r\n"); }
    qint64 bytesReceived() const { return m_received; }

signals:
    void StateChanged(int state);
    void arrived(qint64 received); // body bytes spooled so far
    void done();                   // the request ended (not after Cancel)

private:
    bool openSpool();
    SpoolEvents eventsFor(int generation, const std::shared_ptr<SpoolShared> &shared);
    void post(int generation, std::function<void()> step);
    void onHead(const HeaderList &headers);
    void onFinished(const QString &error);
    void stopThread();

    QString m_spoolFolder;
    std::unique_ptr<QFile> m_spool;
    std::shared_ptr<SpoolShared> m_shared;
    QThread *m_thread = nullptr;
    int m_generation = 0;      // posts of an earlier request are dropped
    bool m_running = false;
    bool m_headersIn = false;
    qint64 m_received = 0;
    QString m_error;
    HeaderList m_headers;
};

} // namespace vidrona::youtube
