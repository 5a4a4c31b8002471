#pragma once
#include "main/core/downloadlist.h"
#include "main/core/listfile.h"
#include "main/core/messages.h"
#include <QPointer>
#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;
class QTreeView;

namespace vidrona {

class ClickableImage;

// The main window. Its handlers are spread over the subsystem folders
// (queue in main/, resolvers and the address box in resolvers/, search and
// outside links in links/, Help/About in msgbox/, the YouTube window in
// youtube/); the window itself only lays out controls and wires them.
class FrmMain : public QWidget
{
    Q_OBJECT
public:
    // programFolder: where the list file and the downloaded files live.
    FrmMain(const QString &programFolder, MessageService *messages, QWidget *parent = nullptr);
    ~FrmMain() override;

    // Start-up, run once before the window is first shown.
    void Form_Load();

    // Window-level fields shared with the resolvers and the YouTube window.
    QString VideoUrl;
    QString FileUrl;
    QString CancelRequest;

    QString programFolder() const { return m_folder; }
    DownloadList &list() { return m_list; }
    MessageService &messages() { return *m_messages; }

    // The list and its file.
    void LoadList();
    void SaveList();
    void UpdateProgress();

    // Adds FileUrl to the list as a PENDING row.
    void Download();
    void RunQueue();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // queue (main/gui/frmmain_queue.cpp)
    void cmdDownload_Click();
    void Timer1_Timer();
    void cmdCancel_Click();
    void cmdRemove_Click();
    void cmdClean_Click();
    // address box and resolvers (resolvers/gui)
    void cmdAddVideo_Click();
    void txtUrl_Change();
    void txtUrl_Click();
    void txtUrl_GotFocus();
    // search and outside links (links/gui)
    void cmdSearch_Click();
    void CmdDownloadflash_Click();
    void Image2_Click();
    void Image3_Click();
    void Image4_Click();
    void Image5_Click();
    void Image6_Click();
    void Image7_Click();
    // Help and About (msgbox/gui)
    void cmdContacts_Click();
    void Command2_Click();

private:
    void Form_Unload();
    void buildControls();
    void buildLayout();
    void wireControls();
    void setAccessibility();
    void showYouTubeWindow(); // youtube/gui

    QString m_folder;
    MessageService *m_messages;
    DownloadList m_list;
    ListFile m_listFile;
    bool m_saveFailureShown = false;

public: // controls, named as in the design so tests find them
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
    QPlainTextEdit *txtWebSource = nullptr;
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

    // --- download engine (main/gui/frmmain_queue.cpp) adds its members here ---
    // The file fetches' transfer component; made with the queue on first use.
    class Transfer *iDownload = nullptr;
    class QueueRunner *downloadQueue();
    void iDownload_StateChanged(int state);
    quint64 selectedRowId() const; // 0: no row selected
    static QString addErrorText();
private:
    QueueRunner *m_queue = nullptr;
public:

    // --- resolvers (resolvers/gui) add their members here ---
    // One per site; each reads the address box and hands its file on.
    void Metacafe();
    void Videkta();
    void Tvali();
    void AllVideos();
    void Break();
    void DailyMotion();
    void Google();
    bool resolving() const { return m_resolving; }
private:
    void runSiteAction(int action);
    QString readSitePage();
    QString askLinkService();
    int selectedQuality() const;
    bool takeResolved(const QString &fileUrl); // empty: nothing found
    void addResolved(const QString &fileUrl);
    void openResolved(const QString &fileUrl);
    bool m_resolving = false;   // a resolver is waiting for its page
    bool m_fetchFailed = false; // the last page or answer came back empty
public:

    // --- YouTube window (youtube/gui) adds its members here ---
    // The open YouTube window, if any (it deletes itself when closed).
    QWidget *youTubeWindow() const { return m_youTubeWindow; }
private:
    QPointer<QWidget> m_youTubeWindow;
public:
};

} // namespace vidrona
