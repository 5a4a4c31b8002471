#include "webvtt.h"
#include <QRegularExpression>
#include <algorithm>

namespace vidrona::download::subtitles {

namespace {

constexpr qint64 MpegTsHz = 90000;

// The lines of text, any line ending read, a leading byte order mark gone.
QStringList linesOf(QByteArrayView text)
{
    QString all = QString::fromUtf8(text);
    if (all.startsWith(QChar(0xFEFF)))
        all.remove(0, 1);
    all.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    all.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return all.split(QLatin1Char('\n'));
}

// "MPEGTS:900000,LOCAL:00:00:00.000": how far the cues' own times are
// from the media's clock, in ms; nothing when the line cannot be read.
std::optional<qint64> mapShift(QStringView value)
{
    qint64 mpegTs = -1, local = -1;
    for (QStringView part : value.split(QLatin1Char(','))) {
        part = part.trimmed();
        if (part.startsWith(QLatin1String("MPEGTS:"))) {
            bool ok = false;
            mpegTs = part.sliced(7).toLongLong(&ok);
            if (!ok)
                mpegTs = -1;
        } else if (part.startsWith(QLatin1String("LOCAL:"))) {
            local = vttTime(part.sliced(6));
        }
    }
    if (mpegTs < 0 || local < 0)
        return std::nullopt;
    return mpegTs * 1000 / MpegTsHz - local;
}

// The cue of a block of lines, when it has a timing line.
std::optional<Cue> cueOf(const QStringList &block)
{
    const int timing = block.value(0).contains(QLatin1String("-->")) ? 0 : 1;
    const QString line = block.value(timing);
    const qsizetype arrow = line.indexOf(QLatin1String("-->"));
    if (arrow < 0)
        return std::nullopt;
    const QString after = line.sliced(arrow + 3).trimmed();
    const qsizetype space = after.indexOf(QRegularExpression(QStringLiteral("\\s")));
    Cue cue;
    cue.startMs = vttTime(QStringView(line).first(arrow).trimmed());
    cue.endMs = vttTime(space < 0 ? QStringView(after) : QStringView(after).first(space));
    if (cue.startMs < 0 || cue.endMs < cue.startMs)
        return std::nullopt;
    cue.text = block.mid(timing + 1).join(QLatin1Char('\n')).left(MaxCueChars);
    return cue;
}

bool isHeaderLine(const QString &first)
{
    return first.startsWith(QLatin1String("WEBVTT"))
           && (first.size() == 6 || first.at(6) == QLatin1Char(' ') || first.at(6) == QLatin1Char('\t'));
}

} // namespace

qint64 vttTime(QStringView text)
{
    static const QRegularExpression form(QStringLiteral("^(?:(\\d{1,9}):)?([0-5]\\d):([0-5]\\d)\\.(\\d{3})$"));
    const QRegularExpressionMatch m = form.match(text.toString());
    if (!m.hasMatch())
        return -1;
    const qint64 hours = m.capturedView(1).isEmpty() ? 0 : m.capturedView(1).toLongLong();
    return ((hours * 60 + m.capturedView(2).toLongLong()) * 60 + m.capturedView(3).toLongLong()) * 1000
           + m.capturedView(4).toLongLong();
}

VttText readWebVtt(QByteArrayView text)
{
    VttText out;
    const QStringList lines = linesOf(text);
    if (lines.isEmpty() || !isHeaderLine(lines.first()))
        return out;
    qint64 shift = 0;
    int at = 1;
    for (; at < lines.size() && !lines.at(at).trimmed().isEmpty(); ++at) // the header's own lines
        if (lines.at(at).startsWith(QLatin1String("X-TIMESTAMP-MAP=")))
            if (const std::optional<qint64> s = mapShift(QStringView(lines.at(at)).sliced(16))) {
                shift = *s;
                out.onMediaClock = true;
            }
    QStringList block;
    const auto endBlock = [&] {
        const bool skipped = block.isEmpty() || block.first().startsWith(QLatin1String("NOTE"))
                             || block.first() == QLatin1String("STYLE") || block.first() == QLatin1String("REGION");
        if (!skipped && out.cues.size() < MaxCues)
            if (std::optional<Cue> cue = cueOf(block)) {
                cue->startMs += shift;
                cue->endMs += shift;
                out.cues.append(*cue);
            }
        block.clear();
    };
    for (; at < lines.size(); ++at) {
        if (lines.at(at).trimmed().isEmpty())
            endBlock();
        else
            block.append(lines.at(at));
    }
    endBlock();
    out.ok = true;
    return out;
}

QList<Cue> joinCues(const QList<QList<Cue>> &pieces)
{
    QList<Cue> all;
    for (const QList<Cue> &piece : pieces)
        all += piece.first(qMin(piece.size(), qsizetype(MaxCues) - all.size()));
    std::stable_sort(all.begin(), all.end(), [](const Cue &a, const Cue &b) { return a.startMs < b.startMs; });
    QList<Cue> out;
    for (const Cue &cue : std::as_const(all)) {
        // The same words going on where the last piece cut them: one cue.
        Cue *same = nullptr;
        for (qsizetype i = out.size() - 1; i >= 0 && out.at(i).startMs == cue.startMs && !same; --i)
            if (out.at(i).text == cue.text)
                same = &out[i];
        if (!same && !out.isEmpty() && out.last().text == cue.text && out.last().endMs >= cue.startMs)
            same = &out.last();
        if (same)
            same->endMs = qMax(same->endMs, cue.endMs);
        else
            out.append(cue);
    }
    return out;
}

QString plainText(const QString &cueText)
{
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    static const QRegularExpression entity(QStringLiteral("&(#x[0-9A-Fa-f]{1,6}|#[0-9]{1,7}|[A-Za-z]{2,6});"));
    QString text = cueText;
    text.remove(tag);
    QString out;
    qsizetype from = 0;
    for (auto it = entity.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        char32_t c = 0;
        if (name.startsWith(QLatin1String("#x")))
            c = char32_t(name.mid(2).toUInt(nullptr, 16));
        else if (name.startsWith(QLatin1Char('#')))
            c = char32_t(name.mid(1).toUInt());
        else
            c = name == QLatin1String("amp") ? U'&' : name == QLatin1String("lt") ? U'<' : name == QLatin1String("gt") ? U'>'
              : name == QLatin1String("nbsp") ? U'\u00A0' : name == QLatin1String("quot") ? U'"'
              : name == QLatin1String("apos") ? U'\'' : name == QLatin1String("lrm") ? U'\u200E'
              : name == QLatin1String("rlm") ? U'\u200F' : 0;
        out += QStringView(text).sliced(from, m.capturedStart() - from);
        out += c != 0 && c <= 0x10FFFF ? QString::fromUcs4(&c, 1) : m.captured();
        from = m.capturedEnd();
    }
    out += QStringView(text).sliced(from);
    return out;
}

namespace {
QByteArray srtTime(qint64 ms)
{
    return QStringLiteral("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'))
        .toLatin1();
}
} // namespace

QByteArray srtText(const QList<Cue> &cues, qint64 shiftMs)
{
    QByteArray out;
    int number = 0;
    for (const Cue &cue : cues) {
        const qint64 start = qMax<qint64>(0, cue.startMs - shiftMs), end = cue.endMs - shiftMs;
        const QString text = plainText(cue.text).trimmed();
        if (end <= 0 || text.isEmpty())
            continue;
        out += QByteArray::number(++number) + '\n' + srtTime(start) + " --> " + srtTime(end) + '\n'
               + text.toUtf8() + "\n\n";
    }
    return out;
}

} // namespace vidrona::download::subtitles
