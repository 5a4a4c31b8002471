#pragma once
#include <QObject>

class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vidrona::desktop {
class MessageService;
}

namespace vidrona::ui::mainwindow {

using desktop::MessageService;

// The site search and the outside links of the main window: every one of
// them opens an address in the web browser.
class LinksPanel : public QObject
{
    Q_OBJECT
public:
    struct Controls {
        QComboBox *siteBox;
        QLineEdit *searchBox;
        QPushButton *searchButton;
        QPushButton *playerButton;
        // youTubeLogo .. allVideosLogo, the logos; each has a clicked() signal.
        QWidget *logos[6];
    };

    LinksPanel(MessageService &messages, const Controls &controls, QObject *parent = nullptr);

    // Fills the site box; no site is chosen until the user picks one.
    void startUp();

private slots:
    void searchClicked();
    void playerClicked();
    void youTubeLogoClicked();
    void googleVideoLogoClicked();
    void breakLogoClicked();
    void videktaLogoClicked();
    void tvaliLogoClicked();
    void allVideosLogoClicked();

private:
    MessageService &m_messages;
    Controls m_ui;
};

} // namespace vidrona::ui::mainwindow
