#pragma once
#include "net/failure.h"
#include "net/httphead.h"
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

namespace vidrona::download {
struct FetchJob;
}
namespace vidrona::download::service {
class BesideFetch;
class DownloadService;
}

namespace vidrona::download::youtube {

using net::HttpHead;
using service::BesideFetch;
using service::DownloadService;

// Why the last request failed, as data: the window words it.
struct TransferFault {
    bool busy = false;     // a request still ran: nothing was asked
    net::Failure failure;  // else the fetch's own failure
    int status = 0;        // the last answer's status line, for HttpError
    QByteArray reasonPhrase;
    int stallTimeoutMs = 0; // for Stalled: how long no byte came
    bool failed() const { return busy || failure.failed(); }
};

// The window's file transfer control: one GET at a time, fetched the way a
// row of the queue is (download/service/besidefetch.h): the row's driver
// thread, its tries, and the service's connections, speed limit and name
// claims. It has no thread of its own. The body goes to the kept bytes beside the file (continued when an
// earlier fetch of the same file left some and the server proves they are
// the same version) and the file receives the complete body in one step.
// Memory stays flat whatever the size. An answer without a usable
// Content-Length is not read at all: the request ends as soon as its head
// is in.
class HttpTransfer : public QObject
{
    Q_OBJECT
public:
    // The state codes of the transfer, as the status texts know them.
    enum State { None = 0, Connecting = 3, RequestSent = 6, Receiving = 7,
                 ResponseReceived = 8, Error = 11, ResponseCompleted = 12 };

    explicit HttpTransfer(QObject *parent = nullptr);
    ~HttpTransfer() override; // stops a running request; its kept bytes stay

    // The service whose settings the next requests run with (connections,
    // the names the list keeps for itself); without one, or once it is
    // gone (the main window closed first), the engine's defaults.
    void setService(DownloadService *service);

    // Starts the request for url whose body becomes filePath; with
    // takeBody false only the head is read (the file is not to be
    // written). False (see fault) when one still runs.
    bool Execute(const QString &url, const QString &filePath, bool takeBody = true);
    bool StillExecuting() const { return m_running; }
    // The header's value, or the empty text; valid once the head arrived.
    QByteArray GetHeader(const QByteArray &name) const { return m_head.value(name); }
    // The next bytes of the received file, at most max of them, once the
    // request ended well.
    QByteArray GetChunk(qint64 max);
    // Stops the request; no signal follows.
    void Cancel();
    // Lets go of the received file (GetChunk starts again from its start).
    void release() { m_file.close(); }

    bool headersIn() const { return m_headersIn; }
    // Where the received file is: the path given to Execute, or the next
    // free name when a file the transfer did not write held that one.
    QString filePath() const { return m_path; }
    bool failed() const { return m_fault.failed(); }
    // Why the last request failed (also what comes with the error state).
    TransferFault fault() const { return m_fault; }
    // Bytes of the file so far, kept ones of an earlier fetch included.
    qint64 bytesReceived() const { return m_received; }
    // The file's full length as the answer names it (for the rest of a
    // file, its Content-Range); -1 unknown or unusable.
    qint64 bytesTotal() const { return m_total; }

signals:
    void StateChanged(int state);
    void arrived(qint64 received); // bytes of the file so far
    // A passing failure: the file is asked for again in waitMs, going on
    // from its kept bytes (the display keeps what it shows).
    void retrying(int waitMs);
    void done();                   // the request ended (not after Cancel)

private:
    struct Run;
    FetchJob jobFor(const QString &url, int generation, bool takeBody);
    void post(int generation, std::function<void()> step);
    void onHead(const HttpHead &head);
    void onFinished(const net::Failure &failure);
    void pollArrivals();

    QPointer<DownloadService> m_service;
    std::shared_ptr<Run> m_run;
    BesideFetch *m_fetch;
    QTimer m_arrivals;
    QString m_path;
    QFile m_file;              // read by GetChunk
    int m_generation = 0;      // posts of an earlier request are dropped
    bool m_running = false;
    bool m_headersIn = false;
    bool m_complete = false;   // the whole body is under m_path
    qint64 m_received = 0;
    qint64 m_total = -1;
    int m_status = 0;          // of the last answer, for the error text
    QByteArray m_reason;
    TransferFault m_fault;
    HttpHead m_head;
};

} // namespace vidrona::download::youtube
