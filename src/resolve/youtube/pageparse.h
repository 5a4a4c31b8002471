#pragma once
#include <QString>

// Reading a YouTube watch page: the title and the two values of the site's
// file request, and the file request address in the chosen quality.
namespace vidrona::resolve::youtube {

// The three search patterns, used as they stand (case-sensitive, no flags).
inline const QString TitlePattern = QStringLiteral("<title>YouTube - ([^<]+)<");
inline const QString VideoIdPattern = QStringLiteral("video_id\": \"([^\"]+)");
inline const QString TokenPattern = QStringLiteral("t\": \"([^\"]+)");

// The quality options of the window, in the order of its option buttons.
enum class Quality { Low = 1, HighMp4 = 2, HighFlv = 3 };

// The first capture group of the leftmost match of pattern in text, or the
// empty string when there is none.
QString JamesBond(const QString &text, const QString &pattern);

// The title, or the empty string.
QString FindVideoName(const QString &strResponse);

// "video_id=" + id + "&t=" + t, or the empty string when the page has no id.
QString GetVideoId(const QString &strResponse);

// "" / "&fmt=18" / "&fmt=6".
QString qualitySuffix(Quality quality);

// ".mp4" for the mp4 option, ".flv" otherwise.
QString fileExtension(Quality quality);

// "http://" + host + "/get_video?" + query + the quality's suffix.
QString videoFileUrl(const QString &query, Quality quality);

// The outcome of reading one page.
struct PageLookup {
    bool ok = false;
    QString title;   // VideoTitle after the attempt (set even when the id is missing)
    QString fileUrl; // only when ok
    // What the page lacked when not ok; the window words it with the url.
    enum Miss { None, Title, VideoId } miss = None;
};

// Reads a video page; page is taken one character per byte.
PageLookup lookUpPage(const QByteArray &page, Quality quality);

// True when characters 8 to 15 of text are the YouTube host prefix
// (exact, case-sensitive), as the site dispatch compares them.
bool isYouTubeAddress(const QString &text);

} // namespace vidrona::resolve::youtube
