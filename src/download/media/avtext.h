#pragma once
#include <QString>

extern "C" {
#include <libavutil/error.h>
}

// The one wording of a libav error code, for every reader and writer of
// media files.
namespace vidrona::download::media {

inline QString avText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

} // namespace vidrona::download::media
