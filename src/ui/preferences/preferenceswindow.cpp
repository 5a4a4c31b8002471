#include "preferenceswindow.h"
#include "browserspanel.h"
#include "ytdlpgroup.h"
#include "savechoicesbox.h"
#include "filetagsswitch.h"
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace vidrona::ui::preferences {

using desktop::MessageService;
using desktop::MsgCritical;
using desktop::PreferenceStore;
using desktop::Preferences;

namespace {
constexpr int MaxLimitKBs = Preferences::MaxSpeedLimitKBs;

QSpinBox *spin(QWidget *parent, const char *name, int low, int high)
{
    auto *s = new QSpinBox(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(low, high);
    return s;
}
} // namespace

PreferencesWindow::PreferencesWindow(const PreferenceStore &store, const QString &defaultFolder,
                                     FolderChooser chooser, MessageService &messages, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_defaultFolder(defaultFolder)
    , m_chooser(std::move(chooser))
    , m_messages(messages)
{
    setObjectName(QStringLiteral("preferencesWindow"));
    setWindowTitle(QStringLiteral("Preferences"));
    build();
    QString notice;
    showValues(m_store.load(&notice));
    noticeLabel->setText(notice);
    noticeLabel->setVisible(!notice.isEmpty());
}

void PreferencesWindow::build()
{
    folderBox = new QLineEdit(this);
    folderBox->setObjectName(QStringLiteral("folderBox"));
    folderBox->setReadOnly(true); // a folder comes from the chooser only
    auto *choose = new QPushButton(QStringLiteral("Choose..."), this);
    choose->setObjectName(QStringLiteral("chooseFolderButton"));
    connect(choose, &QPushButton::clicked, this, &PreferencesWindow::chooseFolder);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(folderBox, 1);
    folderRow->addWidget(choose);
    simultaneousBox = spin(this, "simultaneousBox", 1, Preferences::MaxSimultaneous);
    connectionsBox = spin(this, "connectionsBox", 1, Preferences::MaxConnections);
    speedLimitBox = spin(this, "speedLimitBox", 0, MaxLimitKBs);
    speedLimitBox->setSuffix(QStringLiteral(" KB/s"));
    speedLimitBox->setSpecialValueText(QStringLiteral("No limit"));
    notifyBox = new QCheckBox(QStringLiteral("Tell the desktop when downloads finish"), this);
    notifyBox->setObjectName(QStringLiteral("notifyBox"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PreferencesWindow::reject);
    // Why the stored values are not shown, when the file was left alone.
    noticeLabel = new QLabel(this);
    noticeLabel->setObjectName(QStringLiteral("noticeLabel"));
    noticeLabel->setWordWrap(true);
    auto *form = new QFormLayout(this);
    form->addRow(noticeLabel);
    form->addRow(QStringLiteral("Download folder:"), folderRow);
    form->addRow(QStringLiteral("Simultaneous downloads:"), simultaneousBox);
    form->addRow(QStringLiteral("Connections per file:"), connectionsBox);
    form->addRow(QStringLiteral("Speed limit:"), speedLimitBox);
    form->addRow(notifyBox);
    form->addRow(QStringLiteral("Browsers:"), new BrowsersPanel(this));
    form->addRow(ytDlpGroup = new YtDlpGroup(this));
    form->addRow(saveChoices = new SaveChoicesBox(this));
    form->addRow(tagsSwitch = new FileTagsSwitch(this));
    form->addRow(buttons);
}

void PreferencesWindow::showValues(const Preferences &p)
{
    folderBox->setText(p.downloadFolder.isEmpty() ? m_defaultFolder : p.downloadFolder);
    simultaneousBox->setValue(p.simultaneous);
    connectionsBox->setValue(p.connections);
    speedLimitBox->setValue(int(qMin<qint64>(p.speedLimit / 1024, MaxLimitKBs)));
    notifyBox->setChecked(p.notify);
    ytDlpGroup->show(p.ytDlp);
    saveChoices->setChoices(p.save);
    tagsSwitch->setChecked(p.tags);
}

Preferences PreferencesWindow::preferences() const
{
    Preferences p;
    p.downloadFolder = folderBox->text() == m_defaultFolder ? QString() : folderBox->text();
    p.simultaneous = simultaneousBox->value();
    p.connections = connectionsBox->value();
    p.speedLimit = qint64(speedLimitBox->value()) * 1024;
    p.notify = notifyBox->isChecked();
    p.ytDlp = ytDlpGroup->values();
    p.save = saveChoices->choices();
    p.tags = tagsSwitch->isChecked();
    return p;
}

void PreferencesWindow::chooseFolder()
{
    const QString folder = m_chooser ? m_chooser(this, folderBox->text()) : QString();
    if (!folder.isEmpty())
        folderBox->setText(folder);
}

void PreferencesWindow::accept()
{
    const Preferences p = preferences();
    if (!m_store.save(p)) {
        m_messages.show(QStringLiteral("The preferences could not be saved to %1.").arg(m_store.path()),
                        windowTitle(), MsgCritical);
        return;
    }
    emit changed(p);
    QDialog::accept();
}

} // namespace vidrona::ui::preferences
