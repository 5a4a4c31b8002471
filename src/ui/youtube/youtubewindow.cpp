#include "youtubewindow.h"
#include "download/youtube/httptransfer.h"
#include "resolve/youtube/pagefetch.h"
#include "resolve/youtube/pageparse.h"
#include "youtubetexts.h"
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>

namespace vidrona::ui::youtube {

using desktop::MessageService;
using desktop::MsgOkOnly;

namespace {
YouTubeWindow::ClipboardText &clipboardProvider()
{
    static YouTubeWindow::ClipboardText provider;
    return provider;
}
const QString Cancel = QStringLiteral("Cancel");
} // namespace

YouTubeWindow::YouTubeWindow(QString *cancelRequest, const QString &programFolder,
                             MessageService *messages, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_cancelRequest(cancelRequest)
    , m_folder(programFolder)
    , m_messages(messages)
{
    setObjectName(QStringLiteral("youTubeWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    buildLayout();
    pageFetch = new resolve::youtube::PageFetch(this);
    pageFetch->setObjectName(QStringLiteral("pageFetch"));
    transfer = new download::youtube::HttpTransfer(this);
    transfer->setObjectName(QStringLiteral("transfer"));
    m_download = new download::youtube::FlvDownload(transfer, this, this);
    download::youtube::removeOldSpools(m_folder);
    connect(pageFetch, &resolve::youtube::PageFetch::fetched, this, &YouTubeWindow::onPage);
    connect(transfer, &download::youtube::HttpTransfer::StateChanged, this, &YouTubeWindow::transferStateChanged);
    connect(downloadButton, &QPushButton::clicked, this, &YouTubeWindow::downloadClicked);
    connect(cancelButton, &QPushButton::clicked, this, &YouTubeWindow::cancelClicked);
    connect(closeButton, &QPushButton::clicked, this, &YouTubeWindow::closeClicked);
    // Esc does what "cancel" does: stops the page read or the transfer.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &YouTubeWindow::cancelClicked);
    addressBox->installEventFilter(this);
}

void YouTubeWindow::useService(DownloadService *service)
{
    transfer->setService(service);
}

YouTubeWindow::~YouTubeWindow()
{
    // Nothing may reach a half-destroyed window.
    pageFetch->abort();
    m_download->abandon();
}

void YouTubeWindow::setClipboardText(ClipboardText provider)
{
    clipboardProvider() = std::move(provider);
}

void YouTubeWindow::startUp()
{
    setWindowTitle(QStringLiteral("YouTube Downloader"));
    setStatusText(QStringLiteral("Status: Welcome"));
    barPicture->hide();
    m_cancelRequest->clear();
    setBarUnits(0);
    const QString clip = clipboardProvider() ? clipboardProvider()()
                                             : QGuiApplication::clipboard()->text();
    if (resolve::youtube::isYouTubeAddress(clip))
        addressBox->insert(clip); // at the caret, over any selection
    lowFlvOption->setChecked(true);
}

bool YouTubeWindow::busy() const
{
    return pageFetch->busy() || m_download->busy();
}

void YouTubeWindow::keepOwnCancelRequest()
{
    m_ownCancelRequest = *m_cancelRequest;
    m_cancelRequest = &m_ownCancelRequest;
}

QString YouTubeWindow::panelText(int panel) const
{
    return (panel == 1 ? statusPanel : percentPanel)->text();
}

void YouTubeWindow::addressClicked()
{
    addressBox->setSelection(0, int(addressBox->text().size()));
}

bool YouTubeWindow::eventFilter(QObject *watched, QEvent *event)
{
    // On release: the press itself would undo the selection.
    if (watched == addressBox && event->type() == QEvent::MouseButtonRelease)
        addressClicked();
    return QWidget::eventFilter(watched, event);
}

void YouTubeWindow::downloadClicked()
{
    if (busy())
        cancelClicked(); // one attempt at a time: the running one ends as stopped
    downloadButton->setEnabled(false);
    m_cancelRequest->clear();
    setBarUnits(0);
    barPicture->show();
    if (addressBox->text().isEmpty()) {
        setStatusText(QStringLiteral("Please Enter YouTube Video Url..!"));
        downloadButton->setEnabled(true);
        return;
    }
    readPage(addressBox->text());
}

void YouTubeWindow::cancelClicked()
{
    *m_cancelRequest = Cancel;
    downloadButton->setEnabled(true);
    if (pageFetch->busy()) {
        pageFetch->abort();
        setStatusText(downloadStateText(download::youtube::FlvState::Stopped, videoTitle));
    }
    m_download->checkCancel();
}

void YouTubeWindow::closeClicked()
{
    close();
}

void YouTubeWindow::closeEvent(QCloseEvent *event)
{
    pageFetch->abort();
    m_download->abandon();
    QWidget::closeEvent(event);
}

void YouTubeWindow::transferStateChanged(int state)
{
    // The error state's description comes with a line end, as the status
    // line's words expect it.
    const QString description = transferFaultText(transfer->fault()) + QStringLiteral("\r\n");
    const auto text = transferStateText(state, videoTitle, description);
    if (text)
        setStatusText(*text);
}

void YouTubeWindow::readPage(const QString &address)
{
    setStatusText(QStringLiteral("Getting File Name"));
    m_pageUrl = address;
    pageFetch->OpenURL(address);
}

void YouTubeWindow::onPage(bool ok, const QByteArray &body, const net::Failure &failure)
{
    QPointer<YouTubeWindow> self(this);
    if (!ok) {
        showMessage(youtube::errorMessage(pageFailureText(failure), false));
        if (self)
            endAttempt(downloadStateText(download::youtube::FlvState::Idle, videoTitle));
        return;
    }
    const resolve::youtube::Quality quality = highMp4Option->isChecked()   ? resolve::youtube::Quality::HighMp4
                                     : highFlvOption->isChecked() ? resolve::youtube::Quality::HighFlv
                                                            : resolve::youtube::Quality::Low;
    const resolve::youtube::PageLookup found = resolve::youtube::lookUpPage(body, quality);
    videoTitle = found.title;
    if (!found.ok) {
        showMessage(lookupMissText(found.miss, m_pageUrl));
        if (self)
            downloadButton->setEnabled(true);
        return;
    }
    videoFileAddress = found.fileUrl;
    downloadFile(videoFileAddress, videoTitle);
}

void YouTubeWindow::endAttempt(const QString &status)
{
    setStatusText(status);
    downloadButton->setEnabled(true);
}

void YouTubeWindow::downloadFile(const QString &fileAddress, const QString &fileName)
{
    m_download->start(fileAddress, fileName, m_folder);
}

void YouTubeWindow::setStatusText(const QString &text)
{
    statusPanel->setText(text);
}

void YouTubeWindow::showState(download::youtube::FlvState state, const QString &title)
{
    setStatusText(downloadStateText(state, title));
}

void YouTubeWindow::showSize(qint64 bytes)
{
    sizeLabel->setText(youtube::sizeText(bytes));
}

void YouTubeWindow::showProgress(const download::youtube::FlvProgress &p)
{
    savedLabel->setText(QString::number(p.done));
    remainingLabel->setText(QString::number(p.left));
    percentLabel->setText(QStringLiteral("% ") + QString::number(p.percent));
    setBarUnits(p.percent * 56);
    percentPanel->setText(QString::number(p.percent) + QStringLiteral(" %"));
}

void YouTubeWindow::showArrival(int percent)
{
    setBarUnits(percent * 56);
    percentPanel->setText(QString::number(percent) + QStringLiteral(" %"));
}

void YouTubeWindow::setFileName(const QString &cleaned)
{
    videoTitle = cleaned;
}

bool YouTubeWindow::useMp4() const
{
    return highMp4Option->isChecked();
}

bool YouTubeWindow::cancelRequested() const
{
    return *m_cancelRequest == Cancel;
}

void YouTubeWindow::showMessage(const QString &text)
{
    m_messages->show(text, QString(), MsgOkOnly);
}

void YouTubeWindow::showFailure(const download::youtube::FlvFailure &failure)
{
    showMessage(youtube::errorMessage(downloadFailureText(failure), true));
}

void YouTubeWindow::enableDownload()
{
    downloadButton->setEnabled(true);
}

} // namespace vidrona::ui::youtube
