// The YouTube window over real sockets: load, clipboard, the download of a
// video from the simulated site with every display's final text, failures,
// cancel, close and a second press while a transfer waits.
#include "support/mainwindowtest.h"
#include "support/recordingmessages.h"
#include "support/testenv.h"
#include "download/service/downloadservice.h"
#include "download/youtube/httptransfer.h"
#include "ui/youtube/youtubewindow.h"
#include "ui/youtube/youtubeopener.h"
#include "ui/youtube/youtubetexts.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace vidrona;
using namespace vidrona::app;
using namespace vidrona::download::service;
using namespace vidrona::ui::mainwindow;
using namespace vidrona::ui::youtube;

namespace {
QString watch(const QString &id)
{
    return "http://youtube.com/watch?v=" + id;
}
} // namespace

class TestYouTubeWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void afterLoad_data();
    void afterLoad();
    void clipboard_data();
    void clipboard();
    void clickSelectsAll();
    void download_data();
    void download();
    void extractionFails_data();
    void extractionFails();
    void transferFails_data();
    void transferFails();
    void emptyBox();
    void cancelWhileIdle();
    void cancelWhileWaiting();
    void closeWhileWaiting();
    void oldSpoolsGoWhenTheWindowOpens();
    void stopWhileReadingThePage_data();
    void stopWhileReadingThePage();
    void secondDownloadWhileWaiting();
    void stateTexts();
    void mainWindowShowsOneWindow();
    void longTitleKeepsTheWindowSize();
    void outlivesTheMainWindow();

private:
    YouTubeWindow *open(const QString &clip = QString());
    // Presses "download" and waits for the attempt to end.
    bool downloadFrom(const QString &address);
    std::unique_ptr<test::LocalWeb> m_web;
    std::unique_ptr<QTemporaryDir> m_dir;
    test::RecordingMessages m_messages;
    QString m_cancel;
    QPointer<YouTubeWindow> m_w;
};

void TestYouTubeWindow::initTestCase()
{
    QLocale::setDefault(QLocale::c());
    m_web = std::make_unique<test::LocalWeb>();
    QVERIFY(m_web->ok());
    testweb::installSimulatedWeb(m_web->server());
}

void TestYouTubeWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_messages.calls.clear();
    m_web->server().clearRequests();
    m_cancel = "Cancel";
}

void TestYouTubeWindow::cleanup()
{
    delete m_w;
    YouTubeWindow::setClipboardText({});
}

YouTubeWindow *TestYouTubeWindow::open(const QString &clip)
{
    YouTubeWindow::setClipboardText([clip] { return clip; });
    m_w = new YouTubeWindow(&m_cancel, m_dir->path(), &m_messages);
    m_w->startUp();
    m_w->show();
    return m_w;
}

bool TestYouTubeWindow::downloadFrom(const QString &address)
{
    m_w->addressBox->setText(address);
    QTest::mouseClick(m_w->downloadButton, Qt::LeftButton);
    return QTest::qWaitFor([this] { return !m_w->busy(); }, 30000);
}

void TestYouTubeWindow::afterLoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::newRow("addressCaption") << "addressCaption" << "URL:" << "";
    QTest::newRow("lowFlvOption") << "lowFlvOption" << "Low Quality (flv)" << "";
    QTest::newRow("highMp4Option") << "highMp4Option" << "High Quality (mp4)" << "";
    QTest::newRow("highFlvOption") << "highFlvOption" << "High Quality (flv)" << "";
    QTest::newRow("downloadButton") << "downloadButton" << "download" << "";
    QTest::newRow("cancelButton") << "cancelButton" << "cancel" << "";
    QTest::newRow("closeButton") << "closeButton" << "close" << "";
    QTest::newRow("sizeCaption") << "sizeCaption" << "Size :" << "";
    QTest::newRow("sizeLabel") << "sizeLabel" << "Bits" << "Download File Size.";
    QTest::newRow("savedLabel") << "savedLabel" << "Bits" << "";
    QTest::newRow("remainingLabel") << "remainingLabel" << "Bits" << "";
    QTest::newRow("percentLabel") << "percentLabel" << "Download Progress in %"
                                   << "Download Progress in Percentage";
    QTest::newRow("status panel") << "statusPanel" << "Status: Welcome" << "";
    QTest::newRow("addressBox empty") << "addressBox" << "" << "";
}

void TestYouTubeWindow::afterLoad()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    open();
    QWidget *w = m_w->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->property("text").toString(), text);
    QCOMPARE(w->toolTip(), toolTip);
    QCOMPARE(m_w->windowTitle(), QString("YouTube Downloader"));
    QVERIFY(m_w->lowFlvOption->isChecked() && !m_w->highMp4Option->isChecked() && !m_w->highFlvOption->isChecked());
    QVERIFY(m_w->barPicture->isHidden());
    QCOMPARE(m_w->barPicture->width(), 0);
    QVERIFY(m_cancel.isEmpty());
    const QList<QLabel *> label3 = m_w->findChildren<QLabel *>("figureCaptions");
    QCOMPARE(label3.size(), 2);
    QCOMPARE(m_w->figureCaptions[0]->text() + "|" + m_w->figureCaptions[1]->text(), QString("Saved|Remaining"));
}

void TestYouTubeWindow::clipboard_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("box");
    QTest::newRow("YouTube address") << watch("abc") << watch("abc");
    QTest::newRow("prefix in another case") << "http://YOUTUBE.com/watch?v=abc" << "";
    QTest::newRow("without http://") << "youtube.com/watch?v=abc" << "";
    QTest::newRow("other site") << "http://tvali.ge/x" << "";
    QTest::newRow("empty") << "" << "";
}

void TestYouTubeWindow::clipboard()
{
    QFETCH(QString, clip);
    QFETCH(QString, box);
    open(clip);
    QCOMPARE(m_w->addressBox->text(), box);
    delete m_w;
    // The system clipboard when no one stands in for it.
    YouTubeWindow::setClipboardText({});
    QGuiApplication::clipboard()->setText(clip);
    m_w = new YouTubeWindow(&m_cancel, m_dir->path(), &m_messages);
    m_w->startUp();
    QCOMPARE(m_w->addressBox->text(), box);
}

void TestYouTubeWindow::clickSelectsAll()
{
    open(watch("clip1"));
    m_w->addressBox->setCursorPosition(3);
    QTest::mouseClick(m_w->addressBox, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(m_w->addressBox->selectedText(), watch("clip1"));
}

void TestYouTubeWindow::download_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("option");
    QTest::addColumn<QString>("file");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("query"); // what the file request asks
    QTest::addColumn<QStringList>("texts"); // size, saved, left, percentage, panel 2
    QTest::newRow("low quality") << "clip1" << 1 << "My clip.flv" << qint64(150000)
                                 << "video_id=clip1&t=vjVQa1PpcFN697031"
                                 << QStringList{"150 Kb", "150000", "0", "% 100", "100 %"};
    QTest::newRow("high mp4") << "clip1" << 2 << "My clip.mp4" << qint64(254321)
                              << "video_id=clip1&t=vjVQa1PpcFN697031&fmt=18"
                              << QStringList{"254.321 Kb", "254321", "0", "% 100", "100 %"};
    QTest::newRow("high flv") << "clip1" << 3 << "My clip.flv" << qint64(200000)
                              << "video_id=clip1&t=vjVQa1PpcFN697031&fmt=6"
                              << QStringList{"200 Kb", "200000", "0", "% 100", "100 %"};
    QTest::newRow("title a/b:c*d") << "slashes" << 1 << "a b c d.flv" << qint64(3000)
                                   << "video_id=slashes&t=vjVQa1PpcFN686573"
                                   << QStringList{"3 Kb", "3000", "0", "% 100", "100 %"};
    QTest::newRow("title x? with mp4") << "question" << 2 << "x .mp4" << qint64(2048)
                                       << "video_id=question&t=vjVQa1PpcFN696f6e&fmt=18"
                                       << QStringList{"2.048 Kb", "2048", "0", "% 100", "100 %"};
    QTest::newRow("1025 bytes") << "bytes-1025" << 1 << "Video bytes-1025.flv" << qint64(1025)
                                << "video_id=bytes-1025&t=vjVQa1PpcFN303235"
                                << QStringList{"1.025 Kb", "1025", "0", "% 100", "100 %"};
    QTest::newRow("empty file keeps the counters")
        << "bytes-0" << 1 << "Video bytes-0.flv" << qint64(0) << "video_id=bytes-0&t=vjVQa1PpcFN732d30"
        << QStringList{"0 Kb", "Bits", "Bits", "Download Progress in %", ""};
}

void TestYouTubeWindow::download()
{
    QFETCH(QString, id);
    QFETCH(int, option);
    QFETCH(QString, file);
    QFETCH(qint64, size);
    QFETCH(QString, query);
    QFETCH(QStringList, texts);
    open();
    QRadioButton *options[] = {m_w->lowFlvOption, m_w->highMp4Option, m_w->highFlvOption};
    QTest::mouseClick(options[option - 1], Qt::LeftButton);
    QVERIFY(downloadFrom(watch(id)));
    QCOMPARE(m_messages.calls.size(), 0);
    QCOMPARE(test::readFile(m_dir->filePath(file)), testweb::Server::patternBytes(0, size));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{file});
    const QList<testweb::Request> requests = m_web->server().requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(QString(requests[1].query), query);
    QCOMPARE(m_w->videoFileAddress, "http://youtube.com/get_video?" + query);
    QCOMPARE(m_w->videoTitle + file.right(4), file);
    const QStringList shown{m_w->sizeLabel->text(), m_w->savedLabel->text(), m_w->remainingLabel->text(),
                            m_w->percentLabel->text(), m_w->panelText(2)};
    QCOMPARE(shown, texts);
    QCOMPARE(m_w->panelText(1), QString("File downloaded"));
    QCOMPARE(m_w->barUnits(), size ? 5600 : 0);
    QCOMPARE(m_w->barPicture->width(), size ? 140 : 0);
    QVERIFY(m_w->barPicture->isVisible());
    QVERIFY(m_w->downloadButton->isEnabled());
    QCOMPARE(m_w->addressBox->text(), watch(id));
}

void TestYouTubeWindow::extractionFails_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("title");
    const QString noTitle = "Failed extracting video title from video at URL: ";
    QTest::newRow("title in another case") << "notitle" << noTitle + watch("notitle")
                                           << "Getting File Name" << "";
    QTest::newRow("title with another dash") << "dash" << noTitle + watch("dash")
                                             << "Getting File Name" << "";
    QTest::newRow("no video id") << "noid" << "Unable to get VideoId from video at URL \r\n" + watch("noid")
                                 << "Getting File Name" << "No id";
    QTest::newRow("page not found") << "nothing-here" << "*" << "Idle!" << "";
}

void TestYouTubeWindow::extractionFails()
{
    QFETCH(QString, id);
    QFETCH(QString, message);
    QFETCH(QString, status);
    QFETCH(QString, title);
    open();
    QVERIFY(downloadFrom(watch(id)));
    QCOMPARE(m_messages.calls.size(), 1);
    if (message == "*") {
        QVERIFY(m_messages.calls[0].text.startsWith("Error: \r\n"));
        QVERIFY(m_messages.calls[0].text.endsWith("Not Found Try Again..!"));
    } else {
        QCOMPARE(m_messages.calls[0].text, message);
    }
    QCOMPARE(m_messages.calls[0].title, QString());
    QCOMPARE(m_messages.calls[0].flags, 0);
    QCOMPARE(m_w->panelText(1), status);
    QCOMPARE(m_w->videoTitle, title);
    QVERIFY(m_w->videoFileAddress.isEmpty());
    QVERIFY(m_w->downloadButton->isEnabled());
    QCOMPARE(m_web->server().requests().size(), 1); // no file request
}

void TestYouTubeWindow::transferFails_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("fileAsked"); // a body cut short is asked again, as a row's is
    QTest::newRow("file not found") << "gone-100" << "video_id=gone-100&t=vjVQa1PpcFN313030" << 1;
    QTest::newRow("short body") << "short-40000" << "video_id=short-40000&t=vjVQa1PpcFN303030" << 4;
    QTest::newRow("no Content-Length") << "nolength-4000" << "video_id=nolength-4000&t=vjVQa1PpcFN303030" << 1;
    QTest::newRow("missing token asks with &t=") << "notoken" << "video_id=notoken&t=" << 1;
    QTest::newRow("fmt before t sends 5") << "fmtfirst" << "video_id=fmtfirst&t=5" << 1;
#ifdef Q_OS_WIN // a quote is a name's like any other character elsewhere
    QTest::newRow("name not allowed on Windows") << "quoted" << "video_id=quoted&t=vjVQa1PpcFN746564" << 1;
#endif
}

void TestYouTubeWindow::transferFails()
{
    QFETCH(QString, id);
    QFETCH(QString, query);
    QFETCH(int, fileAsked);
    QTemporaryDir listFolder;
    DownloadService service(listFolder.path(), listFolder.path());
    service.setRetryDelays({10, 20, 30});
    open()->useService(&service);
    QVERIFY(downloadFrom(watch(id)));
    QCOMPARE(m_web->server().requests().size(), 1 + fileAsked);
    for (int i = 1; i <= fileAsked; ++i)
        QCOMPARE(QString(m_web->server().requests()[i].query), query);
    QCOMPARE(m_messages.calls.size(), 1);
    QVERIFY(m_messages.calls[0].text.startsWith("Error: \r\n"));
    QVERIFY(m_messages.calls[0].text.endsWith(" Try Again..!\r\n"));
    QCOMPARE(m_messages.calls[0].flags, 0);
    QCOMPARE(m_w->panelText(1), QString("Idle!"));
    QVERIFY(m_w->downloadButton->isEnabled());
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Files).isEmpty());
}

void TestYouTubeWindow::emptyBox()
{
    open();
    QVERIFY(downloadFrom(QString()));
    QCOMPARE(m_w->panelText(1), QString("Please Enter YouTube Video Url..!"));
    QVERIFY(m_messages.calls.isEmpty());
    QVERIFY(m_web->server().requests().isEmpty());
    QVERIFY(m_w->downloadButton->isEnabled());
    QVERIFY(m_w->barPicture->isVisible());
}

void TestYouTubeWindow::cancelWhileIdle()
{
    open();
    QTest::mouseClick(m_w->cancelButton, Qt::LeftButton);
    QCOMPARE(m_cancel, QString("Cancel"));
    QVERIFY(m_w->downloadButton->isEnabled());
    QCOMPARE(m_w->panelText(1), QString("Status: Welcome"));
    QVERIFY(downloadFrom(watch("slashes")));
    QCOMPARE(m_w->panelText(1), QString("File downloaded"));
    QCOMPARE(QFileInfo(m_dir->filePath("a b c d.flv")).size(), 3000);
}

void TestYouTubeWindow::cancelWhileWaiting()
{
    open();
    m_w->addressBox->setText(watch("stall-5000"));
    QTest::mouseClick(m_w->downloadButton, Qt::LeftButton);
    QVERIFY(!m_w->downloadButton->isEnabled());
    QTRY_VERIFY(m_w->transfer->headersIn());
    QVERIFY(m_w->busy());
    QTest::mouseClick(m_w->cancelButton, Qt::LeftButton);
    QVERIFY(!m_w->busy());
    QCOMPARE(m_w->panelText(1), QString("Video Download Stoped By User"));
    QCOMPARE(m_w->sizeLabel->text(), QString("5 Kb"));
    QCOMPARE(m_w->savedLabel->text(), QString("Bits"));
    QVERIFY(m_w->downloadButton->isEnabled());
    const QString file = m_dir->filePath("Video stall-5000.flv");
    QVERIFY(!QFileInfo::exists(file)); // a stopped wait makes no file
    QVERIFY(m_messages.calls.isEmpty());
}

void TestYouTubeWindow::closeWhileWaiting()
{
    open();
    m_w->addressBox->setText(watch("stall-5000"));
    QTest::mouseClick(m_w->downloadButton, Qt::LeftButton);
    QTRY_VERIFY(m_w->transfer->headersIn());
    QTest::mouseClick(m_w->closeButton, Qt::LeftButton);
    QTRY_VERIFY(m_w.isNull()); // deleted once closed
    QTest::qWait(100);          // nothing of it may run any more
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Files).isEmpty());
    QVERIFY(m_messages.calls.isEmpty());
}

// Hidden spools that older versions left at a crash are of no use: the
// window removes them when it opens, a link among them without its target.
void TestYouTubeWindow::oldSpoolsGoWhenTheWindowOpens()
{
    const QString spool = test::writeFile(m_dir->path(), ".vidrona-a1B2c3.part", "left by a crash");
    const QString target = test::writeFile(m_dir->path(), "mine.flv", "a file of the user's own");
    const QString link = m_dir->filePath(".vidrona-d4E5f6.part");
    QVERIFY(QFile::link(target, link));
    open();
    QVERIFY(!QFileInfo::exists(spool));
    QVERIFY(!QFileInfo(link).isSymLink());
    QCOMPARE(test::readFile(target), QByteArray("a file of the user's own"));
}

void TestYouTubeWindow::stopWhileReadingThePage_data()
{
    QTest::addColumn<bool>("close");
    QTest::addColumn<bool>("escape");
    QTest::newRow("cancel") << false << false;
    QTest::newRow("Esc") << false << true;
    QTest::newRow("close") << true << false;
}

void TestYouTubeWindow::stopWhileReadingThePage()
{
    QFETCH(bool, close);
    QFETCH(bool, escape);
    open();
    m_w->addressBox->setText(watch("stallpage"));
    QTest::mouseClick(m_w->downloadButton, Qt::LeftButton);
    QTRY_COMPARE(m_web->server().requests().size(), 1);
    QVERIFY(m_w->busy());
    QCOMPARE(m_w->panelText(1), QString("Getting File Name"));
    if (close) {
        QTest::mouseClick(m_w->closeButton, Qt::LeftButton);
        QTRY_VERIFY(m_w.isNull());
        QTest::qWait(100);
    } else {
        if (escape)
            QTest::keyClick(m_w->addressBox, Qt::Key_Escape);
        else
            QTest::mouseClick(m_w->cancelButton, Qt::LeftButton);
        QVERIFY(!m_w->busy());
        QCOMPARE(m_w->panelText(1), QString("Video Download Stoped By User"));
        QVERIFY(m_w->downloadButton->isEnabled());
    }
    QVERIFY(m_messages.calls.isEmpty());
    QCOMPARE(m_web->server().requests().size(), 1);
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Files).isEmpty());
}

void TestYouTubeWindow::secondDownloadWhileWaiting()
{
    open();
    m_w->addressBox->setText(watch("stall-5000"));
    QTest::mouseClick(m_w->downloadButton, Qt::LeftButton);
    QTRY_VERIFY(m_w->transfer->headersIn());
    // Enabled as "cancel" would leave it, yet without the cancel itself.
    m_w->downloadButton->setEnabled(true);
    QVERIFY(downloadFrom(watch("clip1")));
    QCOMPARE(m_w->panelText(1), QString("File downloaded"));
    QCOMPARE(QFileInfo(m_dir->filePath("Video stall-5000.flv")).size(), 0);
    QCOMPARE(test::readFile(m_dir->filePath("My clip.flv")), testweb::Server::patternBytes(0, 150000));
    QCOMPARE(m_web->server().requests().size(), 4);
    QVERIFY(m_messages.calls.isEmpty());
}

void TestYouTubeWindow::stateTexts()
{
    open();
    m_w->videoTitle = "My clip";
    m_w->transferStateChanged(7);
    QCOMPARE(m_w->panelText(1), QString("Receiving data for My clip"));
    m_w->transferStateChanged(0);
    QCOMPARE(m_w->panelText(1), QString("Receiving data for My clip"));
    m_w->transferStateChanged(2);
    QCOMPARE(m_w->panelText(1), QString("Found.My clip"));
    // A real failure's description arrives with the error state.
    QSignalSpy states(m_w->transfer, &download::youtube::HttpTransfer::StateChanged);
    QVERIFY(m_w->transfer->Execute("http://youtube.com/get_video?video_id=none&t=x", m_dir->filePath("none.flv")));
    QTRY_VERIFY(!m_w->transfer->StillExecuting());
    QVERIFY(states.contains(QVariantList{11}));
    const QString description = transferFaultText(m_w->transfer->fault());
    QVERIFY(!description.isEmpty());
    QCOMPARE(m_w->panelText(1), description); // without its line end
}

void TestYouTubeWindow::mainWindowShowsOneWindow()
{
    const auto window = createMainWindow(m_dir->path(), &m_messages);
    MainWindowView &main = *window;
    const YouTubeOpener &opener = test::panel<YouTubeOpener>(main);
    QPushButton *addVideo = test::ctl<QPushButton>(main, "addVideoButton");
    test::ctl<QLineEdit>(main, "addressBox")->setText(watch("abc"));
    QTest::mouseClick(addVideo, Qt::LeftButton);
    QPointer<QWidget> first = opener.youTubeWindow();
    QVERIFY(first && first->isVisible());
    QCOMPARE(first->objectName(), QString("youTubeWindow"));
    QTest::mouseClick(addVideo, Qt::LeftButton);
    QCOMPARE(opener.youTubeWindow(), first.data());
    QVERIFY(test::storeOf(main).list().rowCount() == 0);
    first->close();
    QTRY_VERIFY(first.isNull());
    QTest::mouseClick(addVideo, Qt::LeftButton);
    QVERIFY(opener.youTubeWindow() && opener.youTubeWindow()->isVisible());
    m_w = qobject_cast<YouTubeWindow *>(opener.youTubeWindow()); // it outlives the main window
}

void TestYouTubeWindow::longTitleKeepsTheWindowSize()
{
    open();
    QVERIFY(QTest::qWaitForWindowExposed(m_w));
    const QSize before = m_w->size();
    m_w->videoTitle = QString(300, 'W');
    m_w->transferStateChanged(7);
    QTest::qWait(100); // the layouts settle
    QCOMPARE(m_w->size(), before);
    QCOMPARE(m_w->panelText(1), "Receiving data for " + m_w->videoTitle);
}

// Run inside the application's own loop, which ends when the last window
// closes: closing (and destroying) the main window must not end it.
void TestYouTubeWindow::outlivesTheMainWindow()
{
    auto window = createMainWindow(m_dir->path(), &m_messages);
    window->show();
    YouTubeOpener &opener = test::panel<YouTubeOpener>(*window);
    opener.showYouTubeWindow();
    m_w = qobject_cast<YouTubeWindow *>(opener.youTubeWindow());
    m_w->addressBox->setText(watch("slow-2000000"));
    QTest::mouseClick(m_w->downloadButton, Qt::LeftButton);
    QTimer::singleShot(0, this, [&window] { window->close(); window.reset(); });
    QTimer poll, watchdog;
    connect(&poll, &QTimer::timeout, this, [this] {
        if (m_w && !m_w->busy())
            m_w->close(); // done: the last window closes
    });
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    poll.start(20);
    watchdog.start(30000);
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY(!window);
    QCOMPARE(test::readFile(m_dir->filePath("Video slow-2000000.flv")),
             testweb::Server::patternBytes(0, 2000000));
}

QTEST_MAIN(TestYouTubeWindow)
#include "tst_youtube_window.moc"
