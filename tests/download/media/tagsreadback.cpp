#include "tagsreadback.h"
#include <QFile>

extern "C" {
#include <libavformat/avformat.h>
}

namespace vidrona::test {

ReadBack readBack(const QString &path)
{
    ReadBack r;
    AVFormatContext *in = nullptr;
    if (avformat_open_input(&in, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return r;
    r.opened = avformat_find_stream_info(in, nullptr) >= 0;
    const AVDictionaryEntry *e = nullptr;
    while ((e = av_dict_get(in->metadata, "", e, AV_DICT_IGNORE_SUFFIX)))
        r.tags.insert(QString::fromUtf8(e->key).toLower(), QString::fromUtf8(e->value));
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVStream *s = in->streams[i];
        if (s->disposition & AV_DISPOSITION_ATTACHED_PIC)
            r.cover = QByteArray(reinterpret_cast<const char *>(s->attached_pic.data), s->attached_pic.size);
        else if (s->codecpar->codec_type == AVMEDIA_TYPE_ATTACHMENT)
            r.cover = QByteArray(reinterpret_cast<const char *>(s->codecpar->extradata), s->codecpar->extradata_size);
        else if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO || s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            ++r.mediaStreams;
    }
    avformat_close_input(&in);
    return r;
}

} // namespace vidrona::test
