#pragma once
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;

namespace vidrona::ui::preferences {

// "Connect browsers": writes the native messaging host's manifests into
// this user's browser folders, so that the extension reaches this copy of
// the program (a portable copy has none installed for the system), and
// says where they went.
class BrowsersPanel : public QWidget
{
    Q_OBJECT
public:
    // hostPath: the host beside the program; home: the user's home folder.
    BrowsersPanel(const QString &hostPath, const QString &home, QWidget *parent = nullptr);
    // The host beside the running program, in the user's home.
    explicit BrowsersPanel(QWidget *parent = nullptr);

private:
    void connectBrowsers();

    QString m_hostPath;
    QString m_home;
    QPushButton *connectButton;
    QLabel *connectedLabel;
};

} // namespace vidrona::ui::preferences
