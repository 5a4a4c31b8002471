#include "browserspanel.h"
#include "desktop/browserconnect.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vidrona::ui::preferences {

BrowsersPanel::BrowsersPanel(const QString &hostPath, const QString &home, QWidget *parent)
    : QWidget(parent), m_hostPath(hostPath), m_home(home)
{
    setObjectName(QStringLiteral("browsersPanel"));
    connectButton = new QPushButton(QStringLiteral("Connect browsers"), this);
    connectButton->setObjectName(QStringLiteral("connectBrowsersButton"));
    connectedLabel = new QLabel(this);
    connectedLabel->setObjectName(QStringLiteral("browsersConnectedLabel"));
    connectedLabel->setWordWrap(true);
    connectedLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(connectButton, 0, Qt::AlignLeft);
    layout->addWidget(connectedLabel);
    connect(connectButton, &QPushButton::clicked, this, &BrowsersPanel::connectBrowsers);
}

BrowsersPanel::BrowsersPanel(QWidget *parent)
    : BrowsersPanel(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vidrona-browser-host")),
                    QDir::homePath(), parent)
{
}

void BrowsersPanel::connectBrowsers()
{
    if (!QFileInfo(m_hostPath).isExecutable()) {
        connectedLabel->setText(QStringLiteral("The browsers cannot be connected: %1 is missing.")
                                  .arg(QDir::toNativeSeparators(m_hostPath)));
        return;
    }
    const desktop::browserhost::Connected done = desktop::browserhost::connectBrowsers(m_hostPath, m_home);
    QStringList where;
    for (const QString &path : done.written)
        where << QDir::toNativeSeparators(path);
    QString text = where.isEmpty() ? QString()
                                   : QStringLiteral("Browsers connected. The host's manifests are in:\n%1")
                                         .arg(where.join(QLatin1Char('\n')));
    if (!done.error.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("Not written: %1").arg(done.error);
    connectedLabel->setText(text);
}

} // namespace vidrona::ui::preferences
