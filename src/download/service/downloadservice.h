#pragma once
#include "download/downloadlist.h"
#include "download/filefetch.h"
#include "download/listnotice.h"
#include "net/failure.h"
#include "rowextras.h"
#include "rowprogress.h"
#include "rowtags.h"
#include <QList>
#include <QObject>
#include <QString>
#include <memory>

namespace vidrona::download {
class ListStore;
class QueueRunner;
struct FetchJob;
}
namespace vidrona::download::sitevideo {
class RowReader;
}
namespace vidrona::net {
class SpeedLimit;
}

namespace vidrona::download::service {

using desktop::RowExtras;

class BesideFetch;

// What the download rows act on, as the Preferences set it.
struct DownloadSettings {
    int simultaneous = 1;  // rows fetched at once, 1 to 8
    int connections = 8;   // per file or stream
    qint64 speedLimit = 0; // bytes per second for all fetches together; 0 none
    QString folder;        // where the next fetches put their files; empty: unchanged
    QByteArray quality;    // which of a stream's qualities: "best", "720", "sound" (streams::QualityChoice), or "ask"
    int mp3Quality = -1;   // sound only as MP3 at LAME's V level 0 to 4; -1: the sound as sent
    bool tags = true;      // the files made here carry the rows' tags (title, source, cover)
    QStringList subtitles; // languages of the subtitles to save ("en"); empty: none
    bool subtitlesInside = false; // into the video file, not beside it
};

// The one door between the windows and the fetching: it owns the download
// list and its file, the queue, every running row, the settings they run
// with and the speed limit they share (each service its own). The windows call it and show what its signals say; it never
// speaks to the user about a fetch (the figures and failures go out as
// data). Made once by the program and handed to whoever needs it.
class DownloadService : public QObject
{
    Q_OBJECT
public:
    // listFolder holds the list file "List"; downloadFolder (empty: the
    // same folder) receives the files. The list's own notices (a refused
    // address, a list that cannot be read or saved) go out as listNotice():
    // connect to it before load().
    DownloadService(const QString &listFolder, const QString &downloadFolder, QObject *parent = nullptr);
    ~DownloadService() override;

    DownloadList &list();
    const DownloadList &list() const;
    ListStore &store() { return *m_store; }

    // Reads the list file; countsChanged() follows.
    void load();
    // Adds fileUrl as a PENDING row and saves the list; a refused address
    // gets the "Error" box. fileName: a name of the file's own (a found
    // video's), else the address's last part; a stream's own name tells
    // the quality the settings choose ("Talk (720p).mp4"), which its
    // fetches then save. True when the row was added.
    bool add(const QString &fileUrl, const QString &fileName = QString());
    // The same, with what a browser handed over for the row's requests;
    // they go with the row (Remove, Clean).
    bool add(const QString &fileUrl, const QString &fileName, const RowExtras &extras);
    RowExtrasStore &extras() { return m_extras; }
    // What the row of fileUrl's file is to say of itself, kept with the row
    // (it goes with it) and written when its file is made, as the settings
    // allow then. false when they could not be kept: the file goes untagged.
    bool keepTags(const QString &fileUrl, const media::Tags &tags);
    // Adds the page at pageUrl as a row whose file is made of the formats
    // in choiceText (sitevideo::choiceText), kept beside the row's file.
    bool addSiteVideo(const QString &pageUrl, const QString &fileName, const QByteArray &choiceText);
    // Fetches the waiting rows (PENDING, CANCELED, FAILED) in list order;
    // nothing when a run is going on already. withLeftOver: also the rows an
    // earlier run of the program left DOWNLOADING.
    void start(bool withLeftOver = false);
    // A DOWNLOADING row becomes CANCELED and its fetch stops; its kept bytes
    // stay for the next start. False when the row was not DOWNLOADING.
    bool cancel(quint64 id);
    // Takes the row away (a running fetch goes on to its end, unseen) and
    // saves the list; kept bytes of rows taken away go with them.
    void remove(quint64 id);
    // Takes away every COMPLETED and FAILED row, and saves the list.
    void clean();
    // For good (the window closes): running fetches end, their kept bytes
    // stay, and neither their rows nor the list file are touched.
    void stop();

    // A run is going on: rows are fetched or wait to be tried again.
    bool isRunning() const;
    QList<quint64> runningIds() const;
    // A fetch is still under way, a stopped one included until it has let
    // go of its files.
    bool fetching() const;

    // A file fetched beside the list (the YouTube window's) runs as the
    // rows do: over the service's connections, within the one speed limit,
    // never under the list's or the program's name, and with the engine's
    // own tries for what breaks off; the engine's name claims keep it
    // apart from a row of the same name.
    void prepareBeside(FetchJob &job) const;
    // And it is tried again as a whole after a passing failure with the
    // waits the rows have.
    void prepareBeside(BesideFetch &fetch) const;
    // The limit the rows and the files beside them share; its rate is the
    // settings' speedLimit.
    const net::SpeedLimit &speedLimit() const { return *m_limit; }
    // The door to read a page row's formats again (the program hands one
    // that asks yt-dlp); none: such rows fail when their addresses expired.
    void setRowReader(std::shared_ptr<sitevideo::RowReader> reader);

    void apply(const DownloadSettings &settings);
    DownloadSettings settings() const;
    QString folder() const;

    // For tests: the waits before the retries of a passing failure, and
    // how long without a byte fails a fetch.
    void setRetryDelays(const QList<int> &ms);
    void setStallTimeout(int ms);

signals:
    void rowStarted(quint64 id);
    // A running row's figures, a few times a second.
    void rowProgressed(quint64 id, const vidrona::download::service::RowProgress &progress);
    // A passing failure: the row is tried again in waitMs.
    void rowRetrying(quint64 id, int waitMs, const vidrona::net::Failure &why);
    // A row's fetch ended and the list on disk says so already: no failure
    // when the file is in place, Reason::Cancelled when the user cancelled
    // it, else why it failed. With one row at a time, the next row starts
    // once every listener has returned.
    void rowEnded(quint64 id, const vidrona::net::Failure &failure);
    // Right after a row's rowEnded() without failure: the subtitles it did
    // not save, and why (the video is saved all the same).
    void rowSubtitlesMissed(quint64 id, const QList<vidrona::download::SubtitleMiss> &missed);
    // The rows running, and the share of their bytes (or pieces) that came.
    void progressed(int running, double fraction);
    void runEnded();
    // Finished files of all rows, after every load, add, end and save.
    void countsChanged(int completed, int total);
    void folderChanged(const QString &folder);
    // What the list has to tell the user, at once (an unreadable list is
    // heard of before anything else happens).
    void listNotice(const vidrona::download::ListNotice &notice);

private:
    QStringList reservedNames(const QString &folder) const;

    ListStore *m_store;
    QueueRunner *m_queue;
    DownloadSettings m_settings;
    RowExtrasStore m_extras;
    RowTagsStore m_tags;
    // Shared with every fetch that uses it, so that one still running when
    // the service goes never counts against a limit that is gone.
    std::shared_ptr<net::SpeedLimit> m_limit;
};

} // namespace vidrona::download::service
