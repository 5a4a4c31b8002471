#include "tagwriter.h"
#include <QSize>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace vidrona::download::media {

namespace {

enum class CoverKind { None, AttachedPicture, Attachment };

CoverKind coverKindOf(const AVFormatContext *out)
{
    const QByteArray muxer = out->oformat ? QByteArray(out->oformat->name) : QByteArray();
    if (muxer == "mp4" || muxer == "ipod" || muxer == "mov" || muxer == "mp3")
        return CoverKind::AttachedPicture;
    if (muxer == "matroska")
        return CoverKind::Attachment;
    return CoverKind::None;
}

void setText(AVDictionary **metadata, const char *key, const QString &value)
{
    if (!value.isEmpty())
        av_dict_set(metadata, key, value.toUtf8().constData(), 0);
}

int bigEndian(const QByteArray &bytes, qsizetype at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | uchar(bytes.at(at + i));
    return value;
}

// A JPEG's size, from its frame header (a SOF marker other than DHT, JPG
// and DAC, which share the range).
QSize jpegSize(const QByteArray &bytes)
{
    qsizetype at = 2;
    while (at + 9 < bytes.size() && uchar(bytes.at(at)) == 0xFF) {
        const uchar marker = uchar(bytes.at(at + 1));
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return QSize(bigEndian(bytes, at + 7, 2), bigEndian(bytes, at + 5, 2));
        at += 2 + bigEndian(bytes, at + 2, 2);
    }
    return {};
}

// The picture's width and height, which the muxers of attached pictures
// need; invalid when its header does not say.
QSize pictureSize(const QByteArray &bytes, const QByteArray &type)
{
    if (type == "image/png" && bytes.size() >= 24)
        return QSize(bigEndian(bytes, 16, 4), bigEndian(bytes, 20, 4));
    return type == "image/jpeg" ? jpegSize(bytes) : QSize();
}

int addPicture(AVFormatContext *out, const QByteArray &cover, CoverKind kind)
{
    const QByteArray type = pictureType(cover);
    const QSize size = pictureSize(cover, type);
    AVStream *s = type.isEmpty() || size.isEmpty() ? nullptr : avformat_new_stream(out, nullptr);
    if (!s)
        return -1;
    s->codecpar->width = size.width();
    s->codecpar->height = size.height();
    const bool png = type == "image/png";
    s->codecpar->codec_id = png ? AV_CODEC_ID_PNG : AV_CODEC_ID_MJPEG;
    if (kind == CoverKind::AttachedPicture) {
        s->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        s->disposition = AV_DISPOSITION_ATTACHED_PIC;
        return s->index;
    }
    // An attachment's bytes ride in the header, as its extradata.
    s->codecpar->codec_type = AVMEDIA_TYPE_ATTACHMENT;
    s->codecpar->extradata = static_cast<uint8_t *>(av_mallocz(size_t(cover.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!s->codecpar->extradata)
        return -1; // the attachment without bytes is refused by the muxer, not written
    memcpy(s->codecpar->extradata, cover.constData(), size_t(cover.size()));
    s->codecpar->extradata_size = int(cover.size());
    av_dict_set(&s->metadata, "filename", png ? "cover.png" : "cover.jpg", 0);
    av_dict_set(&s->metadata, "mimetype", type.constData(), 0);
    return s->index;
}

} // namespace

int addTags(AVFormatContext *out, const Tags &given)
{
    const Tags tags = bounded(given);
    setText(&out->metadata, "title", tags.title);
    setText(&out->metadata, "artist", tags.artist);
    setText(&out->metadata, "date", tags.date);
    setText(&out->metadata, "description", tags.description);
    setText(&out->metadata, "comment", tags.address);
    const CoverKind kind = coverKindOf(out);
    if (kind == CoverKind::None || tags.cover.isEmpty())
        return -1;
    return addPicture(out, tags.cover, kind);
}

int writeCover(AVFormatContext *out, int stream, const Tags &tags)
{
    if (stream < 0 || stream >= int(out->nb_streams)
        || !(out->streams[stream]->disposition & AV_DISPOSITION_ATTACHED_PIC))
        return 0;
    AVPacket *packet = av_packet_alloc();
    int code = packet ? av_new_packet(packet, int(tags.cover.size())) : AVERROR(ENOMEM);
    if (code >= 0) {
        memcpy(packet->data, tags.cover.constData(), size_t(tags.cover.size()));
        packet->stream_index = stream;
        packet->flags |= AV_PKT_FLAG_KEY;
        packet->pts = packet->dts = 0;
        // Straight to the muxer: the picture is no part of the interleaved
        // media, which would otherwise wait for it.
        code = av_write_frame(out, packet);
    }
    av_packet_free(&packet);
    return code;
}

} // namespace vidrona::download::media
