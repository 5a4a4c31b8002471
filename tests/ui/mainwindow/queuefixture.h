#pragma once
// A main window over a temporary program folder, with the local web as its
// proxy and a recorder in place of message boxes.
#include "ui/mainwindow/queuepanel.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <memory>

namespace vidrona::test {

using app::createMainWindow;
using download::DownloadEntry;
using download::DownloadList;
using download::ListStore;
using download::service::DownloadService;
using ui::mainwindow::MainWindowView;
using ui::mainwindow::QueuePanel;

inline const QByteArray Host = "media.vidrona.test";

inline QString fileAddress(const QString &name)
{
    return QStringLiteral("http://%1/v/%2").arg(QString::fromLatin1(Host), name);
}

// "name:STATUS" items become list file rows whose URL is fileAddress(name).
inline QByteArray listOf(const QStringList &rows)
{
    QByteArray out;
    for (const QString &r : rows) {
        const QString name = r.section(QLatin1Char(':'), 0, 0);
        const QString status = r.section(QLatin1Char(':'), 1);
        out += (name + "\r\n" + fileAddress(name) + "\r\n" + status + "\r\n").toLatin1();
    }
    return out;
}

struct QueueFixture {
    QTemporaryDir dir;
    LocalWeb web;
    RecordingMessages messages;
    std::unique_ptr<MainWindowView> w;
    ListStore *store = nullptr;
    QueuePanel *panel = nullptr;

    // Every /v/NAME answers "body of NAME" unless a test routes it otherwise.
    void load(const QStringList &rows)
    {
        web.server().onPrefix(Host, "/v/", [](const testweb::Request &r) {
            return testweb::Response::bytes("body of " + r.path.mid(3));
        });
        writeFile(dir.path(), QStringLiteral("List"), listOf(rows));
        w = createMainWindow(dir.path(), &messages);
        store = &storeOf(*w);
        panel = &test::panel<QueuePanel>(*w);
        w->startUp();
        messages.calls.clear();
        queue().setStallTimeout(2000);
        queue().setRetryDelays({}); // one try per row, unless a test asks for more
    }
    DownloadService &queue() { return test::serviceOf(*w); }
    DownloadList &list() const { return store->list(); }
    template <typename T> T *ui(const char *name) const { return ctl<T>(*w, name); }
    void route(const QString &name, const testweb::Response &resp)
    {
        web.server().on(Host, "/v/" + name.toLatin1(), [resp](const testweb::Request &) { return resp; });
    }
    bool waitIdle(int ms = 20000)
    {
        return QTest::qWaitFor([this] { return !queue().isRunning(); }, ms);
    }
    bool press() // "Start Download", then the whole run
    {
        ui<QPushButton>("startButton")->click();
        return waitIdle();
    }
    void select(int row) { ui<QTreeView>("downloadList")->setCurrentIndex(list().index(row, 0)); }
    QStringList statuses() const
    {
        QStringList out;
        for (const DownloadEntry &e : list().entries())
            out << e.statusWord();
        return out;
    }
    QStringList names() const
    {
        QStringList out;
        for (const DownloadEntry &e : list().entries())
            out << e.fileName;
        return out;
    }
    QStringList requested()
    {
        QStringList out;
        for (const testweb::Request &r : web.server().requests())
            out << QString::fromLatin1(r.path.mid(3));
        return out;
    }
    QByteArray listFile() const { return readFile(dir.filePath(QStringLiteral("List"))); }
    QByteArray file(const QString &name) const { return readFile(dir.filePath(name)); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

} // namespace vidrona::test
