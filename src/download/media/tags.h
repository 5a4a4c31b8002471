#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

// What a saved file says of itself: its title, who made it, when, what it
// is about, where it came from and its picture, as a site or a page tells
// them. Plain data, kept with a row and handed to the writers of the file.
namespace vidrona::download::media {

// A description longer than this is cut (on a character's boundary): the
// players show a few lines of it, and a page may hold far more.
inline constexpr qsizetype MaxDescriptionBytes = 4096;
// Titles, names, dates and addresses longer than this are cut.
inline constexpr qsizetype MaxTagBytes = 2048;

struct Tags {
    QString title;
    QString artist;      // the artist, else the uploader
    QString date;        // "YYYY-MM-DD", "YYYY-MM" or "YYYY"
    QString description; // at most MaxDescriptionBytes in UTF-8
    QString address;     // the page the video came from
    QString coverUrl;    // where its picture is fetched from
    QByteArray cover;    // the picture itself (JPEG or PNG), once fetched

    bool isEmpty() const
    {
        return title.isEmpty() && artist.isEmpty() && date.isEmpty() && description.isEmpty() && address.isEmpty()
               && coverUrl.isEmpty() && cover.isEmpty();
    }
    bool operator==(const Tags &) const = default;
};

// text cut to at most maxBytes of UTF-8, never inside a character.
QString cutUtf8(const QString &text, qsizetype maxBytes);
// "20240131" (yt-dlp's upload_date) and "2024-01-31T10:00:00Z" (a page's
// dates) as "2024-01-31"; anything that is not a date: empty.
QString dateOf(const QString &written);
// tags with every field within its bound and the date in its form.
Tags bounded(const Tags &tags);

// The tags as kept with a row (the picture's bytes are not kept: it is
// fetched when the file is written), and read back; nothing when text is
// not such.
QByteArray tagsText(const Tags &tags);
std::optional<Tags> parseTags(const QByteArray &text);

// "image/jpeg" or "image/png" when bytes start as such a picture; else empty.
QByteArray pictureType(const QByteArray &bytes);

} // namespace vidrona::download::media
