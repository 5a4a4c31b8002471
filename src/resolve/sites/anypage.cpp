// Any page of today's web that names its video in its markup.
#include "resolve/directfile.h"
#include "resolve/getsource.h"
#include "resolve/htmlscan.h"
#include "resolve/pagesources.h"
#include "resolve/pagevideo.h"
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace vidrona::resolve {

using net::MaxPageBytes;

namespace {

// How the page names the address; lower ranks win.
enum Rank { OgSecureUrl, OgUrl, OgVideo, TwitterStream, JsonLd, VideoElement, SizedLink };

struct Candidate {
    Rank rank;
    QString address; // as written, references decoded
};

// Enough for any real page; a page stuffed with thousands gains nothing.
constexpr int MaxCandidates = 64;
constexpr int MaxJsonDepth = 12;

// A <source> of a <video> that tells its size.
struct SourceMark {
    QString address; // as written, references decoded
    download::streams::Quality quality;
};

struct PageMarks {
    QList<Candidate> candidates;
    QList<SourceMark> sources;
    QList<SourceMark> links; // links to media files that tell their size
    QString baseHref;
    bool haveBase = false;
    QString ogTitle;
    QString title; // of the first <title>
    QString ogDescription;
    QString description; // <meta name="description">
    QString ogImage;
    QString ogSecureImage;

    void add(Rank rank, const QString &address)
    {
        if (candidates.size() < MaxCandidates && !address.trimmed().isEmpty())
            candidates.append({rank, address});
    }
};

// A title as the page shows it: references decoded, blanks simplified;
// only its start is read, a name needs no more.
QString titleText(QByteArrayView written)
{
    const QString text = html::decodeAttribute(written.first(qMin(written.size(), qsizetype(4 * MaxTitleChars))));
    return text.simplified().left(MaxTitleChars);
}

// What the page says of its video for the file's own tags: the first of each.
void addAbout(const QString &key, const html::Tag &tag, PageMarks &marks)
{
    const auto content = [&tag] { return html::decodeAttribute(tag.attribute("content")).trimmed(); };
    const auto description = [&tag] {
        const QByteArrayView written = tag.attribute("content");
        return html::decodeAttribute(written.first(qMin(written.size(), qsizetype(4 * MaxDescriptionChars))))
            .trimmed()
            .left(MaxDescriptionChars);
    };
    if (key == QLatin1String("og:description") && marks.ogDescription.isEmpty())
        marks.ogDescription = description();
    else if (key == QLatin1String("description") && marks.description.isEmpty())
        marks.description = description();
    else if ((key == QLatin1String("og:image") || key == QLatin1String("og:image:url")) && marks.ogImage.isEmpty())
        marks.ogImage = content();
    else if (key == QLatin1String("og:image:secure_url") && marks.ogSecureImage.isEmpty())
        marks.ogSecureImage = content();
}

void addMeta(const html::Tag &tag, PageMarks &marks)
{
    static const struct { const char *key; Rank rank; } keys[] = {
        {"og:video:secure_url", OgSecureUrl}, {"og:video:url", OgUrl}, {"og:video", OgVideo},
        {"twitter:player:stream", TwitterStream},
    };
    for (const char *keyAttribute : {"property", "name"}) {
        const QString key = html::decodeAttribute(tag.attribute(keyAttribute)).trimmed().toLower();
        if (key == QLatin1String("og:title") && marks.ogTitle.isEmpty())
            marks.ogTitle = titleText(tag.attribute("content"));
        addAbout(key, tag, marks);
        for (const auto &k : keys) {
            if (key == QLatin1String(k.key)) {
                marks.add(k.rank, html::decodeAttribute(tag.attribute("content")));
                return;
            }
        }
    }
}

bool isVideoObjectType(const QJsonValue &type)
{
    if (type.isArray()) {
        for (const QJsonValue &t : type.toArray())
            if (isVideoObjectType(t))
                return true;
        return false;
    }
    // "VideoObject", "schema:VideoObject", "https://schema.org/VideoObject"
    return type.toString().endsWith(QLatin1String("VideoObject"));
}

void addVideoObjects(const QJsonValue &value, PageMarks &marks, int depth)
{
    if (depth > MaxJsonDepth || marks.candidates.size() >= MaxCandidates)
        return;
    if (value.isArray()) {
        for (const QJsonValue &item : value.toArray())
            addVideoObjects(item, marks, depth + 1);
        return;
    }
    if (!value.isObject())
        return;
    const QJsonObject object = value.toObject();
    if (isVideoObjectType(object.value(QLatin1String("@type")))) {
        const QJsonValue url = object.value(QLatin1String("contentUrl"));
        marks.add(JsonLd, url.isArray() ? url.toArray().at(0).toString() : url.toString());
    }
    for (const QJsonValue &member : object)
        addVideoObjects(member, marks, depth + 1);
}

void addJsonLd(const html::Tag &tag, PageMarks &marks)
{
    const QByteArray type = direct::mediaType(tag.attribute("type"));
    if (type != "application/ld+json")
        return;
    const QJsonDocument doc = QJsonDocument::fromJson(tag.rawText.toByteArray().trimmed());
    addVideoObjects(doc.isArray() ? QJsonValue(doc.array()) : QJsonValue(doc.object()), marks, 0);
}

// Links to one video in several sizes ("talk_720p.mp4", title="1080p")
// stand for its files when no <video> tells its sizes; a lone link, or
// links of one size, are not a choice and stay unread as before.
void takeSizedLinks(PageMarks &marks)
{
    QList<int> heights;
    for (const SourceMark &link : std::as_const(marks.links))
        if (!heights.contains(link.quality.height))
            heights << link.quality.height;
    if (marks.sources.size() >= 2 || heights.size() < 2)
        return;
    marks.sources = marks.links;
    for (const SourceMark &link : std::as_const(marks.links))
        marks.add(SizedLink, link.address);
}

PageMarks readMarks(QByteArrayView page)
{
    PageMarks marks;
    html::Scanner scanner(page.first(qMin(page.size(), MaxPageBytes)));
    html::Tag tag;
    bool inVideo = false;
    while (scanner.next(tag)) {
        if (tag.name == "video") {
            inVideo = !tag.closing;
            if (inVideo)
                marks.add(VideoElement, html::decodeAttribute(tag.attribute("src")));
        } else if (tag.closing) {
            continue;
        } else if (tag.name == "source" && inVideo) {
            marks.add(VideoElement, html::decodeAttribute(tag.attribute("src")));
            if (const download::streams::Quality q = sourceQuality(tag); q.height > 0 && marks.sources.size() < MaxCandidates)
                marks.sources.append({html::decodeAttribute(tag.attribute("src")), q});
        } else if (tag.name == "a" && marks.links.size() < MaxCandidates) {
            const QString href = html::decodeAttribute(tag.attribute("href"));
            if (const download::streams::Quality q = linkQuality(tag, href); q.height > 0)
                marks.links.append({href, q});
        } else if (tag.name == "meta") {
            addMeta(tag, marks);
        } else if (tag.name == "script") {
            addJsonLd(tag, marks);
        } else if (tag.name == "title" && marks.title.isEmpty()) {
            marks.title = titleText(tag.rawText);
        } else if (tag.name == "base" && !marks.haveBase && tag.has("href")) {
            marks.haveBase = true;
            marks.baseHref = html::decodeAttribute(tag.attribute("href"));
        }
    }
    takeSizedLinks(marks);
    std::stable_sort(marks.candidates.begin(), marks.candidates.end(),
                     [](const Candidate &a, const Candidate &b) { return a.rank < b.rank; });
    return marks;
}

// As a browser reads an address attribute: blanks around it dropped, line
// breaks and tabs inside it ignored.
QUrl addressOf(const QString &written)
{
    return QUrl(pastedAddress(written), QUrl::TolerantMode);
}

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
           && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// The <source>s that tell their size, when there are several: the files
// of one video in different sizes. Only files the page reading takes.
QList<PageSource> pageSources(const PageMarks &marks, const QUrl &base, const QStringList &files)
{
    QList<PageSource> sources;
    for (const SourceMark &mark : marks.sources) {
        QUrl url = base.resolved(addressOf(mark.address));
        url.setFragment(QString());
        const QString address = url.toString(QUrl::FullyEncoded);
        const bool seen = std::any_of(sources.cbegin(), sources.cend(),
                                      [&address](const PageSource &s) { return s.fileUrl == address; });
        if (files.contains(address) && !seen)
            sources.append({address, mark.quality});
    }
    if (sources.size() < 2)
        sources.clear();
    return sources;
}

} // namespace

PageVideos readPageVideos(QByteArrayView page, const QUrl &pageAddress)
{
    const PageMarks marks = readMarks(page);
    QUrl base = pageAddress;
    if (marks.haveBase)
        base = pageAddress.resolved(addressOf(marks.baseHref));
    PageVideos found;
    found.title = marks.ogTitle.isEmpty() ? marks.title : marks.ogTitle;
    found.description = marks.ogDescription.isEmpty() ? marks.description : marks.ogDescription;
    const QString image = marks.ogSecureImage.isEmpty() ? marks.ogImage : marks.ogSecureImage;
    if (const QUrl cover = base.resolved(addressOf(image)); !image.isEmpty() && isWebAddress(cover))
        found.cover = cover.toString(QUrl::FullyEncoded);
    for (const Candidate &c : marks.candidates) {
        QUrl url = base.resolved(addressOf(c.address));
        url.setFragment(QString());
        const bool streamed = direct::isStreamedAddress(url);
        if (streamed && !isWebAddress(url)) {
            found.unsaveable = true;
            continue;
        }
        if (!isWebAddress(url))
            continue;
        QStringList &into = streamed ? found.streams : found.files;
        const QString address = url.toString(QUrl::FullyEncoded);
        if (!into.contains(address))
            into.append(address);
    }
    found.sources = pageSources(marks, base, found.files);
    return found;
}

QStringList pageVideoAddresses(QByteArrayView page, const QUrl &pageAddress, bool *streamed)
{
    const PageVideos found = readPageVideos(page, pageAddress);
    if (streamed)
        *streamed = found.unsaveable || !found.streams.isEmpty();
    return found.files;
}

PageVideo readPageVideo(QByteArrayView page, const QUrl &pageAddress)
{
    bool streamed = false;
    const QStringList files = pageVideoAddresses(page, pageAddress, &streamed);
    if (!files.isEmpty())
        return {PageFinding::File, files.first()};
    return {streamed ? PageFinding::Streamed : PageFinding::Nothing, QString()};
}

} // namespace vidrona::resolve
