// Several rows at once, each a file over many connections, through the
// program's file fetch (runFetch), each row on a thread of its own as the
// window runs them. While they run, the process's threads and open
// descriptors are sampled; at the end its peak memory and the throughput
// of all rows together are printed.
// Usage: rows_bench URL TARGET-FOLDER ROWS CONNECTIONS SIZE (SIZE: the file's, for the throughput)
#include "download/filefetch.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

namespace {
int entries(const char *folder)
{
    return int(QDir(QString::fromLatin1(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

// VmHWM from /proc/self/status, in kB.
long peakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 6) {
        std::fprintf(stderr, "usage: rows_bench URL TARGET-FOLDER ROWS CONNECTIONS SIZE\n");
        return 2;
    }
    vidrona::download::initFetching();
    const int rows = atoi(argv[3]);
    const int connections = atoi(argv[4]);
    const qint64 size = QByteArray(argv[5]).toLongLong();
    std::vector<vidrona::download::FetchJob> jobs(rows);
    std::vector<vidrona::download::FetchShared> shared(rows);
    std::atomic<int> ok{0}, running{rows};
    const int threadsBefore = entries("/proc/self/task");
    QElapsedTimer clock;
    clock.start();
    std::vector<std::thread> threads;
    for (int i = 0; i < rows; ++i) {
        jobs[i].url = QUrl::fromEncoded(argv[1]);
        jobs[i].finalPath = QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("row%1.bin").arg(i));
        jobs[i].connections = connections;
        threads.emplace_back([&, i] {
            ok += vidrona::download::runFetch(jobs[i], shared[i]).ok();
            --running;
        });
    }
    int threadsPeak = 0, fdsPeak = 0;
    while (running > 0) {
        threadsPeak = std::max(threadsPeak, entries("/proc/self/task"));
        fdsPeak = std::max(fdsPeak, entries("/proc/self/fd"));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    for (std::thread &t : threads)
        t.join();
    std::printf("rows %d\nconnections %d\nok %d\nseconds %.3f\nMiB/s %.1f\nthreads_before %d\nthreads_peak %d\n"
                "descriptors_peak %d\npeak_MiB %.1f\n",
                rows, connections, ok.load(), seconds, rows * size / seconds / (1 << 20), threadsBefore, threadsPeak,
                fdsPeak, peakKb() / 1024.0);
    return ok == rows ? 0 : 1;
}
