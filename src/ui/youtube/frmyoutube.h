#pragma once
#include "desktop/messages.h"
#include "download/youtube/flvdownload.h"
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace vidrona {

class DownloadService;

namespace youtube {
class HttpTransfer;
class PageFetch;
}

// The YouTube window: one video at a time, apart from the download list.
class FrmYouTube : public QWidget, private youtube::FlvDownloadView
{
    Q_OBJECT
public:
    // cancelRequest: the main window's CancelRequest field, which outlives us.
    FrmYouTube(QString *cancelRequest, const QString &programFolder, MessageService *messages,
               QWidget *parent = nullptr);
    ~FrmYouTube() override;

    // Where the window reads the clipboard's text; tests put their own here.
    using ClipboardText = std::function<QString()>;
    static void setClipboardText(ClipboardText provider); // empty: the system clipboard

    void Form_Load();
    bool busy() const;
    // The owner of the stop flag goes away: the window keeps a copy of it.
    void keepOwnCancelRequest();
    // The window's file is fetched as the list's rows are (see
    // DownloadService::prepareBeside).
    void useService(DownloadService *service);

    QString VideoTitle;
    QString VideoFileUrl;

    // The two panels of the status bar, 1 and 2.
    QString panelText(int panel) const;
    // Width of the progress bar in the window's units (5600 at 100 %).
    int image1Units() const { return m_image1Units; }

public slots:
    void Text1_Click();
    void cmdDownload_Click();
    void cmdCancel_Click();
    void cmdQuite_Click();
    void Inet2_StateChanged(int State);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildLayout();
    void GetVideoFile(const QString &Url);
    void onPage(bool ok, const QByteArray &body, const QString &error);
    void DownloadFlv(const QString &Link, const QString &fileName);
    void setImage1Units(int units);
    void endAttempt(const QString &status);

    // The transfer's view of the window.
    void setStatusText(const QString &text) override;
    void setSizeText(const QString &text) override;
    void showProgress(const youtube::FlvProgress &p) override;
    void showArrival(int percent) override;
    void setFileName(const QString &cleaned) override;
    bool useMp4() const override;
    bool cancelRequested() const override;
    void showMessage(const QString &text) override;
    void enableDownload() override;

    QString *m_cancelRequest;
    QString m_ownCancelRequest;
    QString m_folder;
    MessageService *m_messages;
    QString m_pageUrl;
    int m_image1Units = 0;
    youtube::FlvDownload *m_download = nullptr;

public: // controls, named as in the design
    QLabel *Label2 = nullptr;
    QLineEdit *Text1 = nullptr;
    QRadioButton *Option1 = nullptr;
    QRadioButton *Option2 = nullptr;
    QRadioButton *Option3 = nullptr;
    QPushButton *cmdDownload = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdQuite = nullptr;
    QLabel *HedLab = nullptr;
    QLabel *lblSize = nullptr;
    QLabel *Label3[2] = {nullptr, nullptr};
    QLabel *lblSaved = nullptr;
    QLabel *lblLeft = nullptr;
    QLabel *lblPercentage = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *ImgYouTube = nullptr;
    QStatusBar *sbrStatus = nullptr;
    QLabel *sbrPanel1 = nullptr;
    QLabel *sbrPanel2 = nullptr;
    youtube::PageFetch *Inet1 = nullptr;
    youtube::HttpTransfer *Inet2 = nullptr;
};

} // namespace vidrona
