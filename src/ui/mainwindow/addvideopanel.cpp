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

namespace vidrona::ui::mainwindow {

using desktop::MessageService;
using download::service::DownloadService;
using resolve::QualityOptions;
using resolve::Site;
using resolve::findSite;
using resolve::pastedAddress;
using resolve::siteKey;

AddVideoPanel::AddVideoPanel(DownloadService &service, MessageService &messages, const Controls &controls,
                             std::function<void()> openYouTubeWindow, QObject *parent)
    : QObject(parent)
    , m_service(service)
    , m_messages(messages)
    , m_ui(controls)
    , m_openYouTubeWindow(std::move(openYouTubeWindow))
    , m_table(new resolve::ResolverTable(this))
    , m_escape(new QShortcut(QKeySequence(Qt::Key_Escape), m_ui.addressBox->window()))
{
    connect(m_ui.addVideoButton, &QPushButton::clicked, this, &AddVideoPanel::addVideoClicked);
    connect(m_ui.addressBox, &QLineEdit::textChanged, this, &AddVideoPanel::addressChanged);
    m_ui.addressBox->installEventFilter(this);
    m_ui.addVideoButton->installEventFilter(this);
    m_ui.addressBox->window()->installEventFilter(this);
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

void AddVideoPanel::startUp()
{
    m_ui.lowQualityOption->setChecked(true);
}

void AddVideoPanel::addVideoClicked()
{
    // A press that arrives while an address is worked out is dropped.
    if (resolving())
        return;
    if (const QString pasted = pastedAddress(m_ui.addressBox->text()); pasted != m_ui.addressBox->text())
        m_ui.addressBox->setText(pasted);
    typedAddress = m_ui.addressBox->text();
    m_extras = {}; // a pasted address carries nothing of a browser's
    m_tabTitle.clear();
    startAddress(typedAddress);
}

void AddVideoPanel::addressChanged()
{
    typedAddress = m_ui.addressBox->text();
    const Site *site = findSite(siteKey(typedAddress));
    if (!site)
        return;
    m_ui.sampleLabel->setText(site->sampleCaption());
    // Options once shown stay shown, and the mp4 caption stays.
    switch (site->options) {
    case QualityOptions::Unchanged:
        break;
    case QualityOptions::LowHigh:
        m_ui.lowQualityOption->setVisible(true);
        m_ui.highQualityOption->setVisible(true);
        break;
    case QualityOptions::LowMp4Avi:
        m_ui.lowQualityOption->setVisible(true);
        m_ui.highQualityOption->setText(QStringLiteral("High Quality (mp4)"));
        m_ui.highQualityOption->setVisible(true);
        m_ui.aviQualityOption->setVisible(true);
        break;
    }
}

void AddVideoPanel::addressClicked()
{
    m_ui.addressBox->setSelection(0, int(m_ui.addressBox->text().size()));
}

void AddVideoPanel::addressFocused()
{
    m_ui.addressBox->setSelection(0, int(m_ui.addressBox->text().size()));
}

// While an address is worked out, the address box and "Add Video" take no
// input (Esc there cancels); every other control and window does.
bool AddVideoPanel::holdsOff(QObject *watched, QEvent *event)
{
    if (!resolving() || (watched != m_ui.addressBox && watched != m_ui.addVideoButton))
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
    if (event->type() == QEvent::Close && watched == m_ui.addressBox->window()) {
        m_waiting.clear(); // a closed window adds nothing more
        cancelFetch();
    }
    if (watched == m_ui.addressBox) {
        // Selecting on release: a press would undo a selection made earlier.
        if (event->type() == QEvent::MouseButtonRelease)
            addressClicked();
        else if (event->type() == QEvent::FocusIn)
            QTimer::singleShot(0, this, &AddVideoPanel::addressFocused);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vidrona::ui::mainwindow
