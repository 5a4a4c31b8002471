// yt-dlp as the main window runs it: a page only yt-dlp could read is
// being asked (the real yt-dlp behind a wrapper that first starts a
// long-sleeping child), then the user closes the window or presses Esc in
// the address box. No process of the run is left a second later, and
// nothing is added.
#include "../../resolve/ytdlp/infofixtures.h"
#include "resolve/ytdlp/finder.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::ui::mainwindow;

namespace {

// The process group of the first process whose command line names path;
// 0 when none runs.
qint64 groupRunning(const QString &path)
{
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile cmdline("/proc/" + pid + "/cmdline"), stat("/proc/" + pid + "/stat");
        if (!pid.front().isDigit() || !cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().contains(path.toUtf8())
            || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' '); // state ppid pgrp ...
        if (fields.size() > 2 && fields[0] != "Z")
            return fields[2].toLongLong();
    }
    return 0;
}

// No process of the group runs (a zombie runs nothing).
bool groupGone(qint64 group)
{
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!pid.front().isDigit() || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[2].toLongLong() == group && fields[0] != "Z")
            return false;
    }
    return true;
}

} // namespace

class TestYtDlpWindow : public QObject
{
    Q_OBJECT
private slots:
    void endedWithTheWindow_data();
    void endedWithTheWindow();
    void cleanup() { resolve::ytdlp::setSettings({}); }
};

void TestYtDlpWindow::endedWithTheWindow_data()
{
    QTest::addColumn<bool>("closeWindow"); // else Esc in the address box
    QTest::newRow("the window closed") << true;
    QTest::newRow("Esc in the address box") << false;
}

void TestYtDlpWindow::endedWithTheWindow()
{
    QFETCH(bool, closeWindow);
    test::LocalWeb web;
    QVERIFY(web.ok());
    testweb::installSimulatedWeb(web.server());
    QTemporaryDir dir;
    const QString fixture = test::writeFile(dir.path(), "info.json",
                                            test::ytinfo::youTubeLike("http://media.rivertube.test/v", 1 << 20, 1 << 20, 1 << 20));
    const QString wrapper = test::ytinfo::writeWrapper(dir.path(), fixture, true);
    test::RecordingMessages messages;
    std::unique_ptr<MainWindowView> w = createMainWindow(dir.path(), &messages);
    w->startUp();
    // After the window's start, which applies the Preferences' own.
    resolve::ytdlp::setSettings({wrapper, {}});
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    auto *address = test::ctl<QLineEdit>(*w, "addressBox");
    address->setText("http://www.rivertube.test/watch?v=yt1");
    test::ctl<QPushButton>(*w, "addVideoButton")->click();
    // The wrapper has started its sleeping child once its log is there.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(dir.path()).filePath("args.log")), 20000);
    QTest::qWait(200);
    const qint64 group = groupRunning(wrapper);
    QVERIFY(group > 0);
    QElapsedTimer clock;
    clock.start();
    if (closeWindow)
        QVERIFY(w->close());
    else
        QTest::keyClick(address, Qt::Key_Escape);
    while (!groupGone(group) && clock.elapsed() < 1000)
        QTest::qWait(20);
    QVERIFY2(groupGone(group), "a process of yt-dlp's run outlived the window by a second");
    QTest::qWait(200);
    QCOMPARE(test::storeOf(*w).list().count(), 0);
    QVERIFY(messages.calls.isEmpty());
}

QTEST_MAIN(TestYtDlpWindow)
#include "tst_ytdlpwindow.moc"
