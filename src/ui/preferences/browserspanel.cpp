#include "browserspanel.h"
#include "desktop/browserconnect.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vidrona {

BrowsersPanel::BrowsersPanel(const QString &hostPath, const QString &home, QWidget *parent)
    : QWidget(parent), m_hostPath(hostPath), m_home(home)
{
    setObjectName(QStringLiteral("browsersPanel"));
    cmdConnect = new QPushButton(QStringLiteral("Connect browsers"), this);
    cmdConnect->setObjectName(QStringLiteral("cmdConnectBrowsers"));
    lblConnected = new QLabel(this);
    lblConnected->setObjectName(QStringLiteral("lblBrowsersConnected"));
    lblConnected->setWordWrap(true);
    lblConnected->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(cmdConnect, 0, Qt::AlignLeft);
    layout->addWidget(lblConnected);
    connect(cmdConnect, &QPushButton::clicked, this, &BrowsersPanel::connectBrowsers);
}

BrowsersPanel::BrowsersPanel(QWidget *parent)
    : BrowsersPanel(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vidrona-browser-host")),
                    QDir::homePath(), parent)
{
}

void BrowsersPanel::connectBrowsers()
{
    if (!QFileInfo(m_hostPath).isExecutable()) {
        lblConnected->setText(QStringLiteral("The browsers cannot be connected: %1 is missing.")
                                  .arg(QDir::toNativeSeparators(m_hostPath)));
        return;
    }
    const browserhost::Connected done = browserhost::connectBrowsers(m_hostPath, m_home);
    QStringList where;
    for (const QString &path : done.written)
        where << QDir::toNativeSeparators(path);
    QString text = where.isEmpty() ? QString()
                                   : QStringLiteral("Browsers connected. The host's manifests are in:\n%1")
                                         .arg(where.join(QLatin1Char('\n')));
    if (!done.error.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("Not written: %1").arg(done.error);
    lblConnected->setText(text);
}

} // namespace vidrona
