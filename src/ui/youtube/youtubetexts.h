#pragma once
#include "download/youtube/flvdownload.h"
#include "download/youtube/httptransfer.h"
#include "resolve/youtube/pageparse.h"
#include <QLocale>
#include <QString>
#include <optional>

// Every word of the YouTube window's transfer: its status line, its size
// label and its error box. The transfer sends states, numbers and
// failures only.
namespace vidrona::ui::youtube {

// The YouTube window's status line for a state code of its transfer, or
// nothing when that state leaves the line as it is. title is the video's;
// errorDescription ends with a line end, which the line leaves out.
std::optional<QString> transferStateText(int state, const QString &title, const QString &errorDescription);

// The status line for what the download says of itself; title is the
// video's as the download started.
QString downloadStateText(download::youtube::FlvState state, const QString &title);

// Why the transfer's last request failed, in the window's own words.
QString transferFaultText(const download::youtube::TransferFault &fault);

// Why a download failed: what goes between the error box's "Error:" and
// its "Try Again..!".
QString downloadFailureText(const download::youtube::FlvFailure &failure);

// Why the watch page was not read: "The server answered 404 Not Found".
QString pageFailureText(const net::Failure &failure);

} // namespace vidrona::ui::youtube

namespace vidrona::ui::youtube {

// size / 1000 with as many decimals as it needs, the locale's decimal
// separator, no grouping, followed by " Kb".
QString sizeText(qint64 size, const QLocale &locale = QLocale());

// What the page lacked, told with the address it was read from.
QString lookupMissText(resolve::youtube::PageLookup::Miss miss, const QString &url);

// The error trap's message; the transfer's own trap adds a line end.
QString errorMessage(const QString &description, bool trailingLineEnd);

} // namespace vidrona::ui::youtube
