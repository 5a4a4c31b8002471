#pragma once
#include <QObject>

class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vidrona {

class MessageService;

// The site search and the outside links of the main window: every one of
// them opens an address in the web browser.
class LinksPanel : public QObject
{
    Q_OBJECT
public:
    struct Controls {
        QComboBox *Combo1;
        QLineEdit *Text1;
        QPushButton *cmdSearch;
        QPushButton *CmdDownloadflash;
        // Image2 .. Image7, the logos; each has a clicked() signal.
        QWidget *logos[6];
    };

    LinksPanel(MessageService &messages, const Controls &controls, QObject *parent = nullptr);

    // Fills the site box; no site is chosen until the user picks one.
    void Form_Load();

private slots:
    void cmdSearch_Click();
    void CmdDownloadflash_Click();
    void Image2_Click();
    void Image3_Click();
    void Image4_Click();
    void Image5_Click();
    void Image6_Click();
    void Image7_Click();

private:
    MessageService &m_messages;
    Controls m_ui;
};

} // namespace vidrona
