#pragma once
// One run of the program's queue over a folder, as the window drives it,
// without the window: its list file, its transfer and a message recorder.
// One try per row: an interrupted row waits for the next run.
#include "download/listfile.h"
#include "download/queuerunner.h"
#include "download/transfer.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include <QDir>
#include <QtTest>

namespace vidrona::test {

// A list file of one row, name fetched from url; returns where its file goes.
inline QString writeOneRow(const QString &folder, const QString &name, const QString &url, const QString &status)
{
    writeFile(folder, "List", (name + "\r\n" + url + "\r\n" + status + "\r\n").toUtf8());
    return QDir(folder).filePath(name);
}

struct QueueRun {
    DownloadList list;
    Transfer transfer;
    RecordingMessages messages;
    ListFile file;
    QueueRunner queue;
    explicit QueueRun(const QString &folder) : file(folder), queue(list, transfer, folder, messages)
    {
        file.load(list);
        queue.setSaveList([this] { file.save(list); });
        transfer.setStallTimeout(2000);
        queue.setRetryDelays({});
    }
    void start() { queue.RunQueue(); }
    bool wait() { return QTest::qWaitFor([this] { return !queue.isRunning(); }, 30000); }
    bool run()
    {
        start();
        return wait();
    }
    QString status() const { return list.count() ? list.at(0).statusWord() : QString(); }
};

} // namespace vidrona::test
