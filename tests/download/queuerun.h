#pragma once
// One run of the program's queue over a folder, as the window drives it,
// without the window: the download service over its list file, the
// window's words for what it reports (cells and the failure box) and a
// message recorder. The list's own notices go unheard, as the queue's
// boxes are what the tests read. One try per row: an interrupted row waits
// for the next run.
#include "download/service/downloadservice.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "ui/mainwindow/listtexts.h"
#include "ui/mainwindow/queuewords.h"
#include <QDir>
#include <QtTest>

namespace vidrona::test {

using download::DownloadList;
using download::service::DownloadService;
using download::service::DownloadSettings;
using ui::mainwindow::QueueWords;
using ui::mainwindow::sayListNotices;

// A list file of one row, name fetched from url; returns where its file goes.
inline QString writeOneRow(const QString &folder, const QString &name, const QString &url, const QString &status)
{
    writeFile(folder, "List", (name + "\r\n" + url + "\r\n" + status + "\r\n").toUtf8());
    return QDir(folder).filePath(name);
}

struct QueueRun {
    RecordingMessages listNotices;
    RecordingMessages messages;
    DownloadService queue;
    DownloadList &list;
    QueueWords words;
    explicit QueueRun(const QString &folder)
        : queue(folder, folder), list(queue.list()), words(queue, messages)
    {
        sayListNotices(queue, listNotices);
        queue.load();
        queue.setStallTimeout(2000);
        queue.setRetryDelays({});
    }
    void setSimultaneous(int rows)
    {
        DownloadSettings s = queue.settings();
        s.simultaneous = rows;
        queue.apply(s);
    }
    void start(bool withLeftOver = false) { queue.start(withLeftOver); }
    bool wait() { return QTest::qWaitFor([this] { return !queue.isRunning(); }, 30000); }
    bool run(bool withLeftOver = false)
    {
        start(withLeftOver);
        return wait();
    }
    QString status() const { return list.count() ? list.at(0).statusWord() : QString(); }
};

} // namespace vidrona::test
