#pragma once
#include "net/pagerequest.h"
#include <QObject>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QShortcut;
class QTextEdit;

namespace vidrona {

class ListStore;
class VideoProbe;
struct ProbeResult;

// The address box and "Add Video": recognises the site of the pasted
// address, runs its resolver and hands the file address to the list (or
// the browser, or the YouTube window).
class AddVideoPanel : public QObject
{
    Q_OBJECT
public:
    struct Controls {
        QLineEdit *txtUrl;
        QPushButton *cmdAddVideo;
        QLabel *Label4;
        QRadioButton *OptLow;
        QRadioButton *OptHigh;
        QRadioButton *OptAvi;
        QTextEdit *txtWebSource;
    };

    AddVideoPanel(ListStore &store, const Controls &controls, std::function<void()> openYouTubeWindow,
                  QObject *parent = nullptr);

    void Form_Load();

    // The address as typed, and the file address the last resolver found.
    QString VideoUrl;
    QString FileUrl;
    bool resolving() const { return m_resolving; }
    // Stops the page fetch a resolver waits for, or the probe of today's
    // web (Esc, closing the window): it ends without adding anything or a
    // message.
    void cancelFetch();

    // One per site; each reads the address box and hands its file on.
    void Metacafe();
    void Videkta();
    void Tvali();
    void AllVideos();
    void Break();
    void DailyMotion();
    void Google();
    // Any other web address: the video its page names, or the file itself.
    // Worked out in the background; the row comes when it is found.
    void TodaysWeb();

public slots:
    void cmdAddVideo_Click();

signals:
    // An address worked out in the background is done with (its row
    // added, its message shown, or its work cancelled).
    void resolvingEnded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void txtUrl_Change();
    void txtUrl_Click();
    void txtUrl_GotFocus();

private:
    using PageThen = std::function<void(const QString &text)>;
    void runSiteAction(int action);
    void readSitePage(PageThen then);
    void askLinkService(PageThen then);
    void fetchText(const QString &address, bool viaService, PageThen then);
    void pageArrived(const PageResult &result);
    void endResolving();
    bool holdsOff(QObject *watched, QEvent *event);
    int selectedQuality() const;
    bool takeResolved(const QString &fileUrl); // false: nothing usable found
    void addResolved(const QString &fileUrl);
    void openResolved(const QString &fileUrl);
    void todaysWebFound(const ProbeResult &result);
    void todaysWebEnded();

    ListStore &m_store;
    Controls m_ui;
    std::function<void()> m_openYouTubeWindow;
    bool m_resolving = false;   // a resolver or the probe has not ended yet
    VideoProbe *m_probe = nullptr;
    bool m_fetchFailed = false; // the last page or answer came back empty
    bool m_fetchCancelled = false;
    QString m_fetchError;       // why the last fetch failed
    PageRequest m_page;         // the fetch a resolver waits for
    PageThen m_then;            // what the resolver does with its page
    QShortcut *m_escape;        // cancels it or the probe, while it runs
};

} // namespace vidrona
