#pragma once
#include <QByteArray>
#include <QString>
#include <QUrl>

// Telling a video or audio file from a web page by its address and by the
// head of the server's answer, and naming the file it becomes.
namespace vidrona::resolve::direct {

// The extension of the last path segment, lower case ("" when none).
QString extensionOf(const QString &name);

// mp4, m4v, webm, mkv, mov, flv, avi, wmv, ogv, mp3, m4a, ogg, opus.
bool isMediaExtension(const QString &extension);
// A playlist of pieces: m3u8 or mpd.
bool isStreamedExtension(const QString &extension);

// The extension of the address's path ("" when none).
QString pathExtension(const QUrl &address);

// An address that can only be played in pieces, never saved whole: blob:,
// data:, rtmp-like schemes, or a path ending in a playlist extension.
bool isStreamedAddress(const QUrl &address);

// The media type of a Content-Type value, lower case, without parameters.
QByteArray mediaType(const QByteArray &contentType);
// The extension a media type names ("" for one not known).
QString extensionOfType(const QByteArray &type);

// The file name a Content-Disposition value carries (filename*= in UTF-8
// or Latin-1 preferred to filename=), without any folder part; "" when
// there is none.
QString dispositionName(const QByteArray &contentDisposition);

// What the head of an answer says about the address asked.
enum class HeadKind { MediaFile, Streamed, Page, Other };

struct Head {
    QByteArray contentType;        // the header as sent
    QByteArray contentDisposition; // the header as sent
};

// A video or audio type, a download with a media name, or a media extension
// on an answer that is not a page make a file; a playlist type or extension
// makes a stream; HTML makes a page. With videoExpected (the page named
// this address as its video) any answer that is not a page counts as the file.
HeadKind classify(const QUrl &address, const Head &head, bool videoExpected);

// The name a file found on the web is listed and saved under: the
// Content-Disposition name (filename* first), else the last path segment
// of address (the final one, redirects followed) decoded without the
// query; the type's extension added when the name has no media extension;
// then made a file name by fileNameFrom (any language kept).
QString fileNameFor(const QUrl &address, const Head &head);

} // namespace vidrona::resolve::direct
