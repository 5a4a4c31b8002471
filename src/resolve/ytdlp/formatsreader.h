#pragma once
#include "download/sitevideo/rowreader.h"

namespace vidrona::resolve::ytdlp {

// The door the download rows read their page's formats again through:
// yt-dlp asked on the row's fetch thread, its answer chosen from as when
// the row was added.
class FormatsReader : public download::sitevideo::RowReader
{
public:
    QByteArray readAgain(const QString &pageUrl, const QByteArray &quality, const std::atomic<bool> &cancel,
                         net::Failure *why, const QString &picked = {}) override;
};

} // namespace vidrona::resolve::ytdlp
