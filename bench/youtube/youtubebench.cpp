// Downloads one generated video through the YouTube window and with curl
// from the same local server (running on its own thread), and prints the
// times, their ratio and the peak memory of this process.
#include "desktop/messages.h"
#include "server.h"
#include "download/youtube/httptransfer.h"
#include "ui/youtube/youtubetexts.h"
#include "ui/youtube/youtubewindow.h"
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>

namespace {

struct PrintMessages : vidrona::desktop::MessageService {
    int show(const QString &text, const QString &, int) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return vidrona::desktop::AnswerOk;
    }
};

qint64 statusKb(const char *key) // from /proc/self/status
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// True when the file holds exactly the generated body of size bytes.
bool matches(const QString &path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() != size)
        return false;
    for (qint64 at = 0; at < size; at += 1 << 20) {
        const qint64 n = qMin<qint64>(1 << 20, size - at);
        if (f.read(n) != testweb::Server::patternBytes(at, n))
            return false;
    }
    return true;
}

double throughWindow(const QString &folder, qint64 size, bool *ok, double *waitSeconds)
{
    PrintMessages messages;
    QString cancel;
    vidrona::ui::youtube::YouTubeWindow::setClipboardText([] { return QString(); });
    vidrona::ui::youtube::YouTubeWindow w(&cancel, folder, &messages);
    w.startUp();
    w.show();
    const QString id = QStringLiteral("bytes-%1").arg(size);
    w.addressBox->setText(QStringLiteral("http://youtube.com/watch?v=") + id);
    QElapsedTimer t;
    t.start();
    w.downloadButton->click();
    QEventLoop loop;
    QTimer poll;
    // The wait ends with the completed response; the steps follow.
    *waitSeconds = -1;
    QObject::connect(w.transfer, &vidrona::download::youtube::HttpTransfer::StateChanged, &loop, [&](int state) {
        if (state == vidrona::download::youtube::HttpTransfer::ResponseCompleted)
            *waitSeconds = t.nsecsElapsed() / 1e9;
    });
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!w.busy())
            loop.quit();
    });
    poll.start(1);
    loop.exec();
    const double seconds = t.nsecsElapsed() / 1e9;
    // The counters end on the whole size, past 32 bits too.
    *ok = w.panelText(1) == QStringLiteral("File downloaded") && w.savedLabel->text() == QString::number(size)
          && w.remainingLabel->text() == QStringLiteral("0") && w.sizeLabel->text() == vidrona::ui::youtube::sizeText(size)
          && matches(QDir(folder).filePath(QStringLiteral("Video %1.flv").arg(id)), size);
    if (!*ok)
        std::fprintf(stderr, "window shows: %s, %s saved, %s left, size %s\n", qPrintable(w.panelText(1)),
                     qPrintable(w.savedLabel->text()), qPrintable(w.remainingLabel->text()),
                     qPrintable(w.sizeLabel->text()));
    return seconds;
}

double throughCurl(const QString &folder, quint16 port, qint64 size, bool *ok)
{
    const QByteArray id = "bytes-" + QByteArray::number(size);
    const QString url = QStringLiteral("http://youtube.com/get_video?video_id=%1&t=vjVQa1PpcFN%2")
                            .arg(QString::fromLatin1(id), QString::fromLatin1(id.toHex().right(6)));
    const QString out = QDir(folder).filePath(QStringLiteral("curl.flv"));
    QElapsedTimer t;
    t.start();
    const int rc = QProcess::execute(QStringLiteral("curl"),
        {QStringLiteral("-s"), QStringLiteral("-x"), QStringLiteral("http://127.0.0.1:%1").arg(port),
         url, QStringLiteral("-o"), out});
    const double seconds = t.nsecsElapsed() / 1e9;
    *ok = rc == 0 && matches(out, size);
    QFile::remove(out);
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--size"));
    const qint64 size = at > 0 ? args.value(at + 1).toLongLong() : 256LL * 1024 * 1024;
    const int roundsAt = args.indexOf(QStringLiteral("--rounds"));
    const int rounds = roundsAt > 0 ? qMax(1, args.value(roundsAt + 1).toInt()) : 5;

    // The server on its own thread, as an outside server would be.
    QThread serverThread;
    auto *server = new testweb::Server;
    server->moveToThread(&serverThread);
    serverThread.start();
    bool listening = false;
    QMetaObject::invokeMethod(server, [&] {
        testweb::installSimulatedWeb(*server);
        listening = server->listen();
    }, Qt::BlockingQueuedConnection);
    if (!listening)
        return 2;
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), server->port()));

    QTemporaryDir dir;
    std::printf("size %lld bytes (%.1f MiB), %d rounds; memory at start: peak %lld KiB\n",
                size, size / 1048576.0, rounds, statusKb("VmHWM:"));
    QList<double> window, curl;
    bool allOk = true;
    for (int r = 0; r < rounds; ++r) {
        bool okW = false, okC = false;
        double wait = 0;
        window << throughWindow(dir.path(), size, &okW, &wait);
        QFile::remove(dir.filePath(QStringLiteral("Video bytes-%1.flv").arg(size)));
        curl << throughCurl(dir.path(), server->port(), size, &okC);
        allOk = allOk && okW && okC;
        std::printf("round %d: window %.3f s (page and wait %.3f s, steps %.3f s; %s), curl %.3f s (%s), "
                    "ratio %.2f\n", r + 1, window.last(), wait, window.last() - wait,
                    okW ? "bytes ok" : "WRONG", curl.last(), okC ? "bytes ok" : "WRONG",
                    window.last() / curl.last());
    }
    std::sort(window.begin(), window.end());
    std::sort(curl.begin(), curl.end());
    std::printf("median: window %.3f s, curl %.3f s, ratio %.2f\n", window[rounds / 2], curl[rounds / 2],
                window[rounds / 2] / curl[rounds / 2]);
    std::printf("peak memory of this process (window + server thread): %lld KiB\n", statusKb("VmHWM:"));
    QMetaObject::invokeMethod(server, [server] { delete server; }, Qt::BlockingQueuedConnection);
    serverThread.quit();
    serverThread.wait();
    return allOk ? 0 : 1;
}
