#include "renewal.h"
#include "sitefetch.h"
#include "download/engine/record.h"
#include "download/keptbytes.h"
#include <QFile>
#include <QUrlQuery>

namespace vidrona::download::sitevideo {

bool hasExpired(const Format &format, const QDateTime &now)
{
    const QString expire = QUrlQuery(QUrl(format.url)).queryItemValue(QStringLiteral("expire"));
    bool ok = false;
    const qint64 at = expire.toLongLong(&ok);
    return ok && at - ExpiryMarginSeconds <= now.toSecsSinceEpoch();
}

bool saysExpired(const net::Failure &failure)
{
    return failure.reason == net::Reason::HttpError && (failure.status == 403 || failure.status == 410);
}

namespace {

// Same format, same size: the bytes kept for the old address are the new one's.
void carryOver(const Format &old, const Format &now, const QString &finalPath)
{
    const QString oldPath = partPath(finalPath, old);
    const bool same = old.id == now.id && old.filesize >= 0 && old.filesize == now.filesize && old.ext == now.ext;
    if (!same) {
        kept::remove(oldPath);
        QFile::remove(oldPath);
        return;
    }
    qint64 keptLength = 0;
    std::optional<kept::Record> record = kept::load(oldPath, &keptLength);
    if (!record)
        return;
    record->address = QUrl(now.url).toEncoded();
    kept::save(oldPath, *record);
}

} // namespace

std::optional<Choice> renew(const Choice &old, const QString &pageUrl, const QString &finalPath, RowReader &reader,
                            const std::atomic<bool> &cancel, net::Failure *why)
{
    net::Failure reason;
    const std::optional<Choice> now = parseChoice(reader.readAgain(pageUrl, old.quality, cancel, &reason, old.picked));
    if (!now) {
        *why = cancel             ? net::cancelled()
               : reason.failed() ? reason
                                 : net::fail(net::Reason::NotTheVideo, net::Cause::PageNotReadAgain);
        if (!cancel)
            why->reason = net::Reason::NotTheVideo; // never tried again by the row's own rules
        return std::nullopt;
    }
    for (const Format &o : old.parts) {
        const Format *match = nullptr;
        for (const Format &n : now->parts)
            if (n.id == o.id)
                match = &n;
        if (match)
            carryOver(o, *match, finalPath);
        else
            carryOver(o, Format{}, finalPath);
    }
    keepChoice(finalPath, pageUrl, choiceText(*now));
    return now;
}

} // namespace vidrona::download::sitevideo
