#include "frmyoutube.h"
#include "download/youtube/httptransfer.h"
#include "resolve/youtube/pagefetch.h"
#include "resolve/youtube/pageparse.h"
#include "download/youtube/transfertext.h"
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

namespace vidrona {

namespace {
FrmYouTube::ClipboardText &clipboardProvider()
{
    static FrmYouTube::ClipboardText provider;
    return provider;
}
const QString Cancel = QStringLiteral("Cancel");
} // namespace

FrmYouTube::FrmYouTube(QString *cancelRequest, const QString &programFolder,
                       MessageService *messages, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_cancelRequest(cancelRequest)
    , m_folder(programFolder)
    , m_messages(messages)
{
    setObjectName(QStringLiteral("frmYouTube"));
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    buildLayout();
    Inet1 = new youtube::PageFetch(this);
    Inet1->setObjectName(QStringLiteral("Inet1"));
    Inet2 = new youtube::HttpTransfer(this);
    Inet2->setObjectName(QStringLiteral("Inet2"));
    m_download = new youtube::FlvDownload(Inet2, this, this);
    youtube::removeOldSpools(m_folder);
    connect(Inet1, &youtube::PageFetch::fetched, this, &FrmYouTube::onPage);
    connect(Inet2, &youtube::HttpTransfer::StateChanged, this, &FrmYouTube::Inet2_StateChanged);
    connect(cmdDownload, &QPushButton::clicked, this, &FrmYouTube::cmdDownload_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmYouTube::cmdCancel_Click);
    connect(cmdQuite, &QPushButton::clicked, this, &FrmYouTube::cmdQuite_Click);
    // Esc does what "cancel" does: stops the page read or the transfer.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &FrmYouTube::cmdCancel_Click);
    Text1->installEventFilter(this);
}

void FrmYouTube::useService(DownloadService *service)
{
    Inet2->setService(service);
}

FrmYouTube::~FrmYouTube()
{
    // Nothing may reach a half-destroyed window.
    Inet1->abort();
    m_download->abandon();
}

void FrmYouTube::setClipboardText(ClipboardText provider)
{
    clipboardProvider() = std::move(provider);
}

void FrmYouTube::Form_Load()
{
    setWindowTitle(QStringLiteral("YouTube Downloader"));
    setStatusText(QStringLiteral("Status: Welcome"));
    Image1->hide();
    m_cancelRequest->clear();
    setImage1Units(0);
    const QString clip = clipboardProvider() ? clipboardProvider()()
                                             : QGuiApplication::clipboard()->text();
    if (youtube::isYouTubeAddress(clip))
        Text1->insert(clip); // at the caret, over any selection
    Option1->setChecked(true);
}

bool FrmYouTube::busy() const
{
    return Inet1->busy() || m_download->busy();
}

void FrmYouTube::keepOwnCancelRequest()
{
    m_ownCancelRequest = *m_cancelRequest;
    m_cancelRequest = &m_ownCancelRequest;
}

QString FrmYouTube::panelText(int panel) const
{
    return (panel == 1 ? sbrPanel1 : sbrPanel2)->text();
}

void FrmYouTube::Text1_Click()
{
    Text1->setSelection(0, int(Text1->text().size()));
}

bool FrmYouTube::eventFilter(QObject *watched, QEvent *event)
{
    // On release: the press itself would undo the selection.
    if (watched == Text1 && event->type() == QEvent::MouseButtonRelease)
        Text1_Click();
    return QWidget::eventFilter(watched, event);
}

void FrmYouTube::cmdDownload_Click()
{
    if (busy())
        cmdCancel_Click(); // one attempt at a time: the running one ends as stopped
    cmdDownload->setEnabled(false);
    m_cancelRequest->clear();
    setImage1Units(0);
    Image1->show();
    if (Text1->text().isEmpty()) {
        setStatusText(QStringLiteral("Please Enter YouTube Video Url..!"));
        cmdDownload->setEnabled(true);
        return;
    }
    GetVideoFile(Text1->text());
}

void FrmYouTube::cmdCancel_Click()
{
    *m_cancelRequest = Cancel;
    cmdDownload->setEnabled(true);
    if (Inet1->busy()) {
        Inet1->abort();
        setStatusText(QStringLiteral("Video Download Stoped By User"));
    }
    m_download->checkCancel();
}

void FrmYouTube::cmdQuite_Click()
{
    close();
}

void FrmYouTube::closeEvent(QCloseEvent *event)
{
    Inet1->abort();
    m_download->abandon();
    QWidget::closeEvent(event);
}

void FrmYouTube::Inet2_StateChanged(int State)
{
    const auto text = youtube::stateText(State, VideoTitle, Inet2->stateDescription());
    if (text)
        setStatusText(*text);
}

void FrmYouTube::GetVideoFile(const QString &Url)
{
    setStatusText(QStringLiteral("Getting File Name"));
    m_pageUrl = Url;
    Inet1->OpenURL(Url);
}

void FrmYouTube::onPage(bool ok, const QByteArray &body, const QString &error)
{
    QPointer<FrmYouTube> self(this);
    if (!ok) {
        showMessage(youtube::errorMessage(error, false));
        if (self)
            endAttempt(QStringLiteral("Idle!"));
        return;
    }
    const youtube::Quality quality = Option2->isChecked()   ? youtube::Quality::HighMp4
                                     : Option3->isChecked() ? youtube::Quality::HighFlv
                                                            : youtube::Quality::Low;
    const youtube::PageLookup found = youtube::lookUpPage(body, m_pageUrl, quality);
    VideoTitle = found.title;
    if (!found.ok) {
        showMessage(found.message);
        if (self)
            cmdDownload->setEnabled(true);
        return;
    }
    VideoFileUrl = found.fileUrl;
    DownloadFlv(VideoFileUrl, VideoTitle);
}

void FrmYouTube::endAttempt(const QString &status)
{
    setStatusText(status);
    cmdDownload->setEnabled(true);
}

void FrmYouTube::DownloadFlv(const QString &Link, const QString &fileName)
{
    m_download->start(Link, fileName, m_folder);
}

void FrmYouTube::setStatusText(const QString &text)
{
    sbrPanel1->setText(text);
}

void FrmYouTube::setSizeText(const QString &text)
{
    lblSize->setText(text);
}

void FrmYouTube::showProgress(const youtube::FlvProgress &p)
{
    lblSaved->setText(QString::number(p.done));
    lblLeft->setText(QString::number(p.left));
    lblPercentage->setText(QStringLiteral("% ") + QString::number(p.percent));
    setImage1Units(p.percent * 56);
    sbrPanel2->setText(QString::number(p.percent) + QStringLiteral(" %"));
}

void FrmYouTube::showArrival(int percent)
{
    setImage1Units(percent * 56);
    sbrPanel2->setText(QString::number(percent) + QStringLiteral(" %"));
}

void FrmYouTube::setFileName(const QString &cleaned)
{
    VideoTitle = cleaned;
}

bool FrmYouTube::useMp4() const
{
    return Option2->isChecked();
}

bool FrmYouTube::cancelRequested() const
{
    return *m_cancelRequest == Cancel;
}

void FrmYouTube::showMessage(const QString &text)
{
    m_messages->show(text, QString(), MsgOkOnly);
}

void FrmYouTube::enableDownload()
{
    cmdDownload->setEnabled(true);
}

} // namespace vidrona
