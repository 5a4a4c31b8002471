#pragma once
#include "webvtt.h"
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// Which subtitles a video offers, which the user wants, and which of the
// offers are taken for them, whatever the source (an HLS master's
// SUBTITLES renditions, a DASH manifest's text sets, a site's list).
namespace vidrona::download::subtitles {

// At most this many languages are asked for one video.
inline constexpr int MaxLanguages = 8;

struct Offer {
    enum class Form {
        WebVtt,      // one WebVTT file at url
        VttPlaylist, // an HLS media playlist at url whose pieces are WebVTT
        VttPieces,   // WebVTT pieces at pieces, in order
        Unsupported, // a form Vidrona does not read: unsupported says which
    };
    QString language; // as the source writes it: "en", "en-US", "de"
    QString name;     // as the source names it, for a window: "English"
    bool automatic = false; // captions a machine made from the speech
    Form form = Form::WebVtt;
    QUrl url;
    QList<QUrl> pieces;
    QString unsupported; // "TTML", "subtitles inside MP4 pieces"
    bool operator==(const Offer &) const = default;
};

// What the user wants: languages, beside the video or inside it.
struct Wish {
    QStringList languages; // "en", "de"; empty: none
    bool inside = false;
    bool none() const { return languages.isEmpty(); }
    // As the row's record keeps it: "en,de" or "en,de inside"; empty: none.
    QByteArray recordText() const;
    static Wish fromRecordText(const QByteArray &text);
    bool operator==(const Wish &) const = default;
};

// "en, de ,EN" -> {"en", "de"}, as the preferences read it
// (desktop/subtitlekeys.h).
QStringList languageList(const QString &text);

// The offer for language: one in that language, else one whose main part
// matches ("en" takes "en-US", "en-US" takes "en"); made by a person
// before automatic; -1 when there is none.
int offerFor(const QList<Offer> &offers, const QString &language);

// How a window lists an offer: "English (en)", "en (automatic)", so
// captions a machine made are told apart from a person's.
QString offerLabel(const Offer &offer);

// The ISO 639-2 code a container's language tag takes ("en" -> "eng",
// "de-AT" -> "deu"); "und" when it is not known.
QByteArray containerLanguage(const QString &language);

// One track to save: the cues in the wished language.
struct Track {
    QString language; // as the user wrote it: the file's name takes it
    bool automatic = false;
    QList<Cue> cues;
    bool onMediaClock = false; // see VttText::onMediaClock
};

} // namespace vidrona::download::subtitles
