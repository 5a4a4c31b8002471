#include "mp4joiner.h"
#include "packedaudio.h"
#include "piecereader.h"
#include "download/media/avtext.h"
#include "download/media/tagwriter.h"
#include "download/subtitles/textstreams.h"
#include <QByteArrayList>
#include <QFile>
#include <algorithm>
#include <cstring>
#include <cerrno>
#include <limits>
#include <memory>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace vidrona::download::streams {

using media::avText;

namespace {

constexpr int IoBufferBytes = 64 << 10;
// AV_TIME_BASE_Q as a constant: the macro is a C compound literal.
constexpr AVRational MicrosBase{1, AV_TIME_BASE};

// One opened input: its reader, its I/O and its demuxer.
struct Input {
    PieceReader reader;
    QList<JoinPiece> pieces; // all of the input's pieces
    QList<JoinRun> runs;   // never empty once opened
    int run = 0;           // the one being read
    AVIOContext *io = nullptr;
    AVFormatContext *format = nullptr;
    QList<int> outStream; // per input stream: the output stream, or -1
    qint64 startMicros = 0; // where its clock starts
    qint64 lastMicros = 0;
    // Where its clock jumped (a discontinuity between pieces): added to
    // every later packet; and how far its packets reached so far.
    qint64 shiftMicros = 0;
    qint64 endMicros = 0;
    QList<qint64> streamMicros; // per input stream: its last packet's time
    std::optional<PackedAudioClock> packed; // packed audio's own clock
    qint64 packedBytes = 0;                 // of its packets so far
    bool done = false;
    ~Input()
    {
        avformat_close_input(&format);
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

// Opens the files of in's current run.
bool openRun(Input &in, net::Step *error)
{
    const int first = in.runs.at(in.run).first;
    const int end = in.run + 1 < in.runs.size() ? in.runs.at(in.run + 1).first : int(in.pieces.size());
    in.reader.pieces = in.pieces.mid(first, qMax(0, end - first));
    in.reader.next = 0;
    in.reader.file.close();
    auto *buffer = static_cast<unsigned char *>(av_malloc(IoBufferBytes));
    in.io = avio_alloc_context(buffer, IoBufferBytes, 0, &in.reader, &PieceReader::read, nullptr, nullptr);
    in.format = avformat_alloc_context();
    if (!buffer || !in.io || !in.format)
        return *error = net::step(net::Step::OutOfMemory), false;
    in.format->pb = in.io;
    int code = avformat_open_input(&in.format, nullptr, nullptr, nullptr);
    if (code >= 0)
        code = avformat_find_stream_info(in.format, nullptr);
    if (code < 0)
        *error = in.reader.failure.isEmpty() ? net::step(net::Step::PieceUnreadable, avText(code)) : in.reader.failure;
    return code >= 0;
}

qint64 micros(double seconds)
{
    return qRound64(seconds * AV_TIME_BASE);
}

qint64 runStart(const Input &in)
{
    return in.format->start_time != AV_NOPTS_VALUE ? in.format->start_time : 0;
}

// Where packed audio's pieces say their sound belongs (packedaudio.h).
std::optional<PackedAudioClock> packedAudioClock(const Input &in)
{
    const char *name = in.format->iformat ? in.format->iformat->name : "";
    static const QByteArrayList packed{"aac", "ac3", "eac3", "mp3"};
    if (!packed.contains(QByteArray(name)))
        return std::nullopt;
    return PackedAudioClock::read(in.reader.pieces);
}

bool open(Input &in, const QList<JoinPiece> &pieces, const QList<JoinRun> &runs, const std::atomic<bool> *cancel,
          net::Step *error)
{
    in.pieces = pieces;
    in.runs = runs.isEmpty() || runs.first().first != 0 ? QList<JoinRun>{JoinRun{}} + runs : runs;
    in.reader.cancel = cancel;
    if (!openRun(in, error))
        return false;
    if (in.runs.first().timed)
        in.shiftMicros = micros(in.runs.first().shiftSeconds);
    else if ((in.packed = packedAudioClock(in)))
        in.shiftMicros = in.packed->firstMicros() - runStart(in); // its clock, which the demuxer does not read
    // A gap before the first piece: the file starts that much before it.
    in.startMicros = runStart(in) + in.shiftMicros - micros(in.runs.first().gapSeconds);
    return true;
}

// The same kind of stream, in a form one track can carry on with.
bool sameShape(const AVCodecParameters *a, const AVCodecParameters *b)
{
    return a->codec_type == b->codec_type && a->codec_id == b->codec_id && a->width == b->width
           && a->height == b->height && a->sample_rate == b->sample_rate
           && a->ch_layout.nb_channels == b->ch_layout.nb_channels && a->extradata_size == b->extradata_size
           && (a->extradata_size == 0 || memcmp(a->extradata, b->extradata, size_t(a->extradata_size)) == 0);
}

struct Output {
    AVFormatContext *format = nullptr;
    const std::atomic<bool> *cancel = nullptr;
    int writeCode = 0; // the first failed write's code: the disk's fault, not the pieces'
    int unjoinableRun = -1; // a run whose streams cannot go on in the file's tracks
    // Per stream, its latest packet, written once the next one comes: the
    // last one's duration may still grow over time left out at the end.
    std::vector<AVPacket *> held;
    std::vector<bool> holding; // held[i] has a packet not written yet
    bool cancelled() const { return cancel && *cancel; }
    static int interrupted(void *opaque) { return static_cast<const Output *>(opaque)->cancelled() ? 1 : 0; }
    ~Output()
    {
        for (AVPacket *&packet : held)
            av_packet_free(&packet);
        if (format && format->pb)
            avio_closep(&format->pb);
        avformat_free_context(format);
    }
};

// Goes on to in's next run, its streams matched to the ones already in the
// file; its time placed as the run says, or following on.
bool nextRun(Input &in, Output &output, net::Step *error)
{
    const AVFormatContext *out = output.format;
    QList<int> targets; // the file's streams this input fills, in order
    for (int s : std::as_const(in.outStream))
        if (s >= 0)
            targets << s;
    avformat_close_input(&in.format);
    if (in.io)
        av_freep(&in.io->buffer);
    avio_context_free(&in.io);
    ++in.run;
    if (!openRun(in, error))
        return false;
    QList<int> outStream;
    int n = 0;
    for (unsigned i = 0; i < in.format->nb_streams; ++i) {
        const AVCodecParameters *par = in.format->streams[i]->codecpar;
        const bool media = par->codec_type == AVMEDIA_TYPE_VIDEO || par->codec_type == AVMEDIA_TYPE_AUDIO;
        if (media && (n >= targets.size() || !sameShape(par, out->streams[targets.at(n)]->codecpar)))
            return output.unjoinableRun = in.run,
                   *error = net::step(net::Step::PartEncodedDifferently), false;
        outStream << (media ? targets.at(n++) : -1);
    }
    if (n != targets.size())
        return output.unjoinableRun = in.run,
               *error = net::step(net::Step::PartLacksStream), false;
    in.outStream = outStream;
    const JoinRun &run = in.runs.at(in.run);
    in.shiftMicros = run.timed ? micros(run.shiftSeconds) : in.endMicros + micros(run.gapSeconds) - runStart(in);
    in.streamMicros.clear(); // the jumps within a run are judged anew
    return true;
}

// Output streams for the video and sound of in.
bool addStreams(Input &in, AVFormatContext *out, net::Step *error)
{
    for (unsigned i = 0; i < in.format->nb_streams; ++i) {
        const AVCodecParameters *par = in.format->streams[i]->codecpar;
        const bool wanted = par->codec_type == AVMEDIA_TYPE_VIDEO || par->codec_type == AVMEDIA_TYPE_AUDIO;
        AVStream *s = wanted ? avformat_new_stream(out, nullptr) : nullptr;
        if (wanted && (!s || avcodec_parameters_copy(s->codecpar, par) < 0))
            return *error = net::step(net::Step::OutOfMemory), false;
        if (s)
            s->codecpar->codec_tag = 0;
        in.outStream.append(s ? s->index : -1);
    }
    return true;
}

// The input whose stream is furthest behind, so the file interleaves.
Input *nextInput(const QList<std::shared_ptr<Input>> &inputs)
{
    Input *best = nullptr;
    for (const auto &in : inputs)
        if (!in->done && (!best || in->lastMicros < best->lastMicros))
            best = in.get();
    return best;
}

// A clock that jumps back, or far ahead, between two packets of a stream
// starts again where the input had reached: pieces after a discontinuity
// follow the ones before instead of overlapping them.
constexpr qint64 MaxGapMicros = 60 * qint64(AV_TIME_BASE); // a still picture may stay a while

void followOn(Input &in, AVPacket *packet, AVRational from)
{
    if (packet->dts == AV_NOPTS_VALUE)
        return;
    if (in.streamMicros.size() < int(in.format->nb_streams))
        in.streamMicros.resize(in.format->nb_streams, AV_NOPTS_VALUE);
    qint64 at = av_rescale_q(packet->dts, from, MicrosBase) + in.shiftMicros;
    // Packed audio goes on without a break but where a piece's own
    // timestamp says there is one (more than half a packet off).
    if (in.packed) {
        const std::optional<qint64> stamp = in.packed->enteredAt(in.packedBytes);
        in.packedBytes += packet->size;
        if (stamp && qAbs(*stamp - at) > qMax<qint64>(1000, av_rescale_q(packet->duration, from, MicrosBase) / 2)) {
            in.shiftMicros += *stamp - at;
            at = *stamp;
        }
    }
    const qint64 last = in.streamMicros.at(packet->stream_index);
    if (last != AV_NOPTS_VALUE && (at < last || at > last + MaxGapMicros)) {
        in.shiftMicros += in.endMicros - at;
        at = in.endMicros;
    }
    const qint64 shift = av_rescale_q(in.shiftMicros, MicrosBase, from);
    packet->dts += shift;
    if (packet->pts != AV_NOPTS_VALUE)
        packet->pts += shift;
    in.streamMicros[packet->stream_index] = at;
    in.endMicros = qMax(in.endMicros, at + av_rescale_q(qMax<qint64>(packet->duration, 1), from, MicrosBase));
}

// Writes the packet held for the packet's stream and holds this one.
int writeHeld(Output &output, AVPacket *packet)
{
    if (output.held.size() < output.format->nb_streams) {
        output.held.resize(output.format->nb_streams, nullptr);
        output.holding.resize(output.format->nb_streams, false);
    }
    const size_t stream = size_t(packet->stream_index);
    AVPacket *&held = output.held[stream];
    if (!held && !(held = av_packet_alloc()))
        return AVERROR(ENOMEM);
    const int code = output.holding[stream] ? av_interleaved_write_frame(output.format, held) : 0;
    av_packet_unref(held);
    av_packet_move_ref(held, packet);
    output.holding[stream] = true;
    return code;
}

// The packet's time in the file (in the file's stream's base): the file
// starts at zero, the streams keeping their places to each other (a TS
// clock starts well after zero), and never goes back in time.
void placeInFile(Input &in, AVRational base, AVPacket *packet, qint64 &lastDts, qint64 startMicros)
{
    const qint64 start = av_rescale_q(startMicros, MicrosBase, base);
    if (packet->dts != AV_NOPTS_VALUE)
        packet->dts -= start;
    if (packet->pts != AV_NOPTS_VALUE)
        packet->pts -= start;
    if (packet->dts == AV_NOPTS_VALUE)
        return;
    // Pieces that restart their clock must not send the file back in time.
    if (lastDts != AV_NOPTS_VALUE && packet->dts <= lastDts) {
        const qint64 shift = lastDts + 1 - packet->dts;
        packet->dts += shift;
        if (packet->pts != AV_NOPTS_VALUE)
            packet->pts += shift;
    }
    lastDts = packet->dts;
    in.lastMicros = av_rescale_q(packet->dts, base, MicrosBase);
}

// Copies one packet of in; false at its end.
bool copyPacket(Input &in, Output &output, AVPacket *packet, QList<qint64> &lastDts, qint64 startMicros,
                net::Step *error)
{
    AVFormatContext *out = output.format;
    const int code = av_read_frame(in.format, packet);
    if (code == AVERROR_EOF && in.run + 1 < in.runs.size())
        return nextRun(in, output, error);
    if (code < 0) {
        in.done = true;
        if (code != AVERROR_EOF)
            *error = in.reader.failure.isEmpty() ? net::step(net::Step::PieceUnreadable, avText(code))
                                                 : in.reader.failure;
        return code == AVERROR_EOF;
    }
    const int target = in.outStream.value(packet->stream_index, -1);
    if (target < 0)
        return av_packet_unref(packet), true;
    const AVRational from = in.format->streams[packet->stream_index]->time_base;
    followOn(in, packet, from);
    av_packet_rescale_ts(packet, from, out->streams[target]->time_base);
    packet->stream_index = target;
    placeInFile(in, out->streams[target]->time_base, packet, lastDts[target], startMicros);
    const int written = writeHeld(output, packet);
    if (written < 0) {
        output.writeCode = written;
        *error = net::step(net::Step::FileUnwritable, avText(written));
    }
    return written >= 0;
}

// Where the file's zero lies on the inputs' clock: the earliest start.
qint64 fileStartMicros(const QList<std::shared_ptr<Input>> &inputs)
{
    qint64 startMicros = std::numeric_limits<qint64>::max();
    for (const auto &in : inputs)
        startMicros = qMin(startMicros, in->startMicros);
    return startMicros;
}

// Each stream's last packet, lasting on over the time of pieces left out
// after its input's last one: the file keeps the playlist's whole time, its
// last picture staying as a player's does over a gap.
bool writeLast(const QList<std::shared_ptr<Input>> &inputs, Output &output, net::Step *error)
{
    for (const auto &in : inputs)
        for (const int s : std::as_const(in->outStream)) {
            if (s < 0 || size_t(s) >= output.holding.size() || !output.holding[size_t(s)])
                continue;
            AVPacket *last = output.held[size_t(s)];
            output.holding[size_t(s)] = false;
            const AVRational base = output.format->streams[s]->time_base;
            last->duration += av_rescale_q(micros(in->runs.last().tailGapSeconds), MicrosBase, base);
            if (const int code = av_interleaved_write_frame(output.format, last); code < 0)
                return output.writeCode = code,
                       *error = net::step(net::Step::FileUnwritable, avText(code)), false;
        }
    return true;
}

bool copyAll(const QList<std::shared_ptr<Input>> &inputs, Output &output, net::Step *error)
{
    AVFormatContext *out = output.format;
    std::unique_ptr<AVPacket, void (*)(AVPacket *)> packet(av_packet_alloc(), [](AVPacket *p) { av_packet_free(&p); });
    QList<qint64> lastDts(out->nb_streams, AV_NOPTS_VALUE);
    const qint64 startMicros = fileStartMicros(inputs);
    while (Input *in = nextInput(inputs)) {
        if (output.cancelled())
            return *error = net::step(net::Step::Cancelled), false;
        if (!copyPacket(*in, output, packet.get(), lastDts, startMicros, error))
            return false;
    }
    return error->isEmpty() && writeLast(inputs, output, error);
}

} // namespace

namespace {

// The extras' subtitles into the file, timed against its zero; a stream
// each is added before the header, its cues written after it.
bool addExtras(Output &out, const QList<std::shared_ptr<Input>> &opened, JoinExtras *extras, bool headerWritten,
               QList<int> *streams, net::Step *error)
{
    if (!extras)
        return true;
    if (!headerWritten)
        return subtitles::addTextStreams(out.format, extras->subtitles, streams)
               || (*error = net::step(net::Step::OutOfMemory), false);
    extras->mediaStartMs = fileStartMicros(opened) / 1000;
    const int code = subtitles::writeTextPackets(out.format, extras->subtitles, *streams, extras->mediaStartMs);
    if (code < 0)
        out.writeCode = code, *error = net::step(net::Step::SubtitlesUnwritable, avText(code));
    return code >= 0;
}

bool joinInto(Output &out, const QList<QList<JoinPiece>> &inputs, const JoinRuns &runs, const QString &outPath,
              const media::Tags &tags, net::Step *error, JoinExtras *extras)
{
    if (avformat_alloc_output_context2(&out.format, nullptr, "mp4", nullptr) < 0)
        return *error = net::step(net::Step::OutOfMemory), false;
    QList<std::shared_ptr<Input>> opened;
    for (const QList<JoinPiece> &pieces : inputs) {
        opened.append(std::make_shared<Input>());
        Input &in = *opened.last();
        if (!open(in, pieces, runs.value(opened.size() - 1), out.cancel, error) || !addStreams(in, out.format, error))
            return false;
    }
    if (out.format->nb_streams == 0)
        return *error = net::step(net::Step::NoStreams), false;
    const int cover = media::addTags(out.format, tags);
    QList<int> textStreams;
    if (!addExtras(out, opened, extras, false, &textStreams, error))
        return false;
    const AVIOInterruptCB interrupt{&Output::interrupted, &out};
    int code = avio_open2(&out.format->pb, QFile::encodeName(outPath).constData(), AVIO_FLAG_WRITE, &interrupt, nullptr);
    if (code >= 0)
        code = avformat_write_header(out.format, nullptr);
    if (code >= 0)
        code = media::writeCover(out.format, cover, tags);
    if (code < 0)
        return out.writeCode = code, *error = net::step(net::Step::FileUnwritable, avText(code)), false;
    if (!addExtras(out, opened, extras, true, &textStreams, error) || !copyAll(opened, out, error))
        return false;
    code = av_write_trailer(out.format);
    if (code < 0) {
        out.writeCode = code;
        *error = net::step(net::Step::FileUnfinished, avText(code));
    }
    return code >= 0;
}

JoinFault faultOf(const Output &out)
{
    if (out.cancelled())
        return JoinFault::Cancelled;
    if (out.unjoinableRun >= 0)
        return JoinFault::Unjoinable;
    // Only the file system's own faults are the disk's: a packet the
    // muxer refuses fails the same way at every try.
    const int code = out.writeCode;
    if (code == AVERROR(ENOSPC) || code == AVERROR(EDQUOT))
        return JoinFault::DiskFull;
    if (code == AVERROR(EIO) || code == AVERROR(EROFS) || code == AVERROR(EFBIG) || code == AVERROR(EACCES)
        || code == AVERROR(EPERM))
        return JoinFault::Output;
    return JoinFault::Pieces;
}

} // namespace

bool joinToMp4(const QList<QStringList> &inputs, const QString &outPath, net::Step *error,
               const std::atomic<bool> *cancel, JoinFault *fault, const JoinRuns &runs, int *unjoinableRun,
               const media::Tags &tags, JoinExtras *extras)
{
    QList<QList<JoinPiece>> pieces;
    for (const QStringList &paths : inputs) {
        pieces.append(QList<JoinPiece>());
        for (const QString &path : paths)
            pieces.last().append({path, 0, -1});
    }
    return joinToMp4(pieces, outPath, error, cancel, fault, runs, unjoinableRun, tags, extras);
}

bool joinToMp4(const QList<QList<JoinPiece>> &inputs, const QString &outPath, net::Step *error,
               const std::atomic<bool> *cancel, JoinFault *fault, const JoinRuns &runs, int *unjoinableRun,
               const media::Tags &tags, JoinExtras *extras)
{
    error->clear();
    Output out;
    out.cancel = cancel;
    const bool ok = joinInto(out, inputs, runs, outPath, tags, error, extras);
    if (fault)
        *fault = ok ? JoinFault::None : faultOf(out);
    if (unjoinableRun)
        *unjoinableRun = ok ? -1 : out.unjoinableRun;
    return ok;
}

} // namespace vidrona::download::streams
