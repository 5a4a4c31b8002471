#pragma once
#include "tags.h"

struct AVFormatContext;

// Writing a file's own tags with libavformat, one hook per writer of a
// final file: addTags() before the header is written, writeCover() right
// after it. MP4, M4A and MP3 take the picture as an attached picture (MP3
// in an ID3 APIC frame), Matroska as an attachment named "cover.jpg" or
// "cover.png"; other containers (Ogg) take the words only.
namespace vidrona::download::media {

// Sets out's metadata from tags (title, artist, date, description, and
// the address as the comment) and adds the picture's stream when the
// container takes one and tags.cover is a JPEG or PNG. Tags are extras:
// one the container refuses is left out, never failing the file. Returns
// the stream whose picture writeCover() writes, or -1.
int addTags(AVFormatContext *out, const Tags &tags);

// Writes the picture of the stream addTags() returned (nothing for -1 or
// an attachment, which the header holds). A libav error code, or 0.
int writeCover(AVFormatContext *out, int stream, const Tags &tags);

} // namespace vidrona::download::media
