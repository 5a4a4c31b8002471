#include "pagesources.h"
#include "directfile.h"
#include <QUrl>
#include <QRegularExpression>

namespace vidrona::resolve {

namespace {

constexpr int MaxHeight = 8640;

// A plain number of lines, as size="720" or res="1080" say it.
int heightNumber(const QByteArray &value)
{
    bool ok = false;
    const int n = value.trimmed().toInt(&ok);
    return ok && n > 0 && n <= MaxHeight ? n : 0;
}

// "720p", "HD 1080p60", "1280x720", "4K" in a label.
void readLabel(const QString &label, download::streams::Quality &q)
{
    static const QRegularExpression size(QStringLiteral("(\\d{2,5})\\s*[x×]\\s*(\\d{2,4})"));
    static const QRegularExpression lines(QStringLiteral("(\\d{3,4})\\s*[pi](\\d{2,3})?\\b"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression fourK(QStringLiteral("\\b4k\\b"), QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = size.match(label); m.hasMatch()) {
        q.width = m.captured(1).toInt();
        q.height = heightNumber(m.captured(2).toLatin1());
    } else if (const QRegularExpressionMatch l = lines.match(label); l.hasMatch()) {
        q.height = heightNumber(l.captured(1).toLatin1());
        if (!l.captured(2).isEmpty())
            q.frameRate = l.captured(2).toInt();
    } else if (fourK.match(label).hasMatch()) {
        q.height = 2160;
    }
}

// type="video/mp4; codecs=&quot;avc1.42E01E, mp4a.40.2&quot;"
QByteArray codecsOf(const QString &type)
{
    static const QRegularExpression codecs(QStringLiteral("codecs\\s*=\\s*[\"']?([^\"';]+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = codecs.match(type);
    return m.hasMatch() ? m.captured(1).simplified().remove(QLatin1Char(' ')).toLatin1().left(200) : QByteArray();
}

} // namespace

download::streams::Quality sourceQuality(const html::Tag &tag)
{
    download::streams::Quality q;
    for (const char *name : {"size", "res", "data-res", "data-size", "height", "data-height"})
        if ((q.height = heightNumber(html::decodeAttribute(tag.attribute(name)).toLatin1())) > 0)
            break;
    if (q.height == 0)
        for (const char *name : {"label", "data-quality", "data-label", "title", "data-title"})
            if (readLabel(html::decodeAttribute(tag.attribute(name)).left(200), q); q.height > 0)
                break;
    if (const int width = heightNumber(tag.attribute("width")); width > 0 && q.width == 0)
        q.width = width;
    q.codecs = codecsOf(html::decodeAttribute(tag.attribute("type")).left(400));
    if (!q.codecs.isEmpty()) {
        // What the codecs say it holds; a file with a picture is taken as one.
        q.sound = q.codecs.contains("mp4a") || q.codecs.contains("opus") || q.codecs.contains("vorbis");
    }
    return q;
}

download::streams::Quality linkQuality(const html::Tag &tag, const QString &href)
{
    const QString name = QUrl(href.left(2048), QUrl::TolerantMode).fileName();
    if (!direct::isMediaExtension(direct::extensionOf(name)))
        return {};
    download::streams::Quality q = sourceQuality(tag);
    if (q.height == 0)
        readLabel(name.left(200), q);
    return q;
}

} // namespace vidrona::resolve
