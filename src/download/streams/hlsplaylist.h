#pragma once
#include "streamlimits.h"
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// Reading an HLS playlist: a master playlist's variants and renditions, or
// a media playlist's pieces with their byte ranges, keys and init sections.
// Addresses come out resolved against the playlist's own address.
namespace vidrona::download::streams {

// Bytes [offset, offset + length) of a resource; length -1: all of it.
struct ByteRange {
    qint64 length = -1;
    qint64 offset = 0;
    bool whole() const { return length < 0; }
};

struct HlsKey {
    enum Method { None, Aes128, Other };
    Method method = None;
    QByteArray methodName; // as written, for the refusal
    QUrl url;
    QByteArray iv; // 16 bytes, or empty: the piece's sequence number
};

struct HlsMap { // an init section (fMP4)
    QUrl url;
    ByteRange range;
};

struct HlsPiece {
    QUrl url;
    ByteRange range;
    double seconds = 0;
    qint64 sequence = 0;
    bool discontinuity = false;
    bool gap = false; // EXT-X-GAP: the server has no such piece
    int key = -1; // index into keys; -1: not encrypted
    int map = -1; // index into maps; -1: none
};

struct HlsMedia {
    QList<HlsPiece> pieces;
    QList<HlsKey> keys;
    QList<HlsMap> maps;
    bool ended = false; // EXT-X-ENDLIST
    bool vod = false;   // EXT-X-PLAYLIST-TYPE:VOD
    double seconds() const;
};

struct HlsVariant {
    QUrl url;
    qint64 bandwidth = 0;
    int width = 0;
    int height = 0;
    QByteArray audioGroup;
    QByteArray codecs;    // CODECS, as written; empty: not said
    double frameRate = 0; // FRAME-RATE; 0 unknown
    // CODECS names only sound formats (mp4a, ac-3, ec-3, opus, flac, mp3...).
    bool soundOnly() const;
};

struct HlsRendition {
    QByteArray type; // AUDIO, VIDEO, SUBTITLES, CLOSED-CAPTIONS
    QByteArray group;
    bool isDefault = false;
    QUrl url; // empty: carried in the variant itself
    QString language; // LANGUAGE
    QString name;     // NAME
};

struct HlsMaster {
    QList<HlsVariant> variants;
    QList<HlsRendition> renditions;
};

struct HlsPlaylist {
    enum Kind { Master, Media };
    Kind kind = Media;
    HlsMaster master;
    HlsMedia media;
    Refusal refusal = Refusal::None;
    net::Failure why; // for a refusal, its cause and facts
};

// Reads text, served from address, within the bounds of streamlimits.h.
HlsPlaylist readHlsPlaylist(QByteArrayView text, const QUrl &address);

// The audio rendition the variant names and that has a playlist of its
// own: the default one of its group, else the group's first.
std::optional<QUrl> audioFor(const HlsMaster &master, const HlsVariant &variant);

// The IV of an AES-128 piece: the key's own, else its sequence number.
QByteArray ivFor(const HlsKey &key, qint64 sequence);

} // namespace vidrona::download::streams
