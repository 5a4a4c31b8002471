#pragma once
#include <QByteArray>
#include "net/failure.h"
#include <QString>
#include <atomic>

namespace vidrona::download::sitevideo {

// Reads a row's page again when the addresses of its formats expired (an
// expire= time past, or a 403 or 410 from the server). The download layer
// only knows this door; the program hands it one that asks yt-dlp.
class RowReader
{
public:
    virtual ~RowReader() = default;
    // Called on the row's fetch thread: the formats chosen now for the page
    // (choiceText) by the user's choice the row was added with (quality,
    // streams::QualityChoice's key), or empty with why; picked: the id of
    // the format the user picked from a list, taken again while the page
    // still offers it. Bounded in time; looks at cancel.
    virtual QByteArray readAgain(const QString &pageUrl, const QByteArray &quality, const std::atomic<bool> &cancel,
                                 net::Failure *why, const QString &picked = {}) = 0;
};

} // namespace vidrona::download::sitevideo
