#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// Decoding a saved video with the ffmpeg tools, to check it against its
// source: the frames' checksums, the kinds of its streams, its length.
namespace vidrona::test {

// Runs program to its end (at most two minutes); its output in out.
bool runTool(const QString &program, const QStringList &args, QByteArray *out = nullptr);
// The checksum of every decoded frame of one kind ("v" or "a"), in order;
// empty when the file cannot be read.
QByteArray frameSums(const QString &input, const char *kind = "v");
// "audio", "video", sorted.
QStringList streamKinds(const QString &file);
double durationOf(const QString &file);
// When the first picture (kind "v") or sound ("a") is played, in seconds;
// -1 when there is none.
double firstFrameSeconds(const QString &file, const char *kind = "v");

} // namespace vidrona::test
