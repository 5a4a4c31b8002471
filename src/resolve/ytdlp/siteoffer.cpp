#include "siteoffer.h"
#include "download/filenames.h"
#include "download/sitevideo/sitesubtitles.h"
#include <algorithm>

namespace vidrona::resolve::ytdlp {

using download::fileNameFrom;

namespace {

// Only what Vidrona can fetch is offered: a line that would fail at once
// is no choice.
bool fetchable(const download::sitevideo::Format &f)
{
    return !f.hasDrm && !f.url.isEmpty() && download::sitevideo::isFetchable(f.protocol);
}

// Pictures first, the tallest and then the richest first; then the sounds
// alone, the richest first.
bool listedBefore(const download::streams::Quality &a, const download::streams::Quality &b)
{
    if (a.video != b.video)
        return a.video;
    if (a.height != b.height)
        return a.height > b.height;
    return a.bitrate > b.bitrate;
}

// One line per language: the track the fetch takes for it (a person's
// before a machine's) says which it is; forms Vidrona cannot read are left
// out, as saving them would only fail.
void addSubtitles(const QList<download::sitevideo::SubtitleFile> &files, Offer &offer)
{
    for (const download::subtitles::Offer &o : download::sitevideo::subtitleOffers(files)) {
        if (o.form == download::subtitles::Offer::Form::Unsupported || offer.subtitles.size() >= MaxLanguages
            || offer.subtitles.contains(o.language, Qt::CaseInsensitive))
            continue;
        QList<download::subtitles::Offer> same; // the one offerFor takes for the language
        for (const download::subtitles::Offer &other : download::sitevideo::subtitleOffers(files))
            if (other.language.compare(o.language, Qt::CaseInsensitive) == 0)
                same << other;
        offer.subtitles << o.language;
        offer.subtitleLabels << download::subtitles::offerLabel(same.value(download::subtitles::offerFor(same, o.language), o));
    }
}

QString nameFor(const download::sitevideo::Info &info, const QString &container)
{
    return fileNameFrom(info.title.isEmpty() ? info.id : info.title, container);
}

} // namespace

Offer siteOffer(const download::sitevideo::Info &info, const download::sitevideo::Choice &settled)
{
    Offer offer;
    const QList<download::streams::Quality> all = download::sitevideo::qualities(info);
    QList<int> order;
    for (int i = 0; i < info.formats.size(); ++i)
        if (fetchable(info.formats[i]))
            order << i;
    std::stable_sort(order.begin(), order.end(), [&all](int a, int b) { return listedBefore(all[a], all[b]); });
    bool soundAlone = false;
    for (const int i : order) {
        if (!settled.parts.isEmpty() && info.formats[i].id == settled.parts.first().id)
            offer.preferred = int(offer.qualities.size());
        offer.qualities << all[i];
        offer.formats << i;
        soundAlone = soundAlone || !all[i].video;
    }
    if (!soundAlone && !offer.qualities.isEmpty()) { // a whole video's sound, its picture dropped
        download::streams::Quality q;
        q.video = false;
        offer.qualities << q;
        offer.formats << -1;
    }
    addSubtitles(info.subtitles, offer);
    offer.name = nameFor(info, settled.container.isEmpty() ? QStringLiteral("mp4") : settled.container);
    offer.site = std::make_shared<const download::sitevideo::Info>(info);
    return offer;
}

std::optional<Found> pickedSiteRow(const Found &row, int index, bool mp3)
{
    const Offer &offer = row.offer;
    if (!offer.site || index < 0 || index >= offer.formats.size() || index >= offer.qualities.size())
        return std::nullopt;
    // The rule that takes this line is kept too: a page read again that no
    // longer offers the format chooses by it.
    const download::streams::QualityChoice rule = download::streams::choiceFor(offer.qualities, index);
    download::sitevideo::Wish wish = download::sitevideo::Wish::of(rule);
    wish.picked = offer.formats[index];
    const download::sitevideo::Choice choice = download::sitevideo::choose(*offer.site, wish);
    if (!choice.ok())
        return std::nullopt;
    Found picked = row;
    picked.siteVideo = download::sitevideo::choiceText(choice);
    picked.fileName = download::streams::nameWithChoice(nameFor(*offer.site, choice.container), rule, mp3);
    return picked;
}

} // namespace vidrona::resolve::ytdlp
