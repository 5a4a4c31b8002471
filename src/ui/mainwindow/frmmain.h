#pragma once
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeView;

namespace vidrona {

class ClickableImage;

// The main window: it makes, names, lays out and labels its controls, and
// nothing more. What the controls do lives in the subsystems' panels,
// which find them by name and are attached by the program's assembly.
class FrmMain : public QWidget
{
    Q_OBJECT
public:
    explicit FrmMain(QWidget *parent = nullptr);
    ~FrmMain() override;

    // Start-up, run once before the window is first shown: the panels'
    // start-up in the order they were attached, then the address box
    // takes the focus.
    void Form_Load();

signals:
    void loading();
    void unloading();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Unload();
    void buildControls();
    void buildLayout();
    void setAccessibility();

    QGroupBox *Frame2 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *txtUrl = nullptr;
    QPushButton *cmdAddVideo = nullptr;
    QLabel *Label4 = nullptr;
    QRadioButton *OptLow = nullptr;
    QRadioButton *OptHigh = nullptr;
    QRadioButton *OptAvi = nullptr;
    QTreeView *lDownload = nullptr;
    QPushButton *cmdDownload = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdRemove = nullptr;
    QPushButton *cmdClean = nullptr;
    QProgressBar *P1 = nullptr;
    QLabel *lblProgress = nullptr;
    QTimer *Timer1 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QPushButton *cmdSearch = nullptr;
    QLabel *Label2 = nullptr;
    QGroupBox *Frame3 = nullptr;
    QLabel *Label6 = nullptr;
    QPushButton *CmdDownloadflash = nullptr;
    ClickableImage *Image1 = nullptr;
    ClickableImage *Image2 = nullptr;
    ClickableImage *Image3 = nullptr;
    ClickableImage *Image4 = nullptr;
    ClickableImage *Image5 = nullptr;
    ClickableImage *Image6 = nullptr;
    ClickableImage *Image7 = nullptr;
    QPushButton *cmdContacts = nullptr;
    QPushButton *Command2 = nullptr;
};

} // namespace vidrona
