// The address box and "Add Video": the sample of the site typed, the
// quality options, and the press.
#include "addvideopanel.h"
#include "download/service/downloadservice.h"
#include "desktop/messages.h"
#include "resolve/getsource.h"
#include "resolve/resolvertable.h"
#include "resolve/site.h"
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QKeyEvent>
#include <QShortcut>
#include <QTimer>

namespace vidrona {

AddVideoPanel::AddVideoPanel(DownloadService &service, MessageService &messages, const Controls &controls,
                             std::function<void()> openYouTubeWindow, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_messages(messages)
    , m_ui(controls)
    , m_openYouTubeWindow(std::move(openYouTubeWindow))
    , m_table(new resolve::ResolverTable(this))
    , m_escape(new QShortcut(QKeySequence(Qt::Key_Escape), m_ui.txtUrl->window()))
{
    connect(m_ui.cmdAddVideo, &QPushButton::clicked, this, &AddVideoPanel::cmdAddVideo_Click);
    connect(m_ui.txtUrl, &QLineEdit::textChanged, this, &AddVideoPanel::txtUrl_Change);
    m_ui.txtUrl->installEventFilter(this);
    m_ui.cmdAddVideo->installEventFilter(this);
    m_ui.txtUrl->window()->installEventFilter(this);
    m_escape->setObjectName(QStringLiteral("cancelFetch"));
    m_escape->setEnabled(false);
    connect(m_escape, &QShortcut::activated, this, &AddVideoPanel::cancelFetch);
    connect(m_table, &resolve::ResolverTable::answered, this, &AddVideoPanel::showAnswer);
}

AddVideoPanel::~AddVideoPanel() = default;

bool AddVideoPanel::resolving() const
{
    return m_table->busy();
}

void AddVideoPanel::cancelFetch()
{
    m_table->cancel();
}

void AddVideoPanel::Form_Load()
{
    m_ui.OptLow->setChecked(true);
}

void AddVideoPanel::cmdAddVideo_Click()
{
    // A press that arrives while an address is worked out is dropped.
    if (resolving())
        return;
    if (const QString pasted = pastedAddress(m_ui.txtUrl->text()); pasted != m_ui.txtUrl->text())
        m_ui.txtUrl->setText(pasted);
    VideoUrl = m_ui.txtUrl->text();
    m_extras = {}; // a pasted address carries nothing of a browser's
    m_tabTitle.clear();
    startAddress(VideoUrl);
}

void AddVideoPanel::txtUrl_Change()
{
    VideoUrl = m_ui.txtUrl->text();
    const Site *site = findSite(siteKey(VideoUrl));
    if (!site)
        return;
    m_ui.Label4->setText(site->sampleCaption());
    // Options once shown stay shown, and the mp4 caption stays.
    switch (site->options) {
    case QualityOptions::Unchanged:
        break;
    case QualityOptions::LowHigh:
        m_ui.OptLow->setVisible(true);
        m_ui.OptHigh->setVisible(true);
        break;
    case QualityOptions::LowMp4Avi:
        m_ui.OptLow->setVisible(true);
        m_ui.OptHigh->setText(QStringLiteral("High Quality (mp4)"));
        m_ui.OptHigh->setVisible(true);
        m_ui.OptAvi->setVisible(true);
        break;
    }
}

void AddVideoPanel::txtUrl_Click()
{
    m_ui.txtUrl->setSelection(0, int(m_ui.txtUrl->text().size()));
}

void AddVideoPanel::txtUrl_GotFocus()
{
    m_ui.txtUrl->setSelection(0, int(m_ui.txtUrl->text().size()));
}

// While an address is worked out, the address box and "Add Video" take no
// input (Esc there cancels); every other control and window does.
bool AddVideoPanel::holdsOff(QObject *watched, QEvent *event)
{
    if (!resolving() || (watched != m_ui.txtUrl && watched != m_ui.cmdAddVideo))
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
            cancelFetch();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

bool AddVideoPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (holdsOff(watched, event))
        return true;
    if (event->type() == QEvent::Close && watched == m_ui.txtUrl->window()) {
        m_waiting.clear(); // a closed window adds nothing more
        cancelFetch();
    }
    if (watched == m_ui.txtUrl) {
        // Selecting on release: a press would undo a selection made earlier.
        if (event->type() == QEvent::MouseButtonRelease)
            txtUrl_Click();
        else if (event->type() == QEvent::FocusIn)
            QTimer::singleShot(0, this, &AddVideoPanel::txtUrl_GotFocus);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vidrona
