#include "dashmanifest.h"
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace vidrona::download::streams {

namespace {

// A start time that is not written: where the previous piece ended. (A
// written one may be below zero: a packager's sound that starts early.)
constexpr qint64 NoTime = std::numeric_limits<qint64>::min();

struct TimelineEntry {
    qint64 t = NoTime;
    qint64 d = 0;
    qint64 r = 0; // -1: to the end of the period
};

struct Template {
    bool set = false;
    QString media, init;
    qint64 start = 1, timescale = 1, duration = 0, offset = 0; // offset: presentationTimeOffset
    QList<TimelineEntry> timeline;
};

struct SegmentList {
    bool set = false;
    QString init;
    QByteArray initRange;
    QList<QPair<QString, QByteArray>> urls; // media, mediaRange
    qint64 timescale = 1, duration = 0, offset = 0;
};

// What a level of the manifest passes on to the levels inside it.
struct Level {
    QUrl base;
    QString mime;
    QString codecs, frameRate, lang; // a set's, which its representations may change
    Template tmpl;
    SegmentList list;
};

// What a set or representation says of itself, where it says it.
void describe(Level &level, const QXmlStreamAttributes &a)
{
    const std::pair<const char *, QString *> fields[] = {
        {"codecs", &level.codecs}, {"frameRate", &level.frameRate}, {"lang", &level.lang}};
    for (const auto &[name, into] : fields)
        if (a.hasAttribute(QLatin1String(name)))
            *into = a.value(QLatin1String(name)).toString();
}

double rateOf(const QString &text) // "30", "30000/1001"
{
    const QStringList parts = text.split(QLatin1Char('/'));
    const double over = parts.size() > 1 ? parts[1].toDouble() : 1;
    return over > 0 ? parts[0].toDouble() / over : 0;
}

ByteRange rangeOf(const QByteArray &text) // "first-last"
{
    const QList<QByteArray> parts = text.split('-');
    if (parts.size() != 2)
        return {};
    const qint64 first = parts[0].toLongLong(), last = parts[1].toLongLong();
    return last >= first ? ByteRange{last - first + 1, first} : ByteRange{};
}

// A template's address for one piece; "$$" in the template is a "$".
QString filled(const QString &pattern, const QString &id, qint64 bandwidth, qint64 number, qint64 time)
{
    static const QRegularExpression field(QStringLiteral("\\$(RepresentationID|Number|Time|Bandwidth)(?:%0(\\d+)d)?\\$"));
    QString out;
    qsizetype at = 0;
    for (auto it = field.globalMatch(pattern); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += pattern.mid(at, m.capturedStart() - at).replace(QLatin1String("$$"), QLatin1String("$"));
        const QString name = m.captured(1);
        const qint64 value = name == QLatin1String("Number") ? number : name == QLatin1String("Time") ? time : bandwidth;
        out += name == QLatin1String("RepresentationID")
                   ? id
                   : QStringLiteral("%1").arg(value, m.captured(2).toInt(), 10, QLatin1Char('0'));
        at = m.capturedEnd();
    }
    return out + pattern.mid(at).replace(QLatin1String("$$"), QLatin1String("$"));
}

QList<double> periodStarts(const QByteArray &text);

class Reader
{
public:
    Reader(QByteArrayView text, const QUrl &address) : m_xml(text.toByteArray()), m_starts(periodStarts(text.toByteArray()))
    {
        m_top.base = address;
    }
    DashManifest run();

private:
    void readPeriod(const Level &outer);
    double periodLength(const QXmlStreamAttributes &a) const;
    double nextPeriodStart() const;
    void readLevel(Level &level, bool representation, const DashTrack &track);
    void readTemplate(Template &t);
    void readList(SegmentList &l);
    void finishTrack(const Level &level, DashTrack track);
    bool addPieces(const Level &level, DashTrack &track);
    void finishText(const Level &level, const DashTrack &track);
    bool expandTemplate(const Template &t, DashTrack &track);
    bool refuse(Refusal refusal, net::Cause cause, int count = 0, const QString &detail = {});

    QXmlStreamReader m_xml;
    QList<double> m_starts;
    Level m_top;
    DashManifest m_out;
    double m_periodSeconds = -1;
    double m_periodStart = 0;
    int m_period = 0;
};

bool Reader::refuse(Refusal refusal, net::Cause cause, int count, const QString &detail)
{
    if (m_out.refusal == Refusal::None) {
        m_out.refusal = refusal;
        m_out.why = refusalOf(refusal, cause, count, detail);
    }
    return false;
}

DashManifest Reader::run()
{
    if (!m_xml.readNextStartElement() || m_xml.name() != QLatin1String("MPD")) {
        refuse(Refusal::NotAStream, net::Cause::NotDashManifest);
        return m_out;
    }
    if (m_xml.attributes().value(QLatin1String("type")) == QLatin1String("dynamic")) {
        refuse(Refusal::Live, net::Cause::StreamLive);
        return m_out;
    }
    m_out.seconds = isoSeconds(m_xml.attributes().value(QLatin1String("mediaPresentationDuration")).toString());
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("BaseURL"))
            m_top.base = m_top.base.resolved(QUrl(m_xml.readElementText().trimmed()));
        else if (m_xml.name() == QLatin1String("Period") && m_out.periods >= MaxPeriods)
            return refuse(Refusal::TooLarge, net::Cause::TooManyParts, MaxPeriods), m_out;
        else if (m_xml.name() == QLatin1String("Period"))
            readPeriod(m_top), m_out.periods = ++m_period;
        else
            m_xml.skipCurrentElement();
    }
    if (m_xml.hasError() && m_out.refusal == Refusal::None)
        refuse(Refusal::Broken, net::Cause::ManifestUnreadable, 0, m_xml.errorString());
    if (m_out.refusal == Refusal::None && m_out.tracks.isEmpty())
        refuse(Refusal::Empty, net::Cause::ManifestNoVideo);
    return m_out;
}

// A period's length: its own, else up to the next one's start, else what
// is left of the whole; -1 when none is said.
double Reader::periodLength(const QXmlStreamAttributes &a) const
{
    const double own = isoSeconds(a.value(QLatin1String("duration")).toString());
    if (own >= 0)
        return own;
    const double next = nextPeriodStart();
    if (next > m_periodStart)
        return next - m_periodStart;
    return m_out.seconds >= 0 ? m_out.seconds - m_periodStart : -1;
}

// The start of the period after the one being read, when it says so.
double Reader::nextPeriodStart() const
{
    return m_starts.value(m_period + 1, -1);
}

// Every period's written start (-1: none), in one pass before the reading.
QList<double> periodStarts(const QByteArray &text)
{
    QList<double> starts;
    QXmlStreamReader ahead(text);
    while (!ahead.atEnd() && ahead.readNext() != QXmlStreamReader::Invalid && starts.size() <= MaxPeriods)
        if (ahead.isStartElement() && ahead.name() == QLatin1String("Period"))
            starts << isoSeconds(ahead.attributes().value(QLatin1String("start")).toString());
    return starts;
}

void Reader::readPeriod(const Level &outer)
{
    const QXmlStreamAttributes a = m_xml.attributes();
    const double start = isoSeconds(a.value(QLatin1String("start")).toString());
    if (start >= 0)
        m_periodStart = start;
    m_periodSeconds = periodLength(a);
    Level period = outer;
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() == QLatin1String("BaseURL")) {
            period.base = period.base.resolved(QUrl(m_xml.readElementText().trimmed()));
        } else if (m_xml.name() == QLatin1String("SegmentTemplate")) {
            readTemplate(period.tmpl);
        } else if (m_xml.name() == QLatin1String("SegmentList")) {
            readList(period.list);
        } else if (m_xml.name() == QLatin1String("AdaptationSet")) {
            Level set = period;
            set.mime = m_xml.attributes().value(QLatin1String("mimeType")).toString();
            if (set.mime.isEmpty())
                set.mime = m_xml.attributes().value(QLatin1String("contentType")).toString();
            describe(set, m_xml.attributes());
            readLevel(set, false, {});
        } else {
            m_xml.skipCurrentElement();
        }
    }
    m_periodStart += qMax(0.0, m_periodSeconds);
}

// An AdaptationSet (representation false) or a Representation: what it
// sets for itself, and for a set, each of its representations.
void Reader::readLevel(Level &level, bool representation, const DashTrack &track)
{
    while (m_xml.readNextStartElement()) {
        const QStringView name = m_xml.name();
        if (name == QLatin1String("BaseURL")) {
            level.base = level.base.resolved(QUrl(m_xml.readElementText().trimmed()));
        } else if (name == QLatin1String("SegmentTemplate")) {
            readTemplate(level.tmpl);
        } else if (name == QLatin1String("SegmentList")) {
            readList(level.list);
        } else if (name == QLatin1String("ContentProtection")) {
            refuse(Refusal::Drm, net::Cause::StreamDrm);
            m_xml.skipCurrentElement();
        } else if (name == QLatin1String("Representation") && !representation) {
            const QXmlStreamAttributes a = m_xml.attributes();
            Level inner = level;
            if (a.hasAttribute(QLatin1String("mimeType")))
                inner.mime = a.value(QLatin1String("mimeType")).toString();
            describe(inner, a);
            DashTrack t;
            t.id = a.value(QLatin1String("id")).toString();
            t.bandwidth = a.value(QLatin1String("bandwidth")).toLongLong();
            t.width = a.value(QLatin1String("width")).toInt();
            t.height = a.value(QLatin1String("height")).toInt();
            readLevel(inner, true, t);
        } else {
            m_xml.skipCurrentElement();
        }
    }
    if (representation)
        finishTrack(level, track);
}

void Reader::readTemplate(Template &t)
{
    const QXmlStreamAttributes a = m_xml.attributes();
    t.set = true;
    const auto number = [&a](const char *n, qint64 fallback) {
        return a.hasAttribute(QLatin1String(n)) ? a.value(QLatin1String(n)).toLongLong() : fallback;
    };
    if (a.hasAttribute(QLatin1String("media")))
        t.media = a.value(QLatin1String("media")).toString();
    if (a.hasAttribute(QLatin1String("initialization")))
        t.init = a.value(QLatin1String("initialization")).toString();
    t.start = number("startNumber", t.start);
    t.timescale = qMax<qint64>(1, number("timescale", t.timescale));
    t.duration = number("duration", t.duration);
    t.offset = number("presentationTimeOffset", t.offset);
    while (m_xml.readNextStartElement()) {
        if (m_xml.name() != QLatin1String("SegmentTimeline")) {
            m_xml.skipCurrentElement();
            continue;
        }
        t.timeline.clear();
        while (m_xml.readNextStartElement()) {
            const QXmlStreamAttributes s = m_xml.attributes();
            if (m_xml.name() == QLatin1String("S") && t.timeline.size() < MaxPieces)
                t.timeline.append({s.hasAttribute(QLatin1String("t")) ? s.value(QLatin1String("t")).toLongLong() : NoTime,
                                   s.value(QLatin1String("d")).toLongLong(), s.value(QLatin1String("r")).toLongLong()});
            m_xml.skipCurrentElement();
        }
    }
}

void Reader::readList(SegmentList &l)
{
    const QXmlStreamAttributes a = m_xml.attributes();
    l.set = true;
    l.urls.clear();
    if (a.hasAttribute(QLatin1String("timescale")))
        l.timescale = qMax<qint64>(1, a.value(QLatin1String("timescale")).toLongLong());
    if (a.hasAttribute(QLatin1String("duration")))
        l.duration = a.value(QLatin1String("duration")).toLongLong();
    if (a.hasAttribute(QLatin1String("presentationTimeOffset")))
        l.offset = a.value(QLatin1String("presentationTimeOffset")).toLongLong();
    while (m_xml.readNextStartElement()) {
        const QXmlStreamAttributes e = m_xml.attributes();
        if (m_xml.name() == QLatin1String("Initialization")) {
            l.init = e.value(QLatin1String("sourceURL")).toString();
            l.initRange = e.value(QLatin1String("range")).toLatin1();
        } else if (m_xml.name() == QLatin1String("SegmentURL") && l.urls.size() <= MaxPieces) {
            l.urls.append({e.value(QLatin1String("media")).toString(), e.value(QLatin1String("mediaRange")).toLatin1()});
        }
        m_xml.skipCurrentElement();
    }
}

bool Reader::expandTemplate(const Template &t, DashTrack &track)
{
    const auto add = [&](qint64 number, qint64 time, qint64 d) {
        track.pieces.append({QUrl(), {}, double(d) / double(t.timescale)});
        track.pieces.last().url = QUrl(filled(t.media, track.id, track.bandwidth, number, time));
    };
    qint64 number = t.start, time = t.offset; // a timeline without t starts at the period's own start
    if (t.timeline.isEmpty()) {
        if (t.duration <= 0 || m_periodSeconds <= 0)
            return refuse(Refusal::Broken, net::Cause::ManifestUncounted);
        const double count = std::ceil(m_periodSeconds * double(t.timescale) / double(t.duration) - 1e-9);
        if (count > MaxPieces)
            return refuse(Refusal::TooLarge, net::Cause::TooManyPieces, MaxPieces);
        for (qint64 i = 0, at = 0; i < qint64(count); ++i, at += t.duration)
            add(number++, at, t.duration);
        return true;
    }
    const qint64 end = t.offset + qint64(m_periodSeconds * double(t.timescale));
    for (const TimelineEntry &s : t.timeline) {
        time = s.t != NoTime ? s.t : time;
        const qint64 repeats = s.r >= 0 ? s.r : (s.d > 0 && end > time ? (end - time + s.d - 1) / s.d - 1 : 0);
        if (s.d <= 0 || repeats + 1 + track.pieces.size() > MaxPieces)
            return refuse(Refusal::TooLarge, net::Cause::TooManyPieces, MaxPieces);
        for (qint64 i = 0; i <= repeats; ++i, time += s.d)
            add(number++, time, s.d);
    }
    return true;
}

void Reader::finishTrack(const Level &level, DashTrack track)
{
    const bool text = level.mime.startsWith(QLatin1String("text")) || level.mime.contains(QLatin1String("ttml"))
                      || level.codecs.startsWith(QLatin1String("stpp")) || level.codecs.startsWith(QLatin1String("wvtt"));
    track.kind = text ? "text" : level.mime.startsWith(QLatin1String("video")) ? "video"
                 : level.mime.startsWith(QLatin1String("audio")) ? "audio" : "";
    if (track.kind.isEmpty())
        return; // pictures and the like are not part of the file
    track.period = m_period;
    track.periodStart = m_periodStart;
    if (level.tmpl.set)
        track.offsetSeconds = double(level.tmpl.offset) / double(level.tmpl.timescale);
    else if (level.list.set)
        track.offsetSeconds = double(level.list.offset) / double(level.list.timescale);
    track.codecs = level.codecs.toLatin1();
    track.frameRate = rateOf(level.frameRate);
    track.language = level.lang;
    track.mime = level.mime;
    if (text)
        return finishText(level, track);
    if (addPieces(level, track))
        m_out.tracks.append(track);
}

// A text set's failure to be read costs its subtitles only.
void Reader::finishText(const Level &level, const DashTrack &track)
{
    const Refusal refusal = m_out.refusal;
    const net::Failure why = m_out.why;
    DashTrack text = track;
    if (addPieces(level, text) && m_out.texts.size() < MaxTextTracks)
        m_out.texts.append(text);
    m_out.refusal = refusal;
    m_out.why = why;
}

// The track's pieces, by template, by list, or one file.
bool Reader::addPieces(const Level &level, DashTrack &track)
{
    if (level.tmpl.set) {
        if (!level.tmpl.init.isEmpty())
            track.initUrl = level.base.resolved(QUrl(filled(level.tmpl.init, track.id, track.bandwidth, 0, 0)));
        if (!expandTemplate(level.tmpl, track))
            return false;
        for (DashPiece &p : track.pieces)
            p.url = level.base.resolved(p.url);
    } else if (level.list.set) {
        const SegmentList &l = level.list;
        if (!l.init.isEmpty() || !l.initRange.isEmpty())
            track.initUrl = level.base.resolved(QUrl(l.init)), track.initRange = rangeOf(l.initRange);
        for (const auto &[media, range] : l.urls)
            track.pieces.append({level.base.resolved(QUrl(media)), rangeOf(range), double(l.duration) / double(l.timescale)});
        if (track.pieces.size() > MaxPieces)
            return refuse(Refusal::TooLarge, net::Cause::TooManyPieces, MaxPieces);
    } else {
        track.pieces.append({level.base, {}, m_periodSeconds}); // one file
    }
    return true;
}

} // namespace

double isoSeconds(const QString &text)
{
    // Y, M, W, D before the T; H, M, S after it; each a number with a
    // decimal point or comma.
#define VIDRONA_ISO_NUMBER "(\\d+(?:[.,]\\d+)?)"
    static const QRegularExpression iso(QStringLiteral(
        "^P(?:" VIDRONA_ISO_NUMBER "Y)?(?:" VIDRONA_ISO_NUMBER "M)?(?:" VIDRONA_ISO_NUMBER "W)?(?:" VIDRONA_ISO_NUMBER
        "D)?(?:T(?:" VIDRONA_ISO_NUMBER "H)?(?:" VIDRONA_ISO_NUMBER "M)?(?:" VIDRONA_ISO_NUMBER "S)?)?$"));
#undef VIDRONA_ISO_NUMBER
    const QString trimmed = text.trimmed();
    const QRegularExpressionMatch m = iso.match(trimmed);
    if (!m.hasMatch() || trimmed.size() < 2 || trimmed.endsWith(QLatin1Char('T')))
        return -1;
    static const double unit[] = {365 * 86400.0, 30 * 86400.0, 7 * 86400.0, 86400, 3600, 60, 1};
    double seconds = 0;
    for (int i = 0; i < 7; ++i)
        seconds += m.captured(i + 1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble() * unit[i];
    return seconds;
}

bool looksLikeMpd(QByteArrayView text, qsizetype sniffBytes)
{
    static const QRegularExpression root(QStringLiteral("<([A-Za-z_][\\w.-]*:)?MPD[\\s>/]"));
    return root.match(QString::fromLatin1(text.first(qMin(text.size(), sniffBytes)))).hasMatch();
}

DashManifest readDashManifest(QByteArrayView text, const QUrl &address)
{
    if (text.size() > MaxPlaylistBytes) {
        DashManifest out;
        out.refusal = Refusal::TooLarge;
        out.why = refusalOf(Refusal::TooLarge, net::Cause::ManifestTooLarge);
        return out;
    }
    return Reader(text, address).run();
}

DashManifest periodOf(const DashManifest &manifest, int period)
{
    DashManifest one = manifest;
    one.tracks.clear();
    for (const DashTrack &t : manifest.tracks)
        if (t.period == period)
            one.tracks << t;
    return one;
}

} // namespace vidrona::download::streams
