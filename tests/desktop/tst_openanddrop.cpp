// Opening a finished row and dropping links on the window, with the real
// window offscreen: files go to the desktop's hand-off (recorded here),
// drops become rows in order, and anything else is refused before the drop.
#include "resolve/resolvers.h"
#include "support/browsercapture.h"
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include <QAction>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>
#include <memory>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::download;
using namespace vidrona::ui::mainwindow;

namespace {
QString page(int id)
{
    return QStringLiteral("http://www.videkta.ge/?video_id=%1").arg(id);
}
QString fileOf(int id)
{
    return resolve::Videkta(page(id)).value_or(QString());
}
} // namespace

class TestOpenAndDrop : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void openFinishedRow_data();
    void openFinishedRow();
    void drop_data();
    void drop();

private:
    QTreeView *list() { return test::ctl<QTreeView>(*m_w, "downloadList"); }
    QAction *action(const char *name) { return test::ctl<QAction>(*list(), name); }

    test::BrowserCapture m_desktop;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<test::RecordingMessages> m_messages;
    std::unique_ptr<MainWindowView> m_w;
};

void TestOpenAndDrop::init()
{
    m_desktop.opened.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    test::writeFile(m_dir->path(), "List",
                    "done.flv\r\nhttp://h.test/done.flv\r\nCOMPLETED\r\n"
                    "waiting.flv\r\nhttp://h.test/waiting.flv\r\nFAILED\r\n");
    m_messages = std::make_unique<test::RecordingMessages>();
    m_w = createMainWindow(m_dir->path(), m_messages.get());
    m_w->startUp();
    m_messages->calls.clear();
    m_w->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
}

void TestOpenAndDrop::cleanup()
{
    m_w.reset();
    m_messages.reset();
    m_dir.reset();
}

void TestOpenAndDrop::openFinishedRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("fileThere");
    QTest::addColumn<QString>("opened"); // the file's or folder's name; empty: nothing
    QTest::newRow("double-click") << 0 << "double-click" << true << "done.flv";
    QTest::newRow("Enter") << 0 << "Enter" << true << "done.flv";
    QTest::newRow("Open File") << 0 << "openFileAction" << true << "done.flv";
    QTest::newRow("Open Containing Folder") << 0 << "openContainingFolderAction" << true << "folder";
    QTest::newRow("a file that is gone") << 0 << "double-click" << false << "";
    QTest::newRow("a row that did not finish") << 1 << "double-click" << true << "";
}

void TestOpenAndDrop::openFinishedRow()
{
    QFETCH(int, row);
    QFETCH(QString, how);
    QFETCH(bool, fileThere);
    QFETCH(QString, opened);
    if (fileThere)
        test::writeFile(m_dir->path(), row == 0 ? "done.flv" : "waiting.flv", "video");
    const QByteArray listBefore = test::readFile(m_dir->filePath("List"));
    list()->setCurrentIndex(list()->model()->index(row, 0));
    QCOMPARE(action("openFileAction")->isEnabled(), row == 0);
    const QRect cell = list()->visualRect(list()->currentIndex());
    if (how == "double-click") {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, cell.center());
    } else if (how == "Enter") {
        list()->setFocus();
        QTest::keyClick(list(), Qt::Key_Return);
    } else {
        action(qPrintable(how))->trigger();
    }
    const QString folderUrl = QUrl::fromLocalFile(m_dir->path()).toString(QUrl::FullyEncoded);
    const QString expected = opened.isEmpty() ? QString()
                             : opened == "folder" ? folderUrl
                                                  : QUrl::fromLocalFile(m_dir->filePath(opened)).toString(QUrl::FullyEncoded);
    QCOMPARE(m_desktop.opened, expected.isEmpty() ? QStringList() : QStringList{expected});
    QCOMPARE(m_messages->calls.size(), !fileThere ? 1 : 0);
    if (!fileThere)
        QCOMPARE(m_messages->calls[0].text, QString("done.flv is no longer in the download folder."));
    QCOMPARE(test::readFile(m_dir->filePath("List")), listBefore);
}

void TestOpenAndDrop::drop_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("target");  // window or list
    QTest::addColumn<QStringList>("rows"); // file addresses added, in order; empty: refused
    QTest::newRow("a link on the list") << "link" << "list" << QStringList{fileOf(11)};
    QTest::newRow("two links on the window") << "links" << "window" << QStringList{fileOf(11), fileOf(12)};
    QTest::newRow("text with addresses") << "text" << "window" << QStringList{fileOf(12), fileOf(11)};
    QTest::newRow(".url shortcut") << ".url" << "list" << QStringList{fileOf(13)};
    QTest::newRow(".desktop link") << ".desktop" << "window" << QStringList{fileOf(14)};
    QTest::newRow("a picture is refused") << "picture" << "list" << QStringList();
    QTest::newRow("text without an address is refused") << "words" << "window" << QStringList();
}

void TestOpenAndDrop::drop()
{
    QFETCH(QString, kind);
    QFETCH(QString, target);
    QFETCH(QStringList, rows);
    QMimeData data;
    const QString url = test::writeFile(m_dir->path(), "v.url", ("[InternetShortcut]\r\nURL=" + page(13)).toUtf8());
    const QString desktop = test::writeFile(m_dir->path(), "v.desktop",
                                            ("[Desktop Entry]\nType=Link\nName=v\nURL=" + page(14)).toUtf8());
    const QString picture = test::writeFile(m_dir->path(), "p.png", "\x89PNG");
    if (kind == "link")
        data.setUrls({QUrl(page(11))});
    else if (kind == "links")
        data.setUrls({QUrl(page(11)), QUrl(page(12))});
    else if (kind == "text")
        data.setText("watch " + page(12) + "\nand " + page(11) + " too");
    else if (kind == "words")
        data.setText("no address here");
    else
        data.setUrls({QUrl::fromLocalFile(kind == ".url" ? url : kind == ".desktop" ? desktop : picture)});
    QWidget *on = target == "list" ? list()->viewport() : static_cast<QWidget *>(m_w.get());
    const QPoint at = on->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(on, &enter);
    QCOMPARE(enter.isAccepted(), !rows.isEmpty());
    if (!rows.isEmpty()) {
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(on, &dropped);
        QVERIFY(dropped.isAccepted());
    }
    const DownloadList &l = test::storeOf(*m_w).list();
    QTRY_COMPARE_WITH_TIMEOUT(l.count(), 2 + int(rows.size()), 5000);
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(l.at(2 + i).fileUrl, rows[i]);
    QCOMPARE(m_messages->calls.size(), 0);
}

QTEST_MAIN(TestOpenAndDrop)
#include "tst_openanddrop.moc"
