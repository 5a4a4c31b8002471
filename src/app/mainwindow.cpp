// Assembles the main window: MainWindowView's controls, found by their names,
// handed to the panel of the subsystem that drives them.
#include "mainwindow.h"
#include "ui/mainwindow/linkspanel.h"
#include "ui/mainwindow/listtexts.h"
#include "download/liststore.h"
#include "download/service/downloadservice.h"
#include "desktop/desktopbus.h"
#include "desktop/openurl.h"
#include "desktop/preferences.h"
#include "resolve/ytdlp/finder.h"
#include "resolve/ytdlp/formatsreader.h"
#include "ui/mainwindow/downloadfolderview.h"
#include "ui/mainwindow/dropreceiver.h"
#include "ui/preferences/preferenceswindow.h"
#include <QAction>
#include <QFileDialog>
#include <functional>
#include <memory>
#include "ui/mainwindow/mainwindowview.h"
#include "ui/mainwindow/queuepanel.h"
#include "ui/mainwindow/queuetexts.h"
#include "ui/messagebox/helppanel.h"
#include "ui/mainwindow/addvideopanel.h"
#include "ui/youtube/youtubeopener.h"
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>

namespace vidrona::app {

using desktop::DesktopBus;
using desktop::Folders;
using desktop::HandedAddress;
using desktop::MessageService;
using desktop::OpenFolder;
using desktop::PreferenceStore;
using desktop::Preferences;
using download::ListStore;
using download::service::DownloadService;
using ui::mainwindow::AddVideoPanel;
using ui::mainwindow::DropReceiver;
using ui::mainwindow::LinksPanel;
using ui::mainwindow::MainWindowView;
using ui::mainwindow::QueuePanel;
using ui::mainwindow::endedText;
using ui::mainwindow::sayListNotices;
using ui::mainwindow::showDownloadFolder;
using ui::preferences::PreferencesWindow;
using ui::youtube::YouTubeOpener;

namespace {

// A control the window must have; a missing one is a programming error
// that should stop the program at once rather than crash later.
template <typename T>
T *control(const MainWindowView &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("main window: no control named %s", name);
    return found;
}

QueuePanel *attachQueue(MainWindowView &w, DownloadService &service, MessageService &messages)
{
    return new QueuePanel(service, messages,
                          {control<QTreeView>(w, "downloadList"), control<QPushButton>(w, "startButton"),
                           control<QPushButton>(w, "cancelButton"), control<QPushButton>(w, "removeButton"),
                           control<QPushButton>(w, "cleanButton"), control<QProgressBar>(w, "filesBar"),
                           control<QLabel>(w, "filesLabel"), control<QTimer>(w, "startupTimer")},
                          &w);
}

AddVideoPanel *attachAddVideo(MainWindowView &w, DownloadService &service, MessageService &messages,
                              YouTubeOpener *youTube)
{
    return new AddVideoPanel(service, messages,
                             {control<QLineEdit>(w, "addressBox"), control<QPushButton>(w, "addVideoButton"),
                              control<QLabel>(w, "sampleLabel"), control<QRadioButton>(w, "lowQualityOption"),
                              control<QRadioButton>(w, "highQualityOption"),
                              control<QRadioButton>(w, "aviQualityOption")},
                             [youTube] { youTube->showYouTubeWindow(); }, &w);
}

LinksPanel *attachLinks(MainWindowView &w, MessageService &messages)
{
    LinksPanel::Controls ui{control<QComboBox>(w, "siteBox"), control<QLineEdit>(w, "searchBox"),
                            control<QPushButton>(w, "searchButton"),
                            control<QPushButton>(w, "playerButton"), {}};
    static const char *const logos[] = {"youTubeLogo", "googleVideoLogo", "breakLogo",
                                        "videktaLogo", "tvaliLogo", "allVideosLogo"};
    for (int i = 0; i < 6; ++i)
        ui.logos[i] = control<QWidget>(w, logos[i]);
    return new LinksPanel(messages, ui, &w);
}

// The desktop hears of what the queue does; a notification's "Open
// Folder" shows the download folder.
void tellDesktop(MainWindowView &w, DownloadService &service, DesktopBus &desktop)
{
    QObject::connect(&service, &DownloadService::rowEnded, &desktop,
                     [&w, &service, &desktop](quint64 id, const net::Failure &failure) {
        const int row = service.list().rowOfId(id);
        // A download the user cancelled is no news to them.
        if (row >= 0 && !w.isActiveWindow() && failure.reason != net::Reason::Cancelled)
            desktop.downloadEnded(service.list().at(row).fileName, service.folder(), !failure.failed(),
                                  endedText(failure)); // the row's own words, as its cell shows them
    });
    QObject::connect(&service, &DownloadService::progressed, &desktop, &DesktopBus::showProgress);
    QObject::connect(&service, &DownloadService::runEnded, &desktop, &DesktopBus::clearProgress);
    QObject::connect(&desktop, &DesktopBus::openFolderRequested, &w, [](const QString &f) { OpenFolder(f); });
}

// What the Preferences say, for the next fetches: where they go, how many
// rows and connections at once, the speed limit; notifications at once.
void applyPreferences(const Preferences &p, DownloadService &service, DesktopBus *desktop,
                      const QString &defaultFolder)
{
    service.apply({p.simultaneous, p.connections, p.speedLimit,
                   p.downloadFolder.isEmpty() ? defaultFolder : p.downloadFolder, p.save.quality,
                   p.save.mp3Level(), p.tags, p.save.subtitles, p.save.subtitlesInside});
    if (desktop)
        desktop->setNotificationsEnabled(p.notify);
    resolve::ytdlp::setSettings({p.ytDlp.program, p.ytDlp.cookiesBrowser});
    resolve::ytdlp::setSaveWish({p.save.quality, p.save.mp3});
}

// Ctrl+, and the list's context menu open the Preferences window.
void attachPreferences(MainWindowView &w, QTreeView *list, const Folders &folders, MessageService &messages,
                       const std::function<void(const Preferences &)> &apply)
{
    auto store = std::make_shared<PreferenceStore>(folders);
    apply(store->load().bounded());
    auto *open = new QAction(QStringLiteral("Preferences..."), &w);
    open->setObjectName(QStringLiteral("preferencesAction"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    open->setShortcutContext(Qt::WindowShortcut);
    w.addAction(open);
    list->addAction(open);
    QObject::connect(open, &QAction::triggered, &w, [&w, store, downloads = folders.downloads, &messages, apply] {
        const auto chooser = [](QWidget *parent, const QString &start) {
            return QFileDialog::getExistingDirectory(parent, QStringLiteral("Download folder"), start);
        };
        auto *dialog = new PreferencesWindow(*store, downloads, chooser, messages, &w);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &PreferencesWindow::changed, &w, apply);
        dialog->open();
    });
}

} // namespace

std::unique_ptr<MainWindowView> createMainWindow(const QString &programFolder, MessageService *messages)
{
    return createMainWindow(Folders{programFolder, programFolder, true}, messages);
}

std::unique_ptr<MainWindowView> createMainWindow(const Folders &folders, MessageService *messages, DesktopBus *desktop)
{
    auto window = std::make_unique<MainWindowView>();
    MainWindowView &w = *window;
    auto *service = new DownloadService(folders.list, folders.downloads, &w);
    // Before anything reads the list: an unreadable one is heard of first.
    if (messages)
        sayListNotices(*service, *messages);
    service->setRowReader(std::make_shared<vidrona::resolve::ytdlp::FormatsReader>());
    ListStore *store = &service->store();
    auto *youTube = new YouTubeOpener(folders.downloads, *messages, &w);
    youTube->setService(service);
    QueuePanel *queue = attachQueue(w, *service, *messages);
    QTreeView *list = control<QTreeView>(w, "downloadList");
    showDownloadFolder(list, *store, *messages);
    new DropReceiver({&w, list->viewport()}, [&w](const QStringList &addresses) { addVideos(w, addresses); }, &w);
    if (desktop)
        tellDesktop(w, *service, *desktop);
    attachPreferences(w, list, folders, *messages, [service, desktop, folders](const Preferences &p) {
        applyPreferences(p, *service, desktop, folders.downloads);
    });
    AddVideoPanel *addVideo = attachAddVideo(w, *service, *messages, youTube);
    LinksPanel *links = attachLinks(w, *messages);
    auto *help = new ui::messagebox::HelpPanel(control<QPushButton>(w, "helpButton"),
                                           control<QPushButton>(w, "aboutButton"), &w);

    // Start-up order: the list and the question whether to go on, the
    // site box, the quality choice, the box pictures.
    QObject::connect(&w, &MainWindowView::loading, queue, &QueuePanel::startUp);
    QObject::connect(&w, &MainWindowView::loading, links, &LinksPanel::startUp);
    QObject::connect(&w, &MainWindowView::loading, addVideo, &AddVideoPanel::startUp);
    QObject::connect(&w, &MainWindowView::loading, help, &ui::messagebox::HelpPanel::startUp);
    QObject::connect(&w, &MainWindowView::unloading, queue, &QueuePanel::shutDown);
    QObject::connect(&w, &MainWindowView::unloading, help, &ui::messagebox::HelpPanel::shutDown);
    return window;
}

void addVideos(MainWindowView &window, const QStringList &addresses)
{
    AddVideoPanel *panel = window.findChild<AddVideoPanel *>(QString(), Qt::FindDirectChildrenOnly);
    if (panel)
        panel->addAddresses(addresses);
}

void addVideos(MainWindowView &window, const QList<HandedAddress> &addresses)
{
    AddVideoPanel *panel = window.findChild<AddVideoPanel *>(QString(), Qt::FindDirectChildrenOnly);
    if (panel)
        panel->addAddresses(addresses);
}

void bringToFront(MainWindowView &window)
{
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace vidrona::app
