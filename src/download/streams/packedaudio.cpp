#include "packedaudio.h"
#include "platform/platform.h"
#include <QFile>

namespace vidrona::download::streams {

namespace {

constexpr QByteArrayView TimestampOwner = "com.apple.streaming.transportStreamTimestamp";

// ID3v2's sizes: four bytes of seven bits each.
qint64 syncsafe(const QByteArray &b, qsizetype at)
{
    qint64 n = 0;
    for (int i = 0; i < 4; ++i)
        n = (n << 7) | (uchar(b.at(at + i)) & 0x7f);
    return n;
}

qint64 plain(const QByteArray &b, qsizetype at)
{
    qint64 n = 0;
    for (int i = 0; i < 4; ++i)
        n = (n << 8) | uchar(b.at(at + i));
    return n;
}

// The 33-bit 90 kHz stamp in a PRIV frame's data, if it is the timestamp one.
std::optional<qint64> stampOf(const QByteArray &data)
{
    if (!data.startsWith(TimestampOwner.toByteArray() + '\0') || data.size() < TimestampOwner.size() + 1 + 8)
        return std::nullopt;
    quint64 stamp = 0;
    for (int i = 0; i < 8; ++i)
        stamp = (stamp << 8) | uchar(data.at(TimestampOwner.size() + 1 + i));
    stamp &= (quint64(1) << 33) - 1;
    return qint64(stamp) * 1000000 / 90000;
}

// The bytes of the ID3 tag head starts with (a footer included); 0: none.
qint64 tagLength(const QByteArray &head)
{
    if (head.size() < 10 || !head.startsWith("ID3"))
        return 0;
    return 10 + syncsafe(head, 6) + ((uchar(head.at(5)) & 0x10) ? 10 : 0);
}

} // namespace

std::optional<qint64> packedAudioStartMicros(const QByteArray &head)
{
    if (head.size() < 10 || !head.startsWith("ID3"))
        return std::nullopt;
    const int version = uchar(head.at(3)); // 3 or 4; v2.4 writes frame sizes syncsafe
    const qint64 end = qMin<qint64>(10 + syncsafe(head, 6), head.size());
    for (qsizetype at = 10; at + 10 <= end;) {
        const QByteArray id = head.mid(at, 4);
        const qint64 size = version >= 4 ? syncsafe(head, at + 4) : plain(head, at + 4);
        if (id.at(0) == '\0' || size <= 0 || at + 10 + size > end)
            break;
        if (id == "PRIV")
            if (const std::optional<qint64> stamp = stampOf(head.mid(at + 10, size)))
                return stamp;
        at += 10 + size;
    }
    return std::nullopt;
}

std::optional<PackedAudioClock> PackedAudioClock::read(const QList<JoinPiece> &pieces)
{
    PackedAudioClock clock;
    QFile file;
    QString opened; // a file opened from its descriptor forgets its name
    qint64 at = 0;
    for (const JoinPiece &piece : pieces) {
        if (opened != piece.path) {
            file.close();
            opened = piece.path;
            // As the join reads it: a link or a pipe in a piece's place is
            // neither followed nor waited on.
            if (!platform::openKept(file, piece.path, QIODevice::ReadOnly))
                return std::nullopt; // the join itself says why
        }
        const qint64 length = piece.length >= 0 ? piece.length : file.size() - piece.offset;
        const QByteArray head = file.seek(piece.offset) ? file.read(qMin<qint64>(PackedAudioHeadBytes, length)) : QByteArray();
        clock.m_starts << at;
        clock.m_micros << packedAudioStartMicros(head);
        at += qMax<qint64>(0, length - tagLength(head));
    }
    if (clock.m_micros.isEmpty() || !clock.m_micros.first())
        return std::nullopt;
    return clock;
}

std::optional<qint64> PackedAudioClock::enteredAt(qint64 at)
{
    int k = m_current;
    while (k + 1 < m_starts.size() && m_starts.at(k + 1) <= at)
        ++k;
    if (k == m_current)
        return std::nullopt;
    m_current = k;
    return m_micros.at(k);
}

} // namespace vidrona::download::streams
