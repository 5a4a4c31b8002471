#include "textstreams.h"
#include <cstring>
#include <memory>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace vidrona::download::subtitles {

namespace {

constexpr AVRational Millis{1, 1000};

// The tail of a 3GPP timed text sample entry (TS 26.245): no display
// flags, centred at the bottom, no background, one style (font 1, 18
// points, white) and a font table naming font 1 "Serif".
QByteArray timedTextEntry()
{
    static const unsigned char entry[] = {
        0, 0, 0, 0,             // display flags
        1, 0xFF,                // justification: centre, bottom
        0, 0, 0, 0,             // background colour
        0, 0, 0, 0, 0, 0, 0, 0, // text box
        0, 0, 0, 0, 0, 1, 0, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, // default style
        0, 0, 0, 0x12, 'f', 't', 'a', 'b', 0, 1, 0, 1, 5, 'S', 'e', 'r', 'i', 'f'};
    return QByteArray(reinterpret_cast<const char *>(entry), sizeof entry);
}

bool setExtradata(AVCodecParameters *par, const QByteArray &bytes)
{
    par->extradata = static_cast<uint8_t *>(av_mallocz(size_t(bytes.size()) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par->extradata)
        return false;
    memcpy(par->extradata, bytes.constData(), size_t(bytes.size()));
    par->extradata_size = int(bytes.size());
    return true;
}

bool isMp4(const AVFormatContext *out)
{
    const QByteArray name = out->oformat->name;
    return name.contains("mp4") || name.contains("mov");
}

// A cue's bytes as the stream carries them: mov_text, its length then its
// plain text; WebVTT, the cue's text as written.
QByteArray sampleOf(const Cue &cue, bool mp4)
{
    if (!mp4)
        return cue.text.toUtf8();
    const QByteArray text = plainText(cue.text).toUtf8().left(0xFFFF);
    return QByteArray(1, char(text.size() >> 8)) + char(text.size() & 0xFF) + text;
}

} // namespace

bool addTextStreams(AVFormatContext *out, const QList<Track> &tracks, QList<int> *streams)
{
    if (tracks.isEmpty())
        return true;
    const bool mp4 = isMp4(out);
    if (!mp4 && QByteArray(out->oformat->name).indexOf("matroska") < 0 && QByteArray(out->oformat->name) != "webm")
        return false;
    for (const Track &track : tracks) {
        AVStream *s = avformat_new_stream(out, nullptr);
        if (!s)
            return false;
        s->codecpar->codec_type = AVMEDIA_TYPE_SUBTITLE;
        s->codecpar->codec_id = mp4 ? AV_CODEC_ID_MOV_TEXT : AV_CODEC_ID_WEBVTT;
        s->time_base = Millis;
        if (mp4 && !setExtradata(s->codecpar, timedTextEntry()))
            return false;
        av_dict_set(&s->metadata, "language", containerLanguage(track.language).constData(), 0);
        if (track.automatic)
            av_dict_set(&s->metadata, "title", (track.language + QStringLiteral(" (automatic)")).toUtf8().constData(), 0);
        streams->append(s->index);
    }
    return true;
}

QList<Cue> sequentialCues(const QList<Cue> &cues, qint64 shiftMs)
{
    QList<Cue> out;
    for (Cue cue : cues) {
        cue.startMs = qMax<qint64>(0, cue.startMs - shiftMs);
        cue.endMs -= shiftMs;
        if (cue.endMs <= cue.startMs)
            continue;
        if (!out.isEmpty() && out.last().startMs == cue.startMs) {
            out.last().text += QLatin1Char('\n') + cue.text;
            out.last().endMs = qMax(out.last().endMs, cue.endMs);
            continue;
        }
        if (!out.isEmpty() && out.last().endMs > cue.startMs)
            out.last().endMs = cue.startMs;
        out.append(cue);
    }
    return out;
}

int writeTextPackets(AVFormatContext *out, const QList<Track> &tracks, const QList<int> &streams, qint64 mediaStartMs)
{
    std::unique_ptr<AVPacket, void (*)(AVPacket *)> packet(av_packet_alloc(), [](AVPacket *p) { av_packet_free(&p); });
    if (!packet)
        return AVERROR(ENOMEM);
    const bool mp4 = isMp4(out);
    for (int t = 0; t < tracks.size() && t < streams.size(); ++t) {
        const AVStream *s = out->streams[streams.at(t)];
        for (const Cue &cue : sequentialCues(tracks.at(t).cues, tracks.at(t).onMediaClock ? mediaStartMs : 0)) {
            const QByteArray sample = sampleOf(cue, mp4);
            if (av_new_packet(packet.get(), int(sample.size())) < 0)
                return AVERROR(ENOMEM);
            memcpy(packet->data, sample.constData(), size_t(sample.size()));
            packet->stream_index = s->index;
            packet->pts = packet->dts = av_rescale_q(cue.startMs, Millis, s->time_base);
            packet->duration = av_rescale_q(cue.endMs - cue.startMs, Millis, s->time_base);
            packet->flags |= AV_PKT_FLAG_KEY;
            if (const int code = av_interleaved_write_frame(out, packet.get()); code < 0)
                return code;
        }
    }
    return 0;
}

} // namespace vidrona::download::subtitles
