#include "runner.h"
#include "net/proxy.h"
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QUrl>
#include <csignal>
#include <unistd.h>

namespace vidrona::resolve::ytdlp {

QStringList arguments(const QString &address, bool playlist, const Settings &settings, const QByteArray &proxy)
{
    // A video in a playlist is the video; a playlist itself is its list of
    // addresses, each read when its row is fetched.
    QStringList args{QStringLiteral("--ignore-config"), QStringLiteral("--dump-single-json"),
                     QStringLiteral("--no-playlist"), QStringLiteral("--flat-playlist")};
    Q_UNUSED(playlist);
    // The same way out as Vidrona's own requests; none set: straight there.
    args << QStringLiteral("--proxy") << QString::fromLatin1(proxy);
    if (!settings.cookiesBrowser.isEmpty())
        args << QStringLiteral("--cookies-from-browser") << settings.cookiesBrowser;
    args << QStringLiteral("--") << address;
    return args;
}

namespace {

// "ERROR: [youtube] abc: This video is private" says "This video is private",
// from the extractor "youtube"; so does the last line of a traceback,
// "yt_dlp.utils.ExtractorError: [youtube] abc: ...", which some errors
// end in (an answer replayed from a file).
net::Failure reasonOf(const QByteArray &err, QString *extractor)
{
    static const QRegularExpression raised(QStringLiteral("^[\\w.]*Error: (?=\\[)"));
    const QStringList lines = QString::fromUtf8(err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        QString line = it->trimmed();
        if (line.startsWith(QLatin1String("ERROR:")))
            line = line.mid(6).trimmed();
        else if (raised.match(line).hasMatch())
            line.remove(raised);
        else
            continue;
        static const QRegularExpression where(QStringLiteral("^\\[([^\\]]*)\\]\\s*([^:\\s]+:\\s+)?"));
        const QRegularExpressionMatch match = where.match(line);
        if (match.hasMatch())
            *extractor = match.captured(1).toLower();
        return runFailure(net::Cause::YtDlpSaid, line.remove(where).left(300));
    }
    return lines.isEmpty() ? runFailure(net::Cause::YtDlpSilent) : runFailure(net::Cause::YtDlpSaid, lines.last().trimmed().left(300));
}

} // namespace

RunResult resultOf(int exitCode, bool crashed, const QByteArray &out, const QByteArray &err)
{
    if (!crashed && exitCode == 0 && !out.trimmed().isEmpty())
        return {RunResult::Answered, out, {}};
    RunResult refused{RunResult::Refused, {}, {}, {}};
    refused.why = reasonOf(err, &refused.extractor);
    return refused;
}

void startInOwnGroup(QProcess &process, const QString &program, const QStringList &args)
{
    // Its helpers (ffmpeg, a browser's cookie reading) join the group and end with it.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(program, args, QIODevice::ReadOnly);
}

void endGroup(QProcess &process)
{
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process.waitForFinished(1000);
}

Run::Run(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<vidrona::resolve::ytdlp::RunResult>();
    m_limit.setSingleShot(true);
    m_limit.setInterval(TimeLimitMs);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        endWith({RunResult::Failed, {}, runFailure(net::Cause::YtDlpNoAnswerInMinute)});
    });
}

Run::~Run()
{
    if (m_process)
        endGroup(*m_process);
}

bool Run::start(const QString &program, const QString &address, bool playlist)
{
    if (program.isEmpty() || m_process)
        return false;
    m_out.clear();
    m_err.clear();
    m_process = std::make_unique<QProcess>();
    connect(m_process.get(), &QProcess::readyReadStandardOutput, this, &Run::readOut);
    connect(m_process.get(), &QProcess::readyReadStandardError, this, &Run::readOut);
    connect(m_process.get(), &QProcess::finished, this, &Run::ended);
    connect(m_process.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            endWith({RunResult::Failed, {}, runFailure(net::Cause::YtDlpNotStarted)});
    });
    startInOwnGroup(*m_process, program, arguments(address, playlist, settings(), net::proxyFor(QUrl(address))));
    if (!m_process) // it could not start: finished() is on its way
        return true;
    m_group = m_process->processId();
    m_limit.start();
    return true;
}

void Run::readOut()
{
    if (!m_process)
        return;
    m_out += m_process->readAllStandardOutput();
    const QByteArray err = m_process->readAllStandardError();
    m_err += err.left(qMax<qint64>(0, MaxErrorBytes - m_err.size()));
    if (m_out.size() > MaxAnswerBytes)
        endWith({RunResult::Failed, {}, runFailure(net::Cause::YtDlpAnswerTooLong)});
}

void Run::ended()
{
    if (!m_process)
        return;
    readOut();
    if (!m_process)
        return;
    const bool crashed = m_process->exitStatus() == QProcess::CrashExit;
    endWith(resultOf(m_process->exitCode(), crashed, m_out, m_err));
}

void Run::cancel()
{
    if (m_process)
        endWith({RunResult::Cancelled, {}, {}});
}

// The process goes before anyone hears: a listener may start the next run.
void Run::endWith(const RunResult &result)
{
    m_limit.stop();
    std::unique_ptr<QProcess> process = std::move(m_process);
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning)
        endGroup(*process);
    m_group = 0;
    m_out.clear();
    m_err.clear();
    process.reset();
    QMetaObject::invokeMethod(this, [this, result] { emit finished(result); }, Qt::QueuedConnection);
}

RunResult runBlocking(const QString &program, const QString &address, bool playlist, const std::atomic<bool> &cancel)
{
    if (program.isEmpty())
        return {RunResult::Failed, {}, runFailure(net::Cause::YtDlpNotFound)};
    QProcess process;
    startInOwnGroup(process, program, arguments(address, playlist, settings(), net::proxyFor(QUrl(address))));
    if (!process.waitForStarted(5000))
        return {RunResult::Failed, {}, runFailure(net::Cause::YtDlpNotStarted)};
    QElapsedTimer clock;
    clock.start();
    QByteArray out, err;
    while (!process.waitForFinished(100) && process.state() != QProcess::NotRunning) {
        out += process.readAllStandardOutput();
        err += process.readAllStandardError().left(MaxErrorBytes);
        if (cancel || clock.elapsed() > TimeLimitMs || out.size() > MaxAnswerBytes) {
            endGroup(process);
            return {cancel ? RunResult::Cancelled : RunResult::Failed, {}, runFailure(net::Cause::YtDlpNoAnswerInTime)};
        }
    }
    out += process.readAllStandardOutput();
    err += process.readAllStandardError().left(MaxErrorBytes);
    if (out.size() > MaxAnswerBytes)
        return {RunResult::Failed, {}, runFailure(net::Cause::YtDlpAnswerTooLong)};
    return resultOf(process.exitCode(), process.exitStatus() == QProcess::CrashExit, out, err);
}

} // namespace vidrona::resolve::ytdlp
