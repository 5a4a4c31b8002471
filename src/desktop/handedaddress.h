#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace vidrona::desktop {

// What a browser handed over with an address: head lines for every
// request of the row (its Referer, its User-Agent) and the cookies the
// browser held for it, as lines of a Netscape cookie file.
struct RowExtras {
    QList<QByteArray> fields; // "Name: value"
    QByteArray cookies;       // Netscape cookie lines, without the file's title
    QStringList subtitles;    // languages of the subtitles the row saves, as chosen when it was added
    bool isEmpty() const { return fields.isEmpty() && cookies.isEmpty() && subtitles.isEmpty(); }
    bool operator==(const RowExtras &o) const
    {
        return fields == o.fields && cookies == o.cookies && subtitles == o.subtitles;
    }
};

// An address to add as if pasted, with what came with it.
struct HandedAddress {
    QString address;
    RowExtras extras;
    // The browser tab's title, one line: the row's name when the address
    // gives none worth keeping (a playlist's "index.m3u8"); empty: none.
    QString title = {};
    bool operator==(const HandedAddress &o) const
    {
        return address == o.address && extras == o.extras && title == o.title;
    }
};

// A tab's title is at most this long when it is handed over.
inline constexpr int MaxTitleChars = 400;

} // namespace vidrona::desktop
