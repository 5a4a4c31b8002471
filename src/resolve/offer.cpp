#include "offer.h"
#include <QXmlStreamReader>

namespace vidrona::resolve {

namespace {

void addLanguage(QStringList &languages, const QString &language)
{
    const QString l = language.trimmed().left(35); // a BCP 47 tag is never longer
    if (!l.isEmpty() && !languages.contains(l, Qt::CaseInsensitive) && languages.size() < MaxLanguages)
        languages << l;
}

// The sound rendition a sound-only fetch takes: the default one with a
// playlist of its own, else the first (as hlsChoice takes it).
const download::streams::HlsRendition *soundRendition(const download::streams::HlsMaster &master)
{
    const download::streams::HlsRendition *first = nullptr;
    for (const download::streams::HlsRendition &r : master.renditions) {
        if (r.type != "AUDIO" || r.url.isEmpty())
            continue;
        if (r.isDefault)
            return &r;
        if (!first)
            first = &r;
    }
    return first;
}

bool isTextSet(const QXmlStreamAttributes &a)
{
    const QString contentType = a.value(QLatin1String("contentType")).toString();
    const QString mime = a.value(QLatin1String("mimeType")).toString();
    const QString codecs = a.value(QLatin1String("codecs")).toString();
    return contentType == QLatin1String("text") || mime.startsWith(QLatin1String("text/"))
           || mime == QLatin1String("application/ttml+xml") || codecs.startsWith(QLatin1String("wvtt"))
           || codecs.startsWith(QLatin1String("stpp"));
}

} // namespace

Offer hlsOffer(const download::streams::HlsMaster &master, double seconds)
{
    Offer offer;
    const QList<download::streams::Quality> all = download::streams::hlsQualities(master, seconds);
    const download::streams::HlsRendition *rendition = soundRendition(master);
    bool soundAlone = false;
    for (const download::streams::Quality &q : all) {
        // With a sound rendition, that is the sound alone, not a variant.
        if (!q.video && rendition)
            continue;
        soundAlone = soundAlone || !q.video;
        offer.qualities << q;
    }
    if (rendition) {
        download::streams::Quality q;
        q.video = false;
        q.language = rendition->language.isEmpty() ? rendition->name : rendition->language;
        offer.qualities << q;
    } else if (!soundAlone && !offer.qualities.isEmpty()) {
        download::streams::Quality q; // a variant's sound, its picture dropped
        q.video = false;
        offer.qualities << q;
    }
    for (const download::streams::HlsRendition &r : master.renditions)
        if (r.type == "SUBTITLES")
            addLanguage(offer.subtitles, r.language.isEmpty() ? r.name : r.language);
    return offer;
}

Offer dashOffer(const download::streams::DashManifest &manifest, QByteArrayView text)
{
    Offer offer;
    offer.qualities = download::streams::dashQualities(manifest);
    offer.subtitles = dashTextLanguages(text);
    return offer;
}

// Only the adaptation sets' own attributes and their first representation's
// are looked at: where a manifest says what a set holds.
QStringList dashTextLanguages(QByteArrayView text)
{
    QStringList languages;
    QXmlStreamReader xml(QByteArray::fromRawData(text.data(), text.size()));
    bool inSet = false, textSet = false;
    QString language;
    while (!xml.atEnd() && !xml.hasError()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("AdaptationSet")) {
            inSet = true;
            textSet = isTextSet(xml.attributes());
            language = xml.attributes().value(QLatin1String("lang")).toString();
        } else if (token == QXmlStreamReader::StartElement && inSet && xml.name() == QLatin1String("Representation")) {
            textSet = textSet || isTextSet(xml.attributes());
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("AdaptationSet")) {
            if (textSet)
                addLanguage(languages, language);
            inSet = false;
        }
    }
    return languages;
}

} // namespace vidrona::resolve
