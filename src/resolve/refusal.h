#pragma once
#include "net/failure.h"
#include <QMetaType>

// Why an address gives no row, as data: the window writes the sentence
// (ui/mainwindow/refusaltexts.h), nothing below it words a refusal.
namespace vidrona::resolve {

struct Refusal {
    enum Kind {
        Failed,           // the failure's sentence alone (or the note's, below)
        CheckLink,        // nothing found to read: check the link
        PlaylistEmpty,    // a playlist without videos
        PageNotFetched,   // a site's page could not be fetched: the failure says why
        NoVideoAtAddress, // nothing at the address is a video
        NoVideoOnPage,    // the page names no video
        OwnPlayerOnly,    // only the page's own player plays it
        NamedUnfetched,   // the page names a video that could not be fetched: the note or failure says why
    };
    // What an answer on the way said, before the probe gave up.
    enum Note {
        NoNote,
        NoAnswerWithin,   // seconds: the whole time allowed
        AddressIsPage,    // the address the page names is a web page
        NeedsLogin,       // status: the server's answer (401, 403)
        ServerError,      // status: 5xx
        NothingThere,     // status: any other
    };
    Kind kind = Failed;
    Note note = NoNote;
    int seconds = 0;
    int status = 0;
    net::Failure failure;   // the fetch that failed, or a reader's refusal
    bool checkLink = false; // the advice to check the link follows on a line of its own
    bool askYtDlp = false;  // the advice that yt-dlp could read the page follows
    bool operator==(const Refusal &) const = default;
};

inline Refusal refusalOf(Refusal::Kind kind, const net::Failure &failure = net::Failure())
{
    Refusal r;
    r.kind = kind;
    r.failure = failure;
    return r;
}

} // namespace vidrona::resolve
