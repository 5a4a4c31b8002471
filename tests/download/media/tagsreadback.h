#pragma once
#include <QByteArray>
#include <QMap>
#include <QString>

// What libavformat reads back of a saved file's own tags.
namespace vidrona::test {

struct ReadBack {
    bool opened = false;
    QMap<QString, QString> tags; // the file's metadata, keys in lower case
    QByteArray cover;            // an attached picture's or an attachment's bytes
    int mediaStreams = 0;        // pictures and sounds, the cover left out
};

ReadBack readBack(const QString &path);

} // namespace vidrona::test
