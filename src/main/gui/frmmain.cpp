#include "frmmain.h"
#include "clickableimage.h"
#include "main/core/progress.h"
#include "msgbox/core/buttonimages.h"
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>

namespace vidrona {

FrmMain::FrmMain(const QString &programFolder, MessageService *messages, QWidget *parent)
    : QWidget(parent)
    , m_folder(programFolder)
    , m_messages(messages)
    , m_listFile(programFolder)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vidrona v.1.0"));
    buildControls();
    buildLayout();
    wireControls();
    setAccessibility();
}

FrmMain::~FrmMain() = default;

void FrmMain::Form_Load()
{
    // The URL column takes what the name and status columns leave.
    lDownload->header()->setSectionResizeMode(DownloadList::ColFileUrl, QHeaderView::Stretch);
    LoadList();

    const int waiting = waitingCount(m_list);
    if (waiting > 0) {
        const int answer = m_messages->show(resumeQuestion(waiting), QStringLiteral("Confirm"),
                                            MsgYesNo | MsgQuestion);
        if (answer == AnswerYes)
            Timer1->start();
    }

    static const char *const sites[] = {"Videkta.ge", "Tvali.ge", "AllVideos.ge", "YouTube.com",
                                        "Metacafe.com", "Break.com", "DailyMotion.com",
                                        "Video.Google.com"};
    for (const char *site : sites)
        Combo1->addItem(QString::fromLatin1(site));
    Combo1->setCurrentIndex(-1);
    OptLow->setChecked(true);
    msgbox::LoadButtonImages();
    txtUrl->setFocus();
}

void FrmMain::Form_Unload()
{
    msgbox::FreeButtonImages();
}

void FrmMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    QWidget::closeEvent(event);
}

void FrmMain::LoadList()
{
    m_listFile.load(m_list);
    UpdateProgress();
}

void FrmMain::SaveList()
{
    QString error;
    if (m_listFile.save(m_list, &error)) {
        m_saveFailureShown = false;
    } else if (!m_saveFailureShown) {
        // Said once until a save succeeds again; the old list stays on disk.
        m_saveFailureShown = true;
        m_messages->show(QStringLiteral("The download list could not be saved to %1 (%2). "
                                        "The list on disk is the one saved before.")
                             .arg(m_listFile.path(), error),
                         QString(), MsgInformation);
    }
    UpdateProgress();
}

void FrmMain::UpdateProgress()
{
    const ListProgress p = listProgress(m_list);
    // A bar with no room (total 0) keeps its old maximum and shows empty.
    if (p.total > 0)
        P1->setRange(0, p.total);
    P1->setValue(p.completed);
    lblProgress->setText(p.label);
}

void FrmMain::wireControls()
{
    connect(cmdDownload, &QPushButton::clicked, this, &FrmMain::cmdDownload_Click);
    connect(Timer1, &QTimer::timeout, this, &FrmMain::Timer1_Timer);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmMain::cmdCancel_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &FrmMain::cmdRemove_Click);
    connect(cmdClean, &QPushButton::clicked, this, &FrmMain::cmdClean_Click);
    connect(cmdAddVideo, &QPushButton::clicked, this, &FrmMain::cmdAddVideo_Click);
    connect(txtUrl, &QLineEdit::textChanged, this, &FrmMain::txtUrl_Change);
    txtUrl->installEventFilter(this);
    connect(cmdSearch, &QPushButton::clicked, this, &FrmMain::cmdSearch_Click);
    connect(CmdDownloadflash, &QPushButton::clicked, this, &FrmMain::CmdDownloadflash_Click);
    connect(Image2, &ClickableImage::clicked, this, &FrmMain::Image2_Click);
    connect(Image3, &ClickableImage::clicked, this, &FrmMain::Image3_Click);
    connect(Image4, &ClickableImage::clicked, this, &FrmMain::Image4_Click);
    connect(Image5, &ClickableImage::clicked, this, &FrmMain::Image5_Click);
    connect(Image6, &ClickableImage::clicked, this, &FrmMain::Image6_Click);
    connect(Image7, &ClickableImage::clicked, this, &FrmMain::Image7_Click);
    connect(cmdContacts, &QPushButton::clicked, this, &FrmMain::cmdContacts_Click);
    connect(Command2, &QPushButton::clicked, this, &FrmMain::Command2_Click);
}

bool FrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtUrl) {
        // Selecting on release: a press would undo a selection made earlier.
        if (event->type() == QEvent::MouseButtonRelease)
            txtUrl_Click();
        else if (event->type() == QEvent::FocusIn)
            QTimer::singleShot(0, this, &FrmMain::txtUrl_GotFocus);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vidrona
