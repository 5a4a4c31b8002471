#include "frmpreferences.h"
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

namespace vidrona {

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

FrmPreferences::FrmPreferences(const PreferenceStore &store, const QString &defaultFolder, FolderChooser chooser,
                               MessageService &messages, QWidget *parent)
    : QDialog(parent), m_store(store), m_defaultFolder(defaultFolder), m_chooser(std::move(chooser)), m_messages(messages)
{
    setObjectName(QStringLiteral("frmPreferences"));
    setWindowTitle(QStringLiteral("Preferences"));
    build();
    QString notice;
    showValues(m_store.load(&notice));
    lblNotice->setText(notice);
    lblNotice->setVisible(!notice.isEmpty());
}

void FrmPreferences::build()
{
    txtDownloadFolder = new QLineEdit(this);
    txtDownloadFolder->setObjectName(QStringLiteral("txtDownloadFolder"));
    txtDownloadFolder->setReadOnly(true); // a folder comes from the chooser only
    auto *choose = new QPushButton(QStringLiteral("Choose..."), this);
    choose->setObjectName(QStringLiteral("cmdChooseFolder"));
    connect(choose, &QPushButton::clicked, this, &FrmPreferences::chooseFolder);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(txtDownloadFolder, 1);
    folderRow->addWidget(choose);
    spnSimultaneous = spin(this, "spnSimultaneous", 1, Preferences::MaxSimultaneous);
    spnConnections = spin(this, "spnConnections", 1, Preferences::MaxConnections);
    spnSpeedLimit = spin(this, "spnSpeedLimit", 0, MaxLimitKBs);
    spnSpeedLimit->setSuffix(QStringLiteral(" KB/s"));
    spnSpeedLimit->setSpecialValueText(QStringLiteral("No limit"));
    chkNotify = new QCheckBox(QStringLiteral("Tell the desktop when downloads finish"), this);
    chkNotify->setObjectName(QStringLiteral("chkNotify"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &FrmPreferences::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FrmPreferences::reject);
    // Why the stored values are not shown, when the file was left alone.
    lblNotice = new QLabel(this);
    lblNotice->setObjectName(QStringLiteral("lblNotice"));
    lblNotice->setWordWrap(true);
    auto *form = new QFormLayout(this);
    form->addRow(lblNotice);
    form->addRow(QStringLiteral("Download folder:"), folderRow);
    form->addRow(QStringLiteral("Simultaneous downloads:"), spnSimultaneous);
    form->addRow(QStringLiteral("Connections per file:"), spnConnections);
    form->addRow(QStringLiteral("Speed limit:"), spnSpeedLimit);
    form->addRow(chkNotify);
    form->addRow(QStringLiteral("Browsers:"), new BrowsersPanel(this));
    form->addRow(grpYtDlp = new YtDlpGroup(this));
    form->addRow(saveChoices = new SaveChoicesBox(this));
    form->addRow(chkTags = new FileTagsSwitch(this));
    form->addRow(buttons);
}

void FrmPreferences::showValues(const Preferences &p)
{
    txtDownloadFolder->setText(p.downloadFolder.isEmpty() ? m_defaultFolder : p.downloadFolder);
    spnSimultaneous->setValue(p.simultaneous);
    spnConnections->setValue(p.connections);
    spnSpeedLimit->setValue(int(qMin<qint64>(p.speedLimit / 1024, MaxLimitKBs)));
    chkNotify->setChecked(p.notify);
    grpYtDlp->show(p.ytDlp);
    saveChoices->setChoices(p.save);
    chkTags->setChecked(p.tags);
}

Preferences FrmPreferences::preferences() const
{
    Preferences p;
    p.downloadFolder = txtDownloadFolder->text() == m_defaultFolder ? QString() : txtDownloadFolder->text();
    p.simultaneous = spnSimultaneous->value();
    p.connections = spnConnections->value();
    p.speedLimit = qint64(spnSpeedLimit->value()) * 1024;
    p.notify = chkNotify->isChecked();
    p.ytDlp = grpYtDlp->values();
    p.save = saveChoices->choices();
    p.tags = chkTags->isChecked();
    return p;
}

void FrmPreferences::chooseFolder()
{
    const QString folder = m_chooser ? m_chooser(this, txtDownloadFolder->text()) : QString();
    if (!folder.isEmpty())
        txtDownloadFolder->setText(folder);
}

void FrmPreferences::accept()
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

} // namespace vidrona
