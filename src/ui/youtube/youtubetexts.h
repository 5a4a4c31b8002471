#pragma once
#include <QString>
#include <optional>

namespace vidrona {

// The YouTube window's status line for a state code of its transfer, or
// nothing when that state leaves the line as it is. title is the video's;
// errorDescription ends with a line end, which the line leaves out.
std::optional<QString> transferStateText(int state, const QString &title, const QString &errorDescription);

} // namespace vidrona
