// The words of the YouTube window's status line: the transfer reports a
// state code, the window says what it means.
#include "youtubetexts.h"

namespace vidrona {

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

} // namespace vidrona
