#include "support/browsercapture.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include <QAction>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

using namespace vidrona;

// A window whose list and downloads live apart (an installed copy) keeps
// the list in its folder and tells where the downloads go.
class TestDownloadFolder : public QObject
{
    Q_OBJECT
private slots:
    void listAndDownloadsApart();
};

void TestDownloadFolder::listAndDownloadsApart()
{
    QTemporaryDir listFolder, downloads;
    test::RecordingMessages messages;
    test::BrowserCapture fileManager;
    const auto window = createMainWindow(Folders{listFolder.path(), downloads.path()}, &messages);
    window->Form_Load();
    QVERIFY(test::storeOf(*window).Download(QStringLiteral("http://h/clip.flv")));
    QVERIFY(QFile::exists(listFolder.filePath("List")));
    QVERIFY(QDir(downloads.path()).isEmpty());

    auto *list = test::ctl<QTreeView>(*window, "lDownload");
    QVERIFY(list->toolTip().contains(QDir::toNativeSeparators(downloads.path())));
    auto *open = test::ctl<QAction>(*list, "actOpenDownloadFolder");
    QCOMPARE(list->contextMenuPolicy(), Qt::ActionsContextMenu);
    QVERIFY(list->actions().contains(open));
    open->trigger();
    QCOMPARE(fileManager.opened, QStringList{QUrl::fromLocalFile(downloads.path()).toString()});
}

QTEST_MAIN(TestDownloadFolder)
#include "tst_downloadfolder.moc"
