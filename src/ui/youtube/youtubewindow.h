#pragma once
#include "desktop/messages.h"
#include "download/youtube/flvdownload.h"
#include "net/failure.h"
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;

namespace vidrona::download::service {
class DownloadService;
}
namespace vidrona::download::youtube {
class HttpTransfer;
}
namespace vidrona::resolve::youtube {
class PageFetch;
}

namespace vidrona::ui::youtube {

using desktop::MessageService;
using download::service::DownloadService;

// The YouTube window: one video at a time, apart from the download list.
class YouTubeWindow : public QWidget, private download::youtube::FlvDownloadView
{
    Q_OBJECT
public:
    // cancelRequest: the opener's stop flag, which outlives us.
    YouTubeWindow(QString *cancelRequest, const QString &programFolder, MessageService *messages,
                  QWidget *parent = nullptr);
    ~YouTubeWindow() override;

    // Where the window reads the clipboard's text; tests put their own here.
    using ClipboardText = std::function<QString()>;
    static void setClipboardText(ClipboardText provider); // empty: the system clipboard

    void startUp();
    bool busy() const;
    // The owner of the stop flag goes away: the window keeps a copy of it.
    void keepOwnCancelRequest();
    // The window's file is fetched as the list's rows are (see
    // DownloadService::prepareBeside).
    void useService(DownloadService *service);

    QString videoTitle;
    QString videoFileAddress;

    // The two panels of the status bar, 1 and 2.
    QString panelText(int panel) const;
    // Width of the progress bar in the window's units (5600 at 100 %).
    int barUnits() const { return m_barUnits; }

public slots:
    void addressClicked();
    void downloadClicked();
    void cancelClicked();
    void closeClicked();
    void transferStateChanged(int state);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildLayout();
    void readPage(const QString &address);
    void onPage(bool ok, const QByteArray &body, const net::Failure &failure);
    void downloadFile(const QString &fileAddress, const QString &fileName);
    void setBarUnits(int units);
    void endAttempt(const QString &status);

    void setStatusText(const QString &text);
    void showMessage(const QString &text);

    // The transfer's view of the window: it sends states, numbers and
    // failures, the window words them.
    void showState(download::youtube::FlvState state, const QString &title) override;
    void showSize(qint64 bytes) override;
    void showProgress(const download::youtube::FlvProgress &p) override;
    void showArrival(int percent) override;
    void setFileName(const QString &cleaned) override;
    bool useMp4() const override;
    bool cancelRequested() const override;
    void showFailure(const download::youtube::FlvFailure &failure) override;
    void enableDownload() override;

    QString *m_cancelRequest;
    QString m_ownCancelRequest;
    QString m_folder;
    MessageService *m_messages;
    QString m_pageUrl;
    int m_barUnits = 0;
    download::youtube::FlvDownload *m_download = nullptr;

public: // the controls, open to tests and the bench
    QLabel *addressCaption = nullptr;
    QLineEdit *addressBox = nullptr;
    QRadioButton *lowFlvOption = nullptr;
    QRadioButton *highMp4Option = nullptr;
    QRadioButton *highFlvOption = nullptr;
    QPushButton *downloadButton = nullptr;
    QPushButton *cancelButton = nullptr;
    QPushButton *closeButton = nullptr;
    QLabel *sizeCaption = nullptr;
    QLabel *sizeLabel = nullptr;
    QLabel *figureCaptions[2] = {nullptr, nullptr};
    QLabel *savedLabel = nullptr;
    QLabel *remainingLabel = nullptr;
    QLabel *percentLabel = nullptr;
    QLabel *barPicture = nullptr;
    QLabel *youTubeLogo = nullptr;
    QStatusBar *statusStrip = nullptr;
    QLabel *statusPanel = nullptr;
    QLabel *percentPanel = nullptr;
    resolve::youtube::PageFetch *pageFetch = nullptr;
    download::youtube::HttpTransfer *transfer = nullptr;
};

} // namespace vidrona::ui::youtube
