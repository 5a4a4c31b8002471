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

namespace vidrona::ui::mainwindow {

class ClickableImage;

// The main window: it makes, names, lays out and labels its controls, and
// nothing more. What the controls do lives in the subsystems' panels,
// which find them by name and are attached by the program's assembly.
class MainWindowView : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindowView(QWidget *parent = nullptr);
    ~MainWindowView() override;

    // Start-up, run once before the window is first shown: the panels'
    // start-up in the order they were attached, then the address box
    // takes the focus.
    void startUp();

signals:
    void loading();
    void unloading();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void shutDown();
    void buildControls();
    void buildLayout();
    void setAccessibility();

    QGroupBox *addVideoGroup = nullptr;
    QLabel *addressCaption = nullptr;
    QLineEdit *addressBox = nullptr;
    QPushButton *addVideoButton = nullptr;
    QLabel *sampleLabel = nullptr;
    QRadioButton *lowQualityOption = nullptr;
    QRadioButton *highQualityOption = nullptr;
    QRadioButton *aviQualityOption = nullptr;
    QTreeView *downloadList = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QPushButton *removeButton = nullptr;
    QPushButton *cleanButton = nullptr;
    QProgressBar *filesBar = nullptr;
    QLabel *filesLabel = nullptr;
    QTimer *startupTimer = nullptr;
    QGroupBox *searchGroup = nullptr;
    QLabel *searchCaption = nullptr;
    QLineEdit *searchBox = nullptr;
    QComboBox *siteBox = nullptr;
    QPushButton *searchButton = nullptr;
    QLabel *searchSample = nullptr;
    QGroupBox *playerGroup = nullptr;
    QLabel *playerCaption = nullptr;
    QPushButton *playerButton = nullptr;
    ClickableImage *bannerPicture = nullptr;
    ClickableImage *youTubeLogo = nullptr;
    ClickableImage *googleVideoLogo = nullptr;
    ClickableImage *breakLogo = nullptr;
    ClickableImage *videktaLogo = nullptr;
    ClickableImage *tvaliLogo = nullptr;
    ClickableImage *allVideosLogo = nullptr;
    QPushButton *helpButton = nullptr;
    QPushButton *aboutButton = nullptr;
};

} // namespace vidrona::ui::mainwindow
