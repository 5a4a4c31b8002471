#pragma once
#include "filewriter.h"
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace vidrona {

// The transfer component behind the main window's file fetches: one HTTP
// request at a time, its body streamed into a file that replaces the target
// only when the whole body arrived with a success status. The caller starts
// a fetch and hears about its end through finished(); the event loop keeps
// running meanwhile, and the disk work is done on the writer's thread.
class Transfer : public QObject
{
    Q_OBJECT
public:
    enum State {
        Idle = 0,       // no request
        Requesting = 1, // request sent, no answer yet
        Receiving = 2,  // answer head in, body arriving
        Finishing = 3,  // body complete or given up; the file is being put
                        // in place and the result is about to be delivered
    };
    Q_ENUM(State)

    static constexpr int DefaultStallTimeoutMs = 60000;
    static constexpr int DefaultMaxRedirects = 10;

    explicit Transfer(QObject *parent = nullptr);
    ~Transfer() override;

    // Starts fetching url into targetPath. False (and nothing started) when
    // a request is still executing. Every accepted start ends with exactly
    // one finished(), never from inside start() itself.
    bool start(const QUrl &url, const QString &targetPath);

    // True from an accepted start until its finished() has been delivered.
    bool StillExecuting() const { return m_state != Idle; }
    // Ends the request in progress; it finishes as failed ("cancelled").
    void Cancel();

    State state() const { return m_state; }

    // No byte for this long fails the transfer.
    void setStallTimeout(int ms) { m_stallTimeoutMs = ms; }
    int stallTimeout() const { return m_stallTimeoutMs; }
    void setMaxRedirects(int n) { m_maxRedirects = n; }

signals:
    void stateChanged(int state);
    // ok: the file was fetched completely and is in place. reason: why not.
    void finished(bool ok, const QString &reason);

private:
    void setState(State s);
    void onMetaData();
    void onReadyRead();
    void onReplyFinished();
    void onStall();
    void readAvailable(bool all);
    void commit();
    void end(bool ok, const QString &reason);
    void deliver();
    void dropReply();

    QNetworkAccessManager *m_nam;
    QPointer<QNetworkReply> m_reply;
    FileWriter m_writer;
    QTimer m_stallTimer;
    State m_state = Idle;
    int m_stallTimeoutMs = DefaultStallTimeoutMs;
    int m_maxRedirects = DefaultMaxRedirects;
    qint64 m_received = 0;
    bool m_ended = false;
    bool m_resultOk = false;
    QString m_reason;
};

} // namespace vidrona
