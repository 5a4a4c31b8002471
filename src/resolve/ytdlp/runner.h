#pragma once
#include "finder.h"
#include "net/failure.h"
#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <memory>

// One question to yt-dlp: the JSON it knows about an address. It runs as a
// program of its own (no shell, the user's yt-dlp configuration never
// read), in a process group of its own so that ending it ends the helpers
// it started too, bounded in time and in the length of its answer.
namespace vidrona::resolve::ytdlp {

inline constexpr int TimeLimitMs = 60000;
inline constexpr qint64 MaxAnswerBytes = qint64(64) << 20;
inline constexpr qint64 MaxErrorBytes = 64 << 10;

struct RunResult {
    enum Outcome {
        Answered,  // json holds the answer
        Refused,   // yt-dlp said why not: why holds its reason
        Failed,    // it could not run, took too long or said too much: why says which
        Cancelled,
    };
    Outcome outcome = Failed;
    QByteArray json;
    net::Failure why;
    QString extractor; // Refused: the extractor that refused ("generic" for any page), when it says
};

// What a run that brought no answer is told as: a cause of the window's,
// with the line yt-dlp gave when it gave one.
inline net::Failure runFailure(net::Cause cause, const QString &line = QString())
{
    return net::fail(net::Reason::NotTheVideo, cause, line);
}

// The arguments for address: the address always after "--", so that no
// address is ever read as an option.
QStringList arguments(const QString &address, bool playlist, const Settings &settings, const QByteArray &proxy);

// A run's end as a result: the exit, what came on each channel, and
// whether it was ended for a bound.
RunResult resultOf(int exitCode, bool crashed, const QByteArray &out, const QByteArray &err);

// Asks yt-dlp without holding the event loop; finished() follows every
// accepted start exactly once, never from inside start().
class Run : public QObject
{
    Q_OBJECT
public:
    explicit Run(QObject *parent = nullptr);
    ~Run() override;

    // False when program is empty or a run is going on.
    bool start(const QString &program, const QString &address, bool playlist);
    bool isRunning() const { return m_process != nullptr; }
    // Ends yt-dlp and its children at once; finished() follows with Cancelled.
    void cancel();
    // The process group of the run, 0 when none (for tests).
    qint64 processGroup() const { return m_group; }

signals:
    void finished(const vidrona::resolve::ytdlp::RunResult &result);

private:
    void readOut();
    void ended();
    void endWith(const RunResult &result);

    std::unique_ptr<QProcess> m_process;
    QTimer m_limit;
    QByteArray m_out;
    QByteArray m_err;
    qint64 m_group = 0;
};

// The same question asked on a thread without an event loop (a row's
// fetch): cancel is looked at ten times a second.
RunResult runBlocking(const QString &program, const QString &address, bool playlist,
                      const std::atomic<bool> &cancel);

// The process of a run made the leader of a group of its own.
void startInOwnGroup(QProcess &process, const QString &program, const QStringList &args);
// Kills every process of the group, waits for the leader (at most 1 s).
void endGroup(QProcess &process);

} // namespace vidrona::resolve::ytdlp

Q_DECLARE_METATYPE(vidrona::resolve::ytdlp::RunResult)
