#include "soundonly.h"
#include "download/media/avtext.h"
#include "download/media/tagwriter.h"
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <memory>

extern "C" {
#include <libavformat/avformat.h>
}

namespace vidrona::download::streams {

using media::avText;

namespace {

// The muxer and extension a sound codec is saved with.
std::pair<const char *, const char *> containerOf(AVCodecID codec)
{
    switch (codec) {
    case AV_CODEC_ID_AAC:
    case AV_CODEC_ID_ALAC: return {"ipod", "m4a"};
    case AV_CODEC_ID_OPUS: return {"opus", "opus"};
    case AV_CODEC_ID_MP3: return {"mp3", "mp3"};
    default: return {"matroska", "mka"};
    }
}

struct Files {
    AVFormatContext *in = nullptr;
    AVFormatContext *out = nullptr;
    ~Files()
    {
        avformat_close_input(&in);
        if (out && out->pb)
            avio_closep(&out->pb);
        avformat_free_context(out);
    }
};

// Opens output for the sound stream of in; the stream's index, or -1.
int openOutput(Files &f, const QString &output, const media::Tags &tags, SoundOnly &result)
{
    const int sound = av_find_best_stream(f.in, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (sound < 0)
        return result.error = net::step(net::Step::NoSound), -1;
    const AVCodecParameters *par = f.in->streams[sound]->codecpar;
    const auto [muxer, extension] = containerOf(par->codec_id);
    result.extension = QString::fromLatin1(extension);
    AVStream *s = nullptr;
    if (avformat_alloc_output_context2(&f.out, nullptr, muxer, nullptr) < 0 || !(s = avformat_new_stream(f.out, nullptr))
        || avcodec_parameters_copy(s->codecpar, par) < 0)
        return result.error = net::step(net::Step::OutOfMemory), -1;
    s->codecpar->codec_tag = 0;
    s->time_base = f.in->streams[sound]->time_base;
    const int cover = media::addTags(f.out, tags);
    int code = avio_open(&f.out->pb, QFile::encodeName(output).constData(), AVIO_FLAG_WRITE);
    if (code >= 0)
        code = avformat_write_header(f.out, nullptr);
    if (code >= 0)
        code = media::writeCover(f.out, cover, tags);
    if (code < 0)
        return result.error = net::step(net::Step::SoundUnwritable, avText(code)), -1;
    return sound;
}

bool copySound(Files &f, int sound, const std::atomic<bool> *cancel, SoundOnly &result)
{
    std::unique_ptr<AVPacket, void (*)(AVPacket *)> packet(av_packet_alloc(), [](AVPacket *p) { av_packet_free(&p); });
    int code = 0;
    while ((code = av_read_frame(f.in, packet.get())) >= 0) {
        if (cancel && *cancel)
            return result.error = net::step(net::Step::Cancelled), false;
        if (packet->stream_index != sound) {
            av_packet_unref(packet.get());
            continue;
        }
        av_packet_rescale_ts(packet.get(), f.in->streams[sound]->time_base, f.out->streams[0]->time_base);
        packet->stream_index = 0;
        packet->pos = -1;
        if ((code = av_interleaved_write_frame(f.out, packet.get())) < 0)
            return result.error = net::step(net::Step::SoundUnwritable, avText(code)), false;
    }
    if (code != AVERROR_EOF)
        return result.error = net::step(net::Step::VideoUnreadable, avText(code)), false;
    if ((code = av_write_trailer(f.out)) < 0)
        return result.error = net::step(net::Step::SoundUnfinished, avText(code)), false;
    return true;
}

} // namespace

SoundOnly keepSoundOnly(const QString &input, const QString &output, const std::atomic<bool> *cancel,
                        const media::Tags &tags)
{
    SoundOnly result;
    Files f;
    int code = avformat_open_input(&f.in, QFile::encodeName(input).constData(), nullptr, nullptr);
    if (code >= 0)
        code = avformat_find_stream_info(f.in, nullptr);
    if (code < 0)
        return result.error = net::step(net::Step::VideoUnreadable, avText(code)), result;
    const int sound = openOutput(f, output, tags, result);
    result.ok = sound >= 0 && copySound(f, sound, cancel, result);
    if (!result.ok)
        QFile::remove(output);
    return result;
}

QString withExtension(const QString &path, const QString &extension)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    return info.dir().filePath(stem + QLatin1Char('.') + extension);
}

} // namespace vidrona::download::streams
