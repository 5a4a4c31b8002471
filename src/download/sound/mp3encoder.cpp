#include "mp3encoder.h"
#include "download/media/avtext.h"
#include "download/media/tagwriter.h"
#include <QFile>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

namespace vidrona::download::sound {

using media::avText;

namespace {

// Everything one encode holds, freed together.
struct Encode {
    AVFormatContext *in = nullptr;
    AVFormatContext *out = nullptr;
    AVCodecContext *decoder = nullptr;
    AVCodecContext *encoder = nullptr;
    SwrContext *resample = nullptr;
    AVAudioFifo *fifo = nullptr;
    AVFrame *frame = av_frame_alloc();
    AVPacket *packet = av_packet_alloc();
    int stream = -1;
    qint64 samplesOut = 0; // the next encoded frame's time, in samples
    double seconds = 0;    // the input's length, for the progress
    net::Step error;

    ~Encode()
    {
        av_packet_free(&packet);
        av_frame_free(&frame);
        av_audio_fifo_free(fifo);
        swr_free(&resample);
        avcodec_free_context(&encoder);
        avcodec_free_context(&decoder);
        avformat_close_input(&in);
        if (out && out->pb)
            avio_closep(&out->pb);
        avformat_free_context(out);
    }
    // libav's words go with the step when its code says an error.
    bool fail(net::Step::Kind what, int code)
    {
        error = net::step(what, code < 0 ? avText(code) : QString());
        return false;
    }
};

bool openInput(Encode &e, const QString &input)
{
    int code = avformat_open_input(&e.in, QFile::encodeName(input).constData(), nullptr, nullptr);
    if (code >= 0)
        code = avformat_find_stream_info(e.in, nullptr);
    if (code < 0)
        return e.fail(net::Step::SoundUnreadable, code);
    const AVCodec *codec = nullptr;
    e.stream = av_find_best_stream(e.in, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (e.stream < 0 || !codec)
        return e.fail(net::Step::NoDecodableSound, 0);
    e.decoder = avcodec_alloc_context3(codec);
    code = e.decoder ? avcodec_parameters_to_context(e.decoder, e.in->streams[e.stream]->codecpar) : AVERROR(ENOMEM);
    if (code >= 0)
        code = avcodec_open2(e.decoder, codec, nullptr);
    if (code < 0)
        return e.fail(net::Step::SoundUndecodable, code);
    e.seconds = e.in->duration > 0 ? double(e.in->duration) / AV_TIME_BASE : 0;
    return true;
}

bool openEncoder(Encode &e, int quality)
{
    const AVCodec *lame = avcodec_find_encoder_by_name("libmp3lame");
    if (!lame)
        return e.fail(net::Step::NoMp3Encoder, 0);
    e.encoder = avcodec_alloc_context3(lame);
    if (!e.encoder)
        return e.fail(net::Step::OutOfMemory, 0);
    e.encoder->sample_rate = e.decoder->sample_rate;
    e.encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
    if (e.decoder->ch_layout.nb_channels == 1)
        av_channel_layout_default(&e.encoder->ch_layout, 1);
    else
        av_channel_layout_default(&e.encoder->ch_layout, 2); // MP3 holds at most two
    e.encoder->time_base = AVRational{1, e.encoder->sample_rate};
    e.encoder->flags |= AV_CODEC_FLAG_QSCALE; // variable bitrate, LAME's -V
    e.encoder->global_quality = FF_QP2LAMBDA * qBound(BestMp3Quality, quality, LeastMp3Quality);
    const int code = avcodec_open2(e.encoder, lame, nullptr);
    if (code < 0)
        return e.fail(net::Step::Mp3EncoderUnstarted, code);
    e.fifo = av_audio_fifo_alloc(e.encoder->sample_fmt, e.encoder->ch_layout.nb_channels, e.encoder->frame_size);
    const int made = swr_alloc_set_opts2(&e.resample, &e.encoder->ch_layout, e.encoder->sample_fmt,
                                         e.encoder->sample_rate, &e.decoder->ch_layout, e.decoder->sample_fmt,
                                         e.decoder->sample_rate, 0, nullptr);
    if (!e.fifo || made < 0 || swr_init(e.resample) < 0)
        return e.fail(net::Step::SoundUnfitForMp3, 0);
    return true;
}

bool openOutput(Encode &e, const QString &output, const media::Tags &tags)
{
    AVStream *s = nullptr;
    if (avformat_alloc_output_context2(&e.out, nullptr, "mp3", nullptr) < 0 || !(s = avformat_new_stream(e.out, nullptr))
        || avcodec_parameters_from_context(s->codecpar, e.encoder) < 0)
        return e.fail(net::Step::OutOfMemory, 0);
    s->time_base = e.encoder->time_base;
    const int cover = media::addTags(e.out, tags);
    int code = avio_open(&e.out->pb, QFile::encodeName(output).constData(), AVIO_FLAG_WRITE);
    if (code >= 0)
        code = avformat_write_header(e.out, nullptr);
    if (code >= 0)
        code = media::writeCover(e.out, cover, tags);
    return code >= 0 || e.fail(net::Step::Mp3Unwritable, code);
}

// Sends one frame (nullptr: the end) to the encoder and writes what comes out.
bool encodeFrame(Encode &e, AVFrame *frame)
{
    int code = avcodec_send_frame(e.encoder, frame);
    while (code >= 0) {
        code = avcodec_receive_packet(e.encoder, e.packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
            return true;
        if (code < 0)
            break;
        av_packet_rescale_ts(e.packet, e.encoder->time_base, e.out->streams[0]->time_base);
        e.packet->stream_index = 0;
        code = av_interleaved_write_frame(e.out, e.packet);
    }
    return e.fail(net::Step::Mp3Unencodable, code);
}

// Encodes whole encoder frames from the fifo; at the end (last) the rest too.
bool drainFifo(Encode &e, bool last)
{
    const int size = e.encoder->frame_size;
    while (av_audio_fifo_size(e.fifo) >= size || (last && av_audio_fifo_size(e.fifo) > 0)) {
        std::unique_ptr<AVFrame, void (*)(AVFrame *)> out(av_frame_alloc(), [](AVFrame *f) { av_frame_free(&f); });
        out->nb_samples = qMin(size, av_audio_fifo_size(e.fifo));
        out->format = e.encoder->sample_fmt;
        out->sample_rate = e.encoder->sample_rate;
        if (av_channel_layout_copy(&out->ch_layout, &e.encoder->ch_layout) < 0 || av_frame_get_buffer(out.get(), 0) < 0)
            return e.fail(net::Step::OutOfMemory, 0);
        av_audio_fifo_read(e.fifo, reinterpret_cast<void **>(out->data), out->nb_samples);
        out->pts = e.samplesOut;
        e.samplesOut += out->nb_samples;
        if (!encodeFrame(e, out.get()))
            return false;
    }
    return true;
}

// Converts frame (nullptr: what the converter still holds) into the fifo.
bool convert(Encode &e, const AVFrame *frame)
{
    const int room = swr_get_out_samples(e.resample, frame ? frame->nb_samples : 0);
    if (room <= 0)
        return true;
    uint8_t **buffer = nullptr;
    if (av_samples_alloc_array_and_samples(&buffer, nullptr, e.encoder->ch_layout.nb_channels, room,
                                           e.encoder->sample_fmt, 0) < 0)
        return e.fail(net::Step::OutOfMemory, 0);
    const int made = swr_convert(e.resample, buffer, room, frame ? const_cast<const uint8_t **>(frame->extended_data) : nullptr,
                                 frame ? frame->nb_samples : 0);
    const bool ok = made >= 0 && av_audio_fifo_write(e.fifo, reinterpret_cast<void **>(buffer), made) >= made;
    av_freep(&buffer[0]);
    av_freep(&buffer);
    return ok || e.fail(net::Step::SoundUnconvertible, made);
}

// Sends packet (nullptr: the end) to the decoder and on through the fifo.
bool decodePacket(Encode &e, const AVPacket *packet)
{
    int code = avcodec_send_packet(e.decoder, packet);
    if (code == AVERROR_INVALIDDATA)
        return true; // a damaged packet is skipped, as players do
    while (code >= 0) {
        code = avcodec_receive_frame(e.decoder, e.frame);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
            return true;
        if (code < 0)
            break;
        const bool ok = convert(e, e.frame) && drainFifo(e, false);
        av_frame_unref(e.frame);
        if (!ok)
            return false;
    }
    return e.fail(net::Step::SoundUndecodable, code);
}

bool encodeAll(Encode &e, const std::function<void(double)> &progress, const std::atomic<bool> *cancel)
{
    int code = 0;
    while ((code = av_read_frame(e.in, e.packet)) >= 0) {
        if (cancel && *cancel)
            return e.fail(net::Step::Cancelled, 0);
        const bool ours = e.packet->stream_index == e.stream;
        const bool ok = !ours || decodePacket(e, e.packet);
        av_packet_unref(e.packet);
        if (!ok)
            return false;
        if (ours && progress && e.seconds > 0)
            progress(qMin(1.0, double(e.samplesOut) / e.encoder->sample_rate / e.seconds));
    }
    if (code != AVERROR_EOF)
        return e.fail(net::Step::SoundUnreadable, code);
    if (!decodePacket(e, nullptr) || !convert(e, nullptr) || !drainFifo(e, true) || !encodeFrame(e, nullptr))
        return false;
    code = av_write_trailer(e.out);
    return code >= 0 || e.fail(net::Step::Mp3Unfinished, code);
}

} // namespace

Mp3Result encodeMp3(const QString &input, const QString &output, int quality,
                    const std::function<void(double)> &progress, const std::atomic<bool> *cancel,
                    const media::Tags &tags)
{
    Encode e;
    const bool ok = e.frame && e.packet && openInput(e, input) && openEncoder(e, quality) && openOutput(e, output, tags)
                    && encodeAll(e, progress, cancel);
    if (!ok) {
        if (e.out && e.out->pb)
            avio_closep(&e.out->pb);
        QFile::remove(output);
        return {false, e.error.isEmpty() ? net::step(net::Step::OutOfMemory) : e.error};
    }
    if (progress)
        progress(1.0);
    return {true, {}};
}

} // namespace vidrona::download::sound
