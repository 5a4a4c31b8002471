// Assembles the main window: FrmMain's controls, found by their names,
// handed to the panel of the subsystem that drives them.
#include "mainwindow.h"
#include "ui/mainwindow/linkspanel.h"
#include "download/liststore.h"
#include "download/service/downloadservice.h"
#include "desktop/desktopbus.h"
#include "desktop/openurl.h"
#include "desktop/preferences.h"
#include "resolve/ytdlp/finder.h"
#include "resolve/ytdlp/formatsreader.h"
#include "ui/mainwindow/downloadfolderview.h"
#include "ui/mainwindow/dropreceiver.h"
#include "ui/preferences/frmpreferences.h"
#include <QAction>
#include <QFileDialog>
#include <functional>
#include <memory>
#include "ui/mainwindow/frmmain.h"
#include "ui/mainwindow/queuepanel.h"
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

namespace vidrona {

namespace {

// A control the window must have; a missing one is a programming error
// that should stop the program at once rather than crash later.
template <typename T>
T *control(const FrmMain &window, const char *name)
{
    T *found = window.findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("main window: no control named %s", name);
    return found;
}

QueuePanel *attachQueue(FrmMain &w, DownloadService &service, MessageService &messages)
{
    return new QueuePanel(service, messages,
                          {control<QTreeView>(w, "lDownload"), control<QPushButton>(w, "cmdDownload"),
                           control<QPushButton>(w, "cmdCancel"), control<QPushButton>(w, "cmdRemove"),
                           control<QPushButton>(w, "cmdClean"), control<QProgressBar>(w, "P1"),
                           control<QLabel>(w, "lblProgress"), control<QTimer>(w, "Timer1")},
                          &w);
}

AddVideoPanel *attachAddVideo(FrmMain &w, DownloadService &service, MessageService &messages,
                              YouTubeOpener *youTube)
{
    return new AddVideoPanel(service, messages,
                             {control<QLineEdit>(w, "txtUrl"), control<QPushButton>(w, "cmdAddVideo"),
                              control<QLabel>(w, "Label4"), control<QRadioButton>(w, "OptLow"),
                              control<QRadioButton>(w, "OptHigh"), control<QRadioButton>(w, "OptAvi")},
                             [youTube] { youTube->showYouTubeWindow(); }, &w);
}

LinksPanel *attachLinks(FrmMain &w, MessageService &messages)
{
    LinksPanel::Controls ui{control<QComboBox>(w, "Combo1"), control<QLineEdit>(w, "Text1"),
                            control<QPushButton>(w, "cmdSearch"),
                            control<QPushButton>(w, "CmdDownloadflash"), {}};
    static const char *const logos[] = {"Image2", "Image3", "Image4", "Image5", "Image6", "Image7"};
    for (int i = 0; i < 6; ++i)
        ui.logos[i] = control<QWidget>(w, logos[i]);
    return new LinksPanel(messages, ui, &w);
}

// The desktop hears of what the queue does; a notification's "Open
// Folder" shows the download folder.
void tellDesktop(FrmMain &w, DownloadService &service, DesktopBus &desktop)
{
    QObject::connect(&service, &DownloadService::rowEnded, &desktop,
                     [&w, &service, &desktop](quint64 id, const net::Failure &failure) {
        const int row = service.list().rowOfId(id);
        // A download the user cancelled is no news to them.
        if (row >= 0 && !w.isActiveWindow() && failure.reason != net::Reason::Cancelled)
            desktop.downloadEnded(service.list().at(row).fileName, service.folder(), !failure.failed(),
                                  failure.text);
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
void attachPreferences(FrmMain &w, QTreeView *list, const Folders &folders, MessageService &messages,
                       const std::function<void(const Preferences &)> &apply)
{
    auto store = std::make_shared<PreferenceStore>(folders);
    apply(store->load().bounded());
    auto *open = new QAction(QStringLiteral("Preferences..."), &w);
    open->setObjectName(QStringLiteral("actPreferences"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    open->setShortcutContext(Qt::WindowShortcut);
    w.addAction(open);
    list->addAction(open);
    QObject::connect(open, &QAction::triggered, &w, [&w, store, downloads = folders.downloads, &messages, apply] {
        const auto chooser = [](QWidget *parent, const QString &start) {
            return QFileDialog::getExistingDirectory(parent, QStringLiteral("Download folder"), start);
        };
        auto *dialog = new FrmPreferences(*store, downloads, chooser, messages, &w);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &FrmPreferences::changed, &w, apply);
        dialog->open();
    });
}

} // namespace

std::unique_ptr<FrmMain> createMainWindow(const QString &programFolder, MessageService *messages)
{
    return createMainWindow(Folders{programFolder, programFolder, true}, messages);
}

std::unique_ptr<FrmMain> createMainWindow(const Folders &folders, MessageService *messages, DesktopBus *desktop)
{
    auto window = std::make_unique<FrmMain>();
    FrmMain &w = *window;
    auto *service = new DownloadService(folders.list, folders.downloads, messages, &w);
    service->setRowReader(std::make_shared<vidrona::resolve::ytdlp::FormatsReader>());
    ListStore *store = &service->store();
    auto *youTube = new YouTubeOpener(folders.downloads, *messages, &w);
    youTube->setService(service);
    QueuePanel *queue = attachQueue(w, *service, *messages);
    QTreeView *list = control<QTreeView>(w, "lDownload");
    showDownloadFolder(list, *store, *messages);
    new DropReceiver({&w, list->viewport()}, [&w](const QStringList &addresses) { addVideos(w, addresses); }, &w);
    if (desktop)
        tellDesktop(w, *service, *desktop);
    attachPreferences(w, list, folders, *messages, [service, desktop, folders](const Preferences &p) {
        applyPreferences(p, *service, desktop, folders.downloads);
    });
    AddVideoPanel *addVideo = attachAddVideo(w, *service, *messages, youTube);
    LinksPanel *links = attachLinks(w, *messages);
    auto *help = new HelpPanel(control<QPushButton>(w, "cmdContacts"),
                               control<QPushButton>(w, "Command2"), &w);

    // Start-up order: the list and the question whether to go on, the
    // site box, the quality choice, the box pictures.
    QObject::connect(&w, &FrmMain::loading, queue, &QueuePanel::Form_Load);
    QObject::connect(&w, &FrmMain::loading, links, &LinksPanel::Form_Load);
    QObject::connect(&w, &FrmMain::loading, addVideo, &AddVideoPanel::Form_Load);
    QObject::connect(&w, &FrmMain::loading, help, &HelpPanel::Form_Load);
    QObject::connect(&w, &FrmMain::unloading, queue, &QueuePanel::Form_Unload);
    QObject::connect(&w, &FrmMain::unloading, help, &HelpPanel::Form_Unload);
    return window;
}

void addVideos(FrmMain &window, const QStringList &addresses)
{
    AddVideoPanel *panel = window.findChild<AddVideoPanel *>(QString(), Qt::FindDirectChildrenOnly);
    if (panel)
        panel->addAddresses(addresses);
}

void addVideos(FrmMain &window, const QList<HandedAddress> &addresses)
{
    AddVideoPanel *panel = window.findChild<AddVideoPanel *>(QString(), Qt::FindDirectChildrenOnly);
    if (panel)
        panel->addAddresses(addresses);
}

void bringToFront(FrmMain &window)
{
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace vidrona
