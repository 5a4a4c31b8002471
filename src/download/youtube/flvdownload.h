#pragma once
#include "httptransfer.h"
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

namespace vidrona::download::youtube {

// Removes the hidden ".vidrona-*.part" spools that older versions left in
// folder when they crashed during a download.
void removeOldSpools(const QString &folder);

// One step's values as the window shows them.
struct FlvProgress {
    qint64 done = 0;
    qint64 left = 0;
    int percent = 0;
};

// What the status line says of the transfer; the window words it.
enum class FlvState {
    Downloading, // the file is asked for, under its title
    Downloaded,  // the file is in place
    Stopped,     // the user stopped it
    Idle,        // it failed, and the window waits for the next try
};

// Why a download failed, as data; the window words it for its box.
struct FlvFailure {
    enum class Kind {
        Transfer,    // the request failed: transfer says why
        NoLength,    // the answer has no usable Content-Length
        ClosedEarly, // the connection closed after received of size bytes
        BadName,     // name is no name a file may take
    };
    Kind kind = Kind::Transfer;
    TransferFault transfer;
    qint64 received = 0;
    qint64 size = 0;
    QString name;
};

// What the transfer needs of its window (or of a test standing in for it).
// It sends states, numbers and failures; the window makes the words.
class FlvDownloadView
{
public:
    virtual ~FlvDownloadView() = default;
    virtual void showState(FlvState state, const QString &title) = 0; // status bar, panel 1
    virtual void showSize(qint64 bytes) = 0;               // the size label
    virtual void showProgress(const FlvProgress &p) = 0;   // counters, percentage, bar, panel 2
    virtual void showArrival(int percent) = 0;             // while waiting: bar and panel 2 only
    virtual void setFileName(const QString &cleaned) = 0;  // the title, cleaned in place
    virtual bool useMp4() const = 0;
    virtual bool cancelRequested() const = 0;
    virtual void showFailure(const FlvFailure &failure) = 0; // plain OK box, no title
    virtual void enableDownload() = 0;
};

// The transfer of one video file: the request, the wait while its body
// goes to the kept bytes beside its file in the program's folder (going on
// from those an interrupted earlier download of the same name left), then
// the 1024-byte steps over the file, which received the complete body in
// one step (never over a file it did not write). The steps run in short
// slices so the window keeps painting;
// the screen is refreshed at most every RefreshMs and always ends on the
// exact values.
class FlvDownload : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Downloaded, Stopped, Failed };
    static constexpr int RefreshMs = 40;
    static constexpr int SliceMs = 25;
    static constexpr int StepsPerClockRead = 256;

    FlvDownload(HttpTransfer *inet, FlvDownloadView *view, QObject *parent = nullptr);
    ~FlvDownload() override;

    // DownloadFlv: link is the file address, fileName the title.
    void start(const QString &link, const QString &fileName, const QString &folder);
    bool busy() const { return m_phase != Phase::Idle; }
    // A stop was requested: act on it now instead of at the next step.
    void checkCancel();
    // The window goes away: stop without a word; a complete file stays as
    // it is, the kept bytes of an unfinished body beside its name.
    void abandon();
    QString filePath() const { return m_path; }

signals:
    void finished(vidrona::download::youtube::FlvDownload::Outcome outcome);

private:
    enum class Phase { Idle, Waiting, Copying };
    void onArrived(qint64 received);
    void afterWait(bool cancelled);
    bool placeFile();
    void copySlice();
    void step();
    void complete();
    void stopByUser();
    void fail(const FlvFailure &failure);
    void failTransfer();
    void showDue(bool force);
    void end(Outcome outcome);

    QPointer<HttpTransfer> m_inet; // the window's control; may go first
    FlvDownloadView *m_view;
    Phase m_phase = Phase::Idle;
    QString m_name;
    QString m_folder;
    QString m_path;       // the file, named when the download starts
    QString m_extension;  // ".flv" or ".mp4"
    bool m_named = false; // the name is one a file may take
    qint64 m_size = 0;
    qint64 m_remaining = 0;
    FlvProgress m_progress;
    bool m_progressPending = false;
    QElapsedTimer m_lastShown;
    QTimer m_slice;
};

} // namespace vidrona::download::youtube
