#include "remux.h"
#include "download/media/avtext.h"
#include "download/media/tagwriter.h"
#include "download/subtitles/textstreams.h"
#include <QFile>
#include <memory>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace vidrona::download::sitevideo {

using media::avText;

namespace {

struct Input {
    AVFormatContext *ctx = nullptr;
    std::vector<int> map; // input stream → output stream, -1 left out
    AVPacket *pending = nullptr;
    bool ended = false;
    ~Input()
    {
        av_packet_free(&pending);
        avformat_close_input(&ctx);
    }
};

struct Output {
    AVFormatContext *ctx = nullptr;
    ~Output()
    {
        if (ctx && ctx->pb)
            avio_closep(&ctx->pb);
        avformat_free_context(ctx);
    }
};

bool openInput(Input &in, const QString &path, AVFormatContext *out, net::Step *error)
{
    int code = avformat_open_input(&in.ctx, QFile::encodeName(path).constData(), nullptr, nullptr);
    if (code >= 0)
        code = avformat_find_stream_info(in.ctx, nullptr);
    if (code < 0)
        return *error = net::step(net::Step::FormatUnreadable, avText(code)), false;
    for (unsigned i = 0; i < in.ctx->nb_streams; ++i) {
        const AVStream *s = in.ctx->streams[i];
        const AVMediaType type = s->codecpar->codec_type;
        if (type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) {
            in.map.push_back(-1);
            continue;
        }
        AVStream *o = avformat_new_stream(out, nullptr);
        if (!o || avcodec_parameters_copy(o->codecpar, s->codecpar) < 0)
            return *error = net::step(net::Step::OutOfMemory), false;
        o->codecpar->codec_tag = 0; // the output container picks its own
        o->time_base = s->time_base;
        in.map.push_back(o->index);
    }
    in.pending = av_packet_alloc();
    return in.pending != nullptr;
}

// The input's next packet that goes out, read into pending; false at its end.
bool fill(Input &in)
{
    while (!in.ended) {
        av_packet_unref(in.pending);
        if (av_read_frame(in.ctx, in.pending) < 0)
            return !(in.ended = true);
        if (in.pending->stream_index < int(in.map.size()) && in.map[in.pending->stream_index] >= 0)
            return true;
    }
    return false;
}

// The input whose waiting packet comes first in time, or null when all ended.
Input *earliest(std::vector<std::unique_ptr<Input>> &inputs)
{
    Input *first = nullptr;
    for (auto &in : inputs) {
        if (in->ended)
            continue;
        const AVPacket *p = in->pending;
        const int64_t ts = p->dts != AV_NOPTS_VALUE ? p->dts : p->pts;
        if (!first || av_compare_ts(ts, in->ctx->streams[p->stream_index]->time_base,
                                    first->pending->dts != AV_NOPTS_VALUE ? first->pending->dts : first->pending->pts,
                                    first->ctx->streams[first->pending->stream_index]->time_base) < 0)
            first = in.get();
    }
    return first;
}

bool copyAll(std::vector<std::unique_ptr<Input>> &inputs, Output &out, net::Step *error, const std::atomic<bool> *cancel)
{
    for (auto &in : inputs)
        fill(*in);
    while (Input *in = earliest(inputs)) {
        if (cancel && *cancel)
            return *error = net::step(net::Step::Cancelled), false;
        AVPacket *p = in->pending;
        const AVRational from = in->ctx->streams[p->stream_index]->time_base;
        p->stream_index = in->map[p->stream_index];
        av_packet_rescale_ts(p, from, out.ctx->streams[p->stream_index]->time_base);
        p->pos = -1;
        const int code = av_interleaved_write_frame(out.ctx, p);
        if (code < 0)
            return *error = net::step(net::Step::JoinedUnwritable, avText(code)), false;
        fill(*in);
    }
    return true;
}

} // namespace

bool joinFiles(const QStringList &paths, const QString &outPath, const char *muxer, net::Step *error,
               const std::atomic<bool> *cancel, const media::Tags &tags, const QList<subtitles::Track> &subtitles)
{
    Output out;
    const QByteArray name = QFile::encodeName(outPath);
    if (avformat_alloc_output_context2(&out.ctx, nullptr, muxer, name.constData()) < 0)
        return *error = net::step(net::Step::OutOfMemory), false;
    std::vector<std::unique_ptr<Input>> inputs;
    for (const QString &path : paths) {
        inputs.push_back(std::make_unique<Input>());
        if (!openInput(*inputs.back(), path, out.ctx, error))
            return false;
    }
    const int cover = media::addTags(out.ctx, tags);
    QList<int> textStreams;
    if (!subtitles::addTextStreams(out.ctx, subtitles, &textStreams))
        return *error = net::step(net::Step::SubtitlesNotHere), false;
    int code = avio_open(&out.ctx->pb, name.constData(), AVIO_FLAG_WRITE);
    if (code >= 0)
        code = avformat_write_header(out.ctx, nullptr);
    if (code >= 0)
        code = media::writeCover(out.ctx, cover, tags);
    if (code >= 0)
        code = subtitles::writeTextPackets(out.ctx, subtitles, textStreams, 0);
    if (code < 0)
        return *error = net::step(net::Step::JoinedUnwritable, avText(code)), false;
    if (!copyAll(inputs, out, error, cancel))
        return false;
    code = av_write_trailer(out.ctx);
    if (code < 0)
        return *error = net::step(net::Step::JoinedUnwritable, avText(code)), false;
    return true;
}

} // namespace vidrona::download::sitevideo
