// The words of the YouTube window: the transfer reports state codes,
// numbers and failures, the window says what they mean.
#include "youtubetexts.h"
#include "ui/mainwindow/failuretexts.h"

namespace vidrona::ui::youtube {

std::optional<QString> transferStateText(int state, const QString &title, const QString &errorDescription)
{
    switch (state) {
    case 1: case 5: case 6: return QStringLiteral("Searching... ") + title;
    case 2: return QStringLiteral("Found.") + title;
    case 3: case 4: return QStringLiteral("Connecting...");
    case 7: case 8: return QStringLiteral("Receiving data for ") + title;
    case 9: return QStringLiteral("Disconnecting...");
    case 10: return QStringLiteral("Disconnected");
    case 11: return errorDescription.left(qMax(0, int(errorDescription.size()) - 2));
    case 12: return QStringLiteral("Connected");
    default: return std::nullopt;
    }
}

QString downloadStateText(download::youtube::FlvState state, const QString &title)
{
    switch (state) {
    case download::youtube::FlvState::Downloading: return QStringLiteral("Downloading: ") + title;
    case download::youtube::FlvState::Downloaded: return QStringLiteral("File downloaded");
    case download::youtube::FlvState::Stopped: return QStringLiteral("Video Download Stoped By User");
    case download::youtube::FlvState::Idle: break;
    }
    return QStringLiteral("Idle!");
}

QString transferFaultText(const download::youtube::TransferFault &fault)
{
    if (fault.busy)
        return QStringLiteral("Still executing last request.");
    const net::Failure &f = fault.failure;
    switch (f.reason) {
    case net::Reason::None: return QString();
    case net::Reason::Cancelled: return QStringLiteral("Cancelled.");
    case net::Reason::Stalled: return mainwindow::failureText(net::stalled(fault.stallTimeoutMs)) + QLatin1Char('.');
    case net::Reason::HttpError:
        return QStringLiteral("The server answered %1 %2").arg(fault.status).arg(QString::fromLatin1(fault.reasonPhrase));
    case net::Reason::HeadTooLarge: return QStringLiteral("The answer's head is too large.");
    case net::Reason::TooManyRedirects: return QStringLiteral("Too many redirects.");
    case net::Reason::BrokenAnswer: return QStringLiteral("No answer came.");
    case net::Reason::DiskFull:
    case net::Reason::WriteFailed: return QStringLiteral("Cannot write the file: ") + mainwindow::failureText(f);
    default: return mainwindow::failureText(f);
    }
}

QString pageFailureText(const net::Failure &failure)
{
    // The window's own page read says the status and phrase as they are,
    // a space left when the phrase is empty.
    if (failure.cause == net::Cause::HttpStatus)
        return QStringLiteral("The server answered %1 %2").arg(failure.status).arg(failure.detail);
    return mainwindow::failureText(failure);
}

QString downloadFailureText(const download::youtube::FlvFailure &failure)
{
    using Kind = download::youtube::FlvFailure::Kind;
    switch (failure.kind) {
    case Kind::Transfer: return transferFaultText(failure.transfer);
    case Kind::NoLength: return QStringLiteral("The answer has no usable Content-Length.");
    case Kind::ClosedEarly:
        return QStringLiteral("The connection closed after %1 of %2 bytes.").arg(failure.received).arg(failure.size);
    case Kind::BadName: break;
    }
    return QStringLiteral("Bad file name: ") + failure.name;
}

} // namespace vidrona::ui::youtube

namespace vidrona::ui::youtube {

QString sizeText(qint64 size, const QLocale &locale)
{
    // Worked out in whole numbers: size / 1000 has at most three decimals.
    const bool negative = size < 0;
    const quint64 magnitude = negative ? 0 - quint64(size) : quint64(size);
    QString text = QString::number(magnitude / 1000);
    QString fraction = QStringLiteral("%1").arg(magnitude % 1000, 3, 10, QLatin1Char('0'));
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (!fraction.isEmpty())
        text += locale.decimalPoint() + fraction;
    if (negative)
        text.prepend(locale.negativeSign());
    return text + QStringLiteral(" Kb");
}

QString errorMessage(const QString &description, bool trailingLineEnd)
{
    QString text = QStringLiteral("Error: \r\n") + description + QStringLiteral(" Try Again..!");
    if (trailingLineEnd)
        text += QStringLiteral("\r\n");
    return text;
}

QString lookupMissText(resolve::youtube::PageLookup::Miss miss, const QString &url)
{
    switch (miss) {
    case resolve::youtube::PageLookup::Title:
        return QStringLiteral("Failed extracting video title from video at URL: ") + url;
    case resolve::youtube::PageLookup::VideoId: return QStringLiteral("Unable to get VideoId from video at URL \r\n") + url;
    case resolve::youtube::PageLookup::None: break;
    }
    return QString();
}

} // namespace vidrona::ui::youtube
