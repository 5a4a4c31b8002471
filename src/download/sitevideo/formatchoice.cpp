#include "formats.h"
#include <QStringList>
#include <algorithm>

// Which of a video's formats are fetched: by the user's choice, through the
// same rule every source of several qualities uses.
namespace vidrona::download::sitevideo {

namespace {

enum class Side { Picture, Sound, Both };

// A format that names "none" for one side carries only the other; one
// that names neither (a generic playlist) is taken as a whole video.
Side sideOf(const Format &f)
{
    if (f.acodec == QLatin1String("none") && f.vcodec != QLatin1String("none"))
        return Side::Picture;
    if (f.vcodec == QLatin1String("none") && f.acodec != QLatin1String("none"))
        return Side::Sound;
    return Side::Both;
}

streams::Quality qualityOf(const Format &f, double seconds)
{
    streams::Quality q;
    q.video = sideOf(f) != Side::Sound;
    q.sound = sideOf(f) != Side::Picture;
    q.width = f.width;
    q.height = f.height;
    q.frameRate = f.fps;
    QStringList codecs;
    for (const QString &c : {f.vcodec, f.acodec})
        if (!c.isEmpty() && c != QLatin1String("none"))
            codecs << c;
    q.codecs = codecs.join(QLatin1Char(',')).toLatin1();
    q.bitrate = qint64(f.tbr * 1000);
    q.bytes = f.sizeExact ? f.filesize : -1;
    q.seconds = seconds;
    q.language = f.language;
    return q;
}

// The formats of one side (that fit MP4 when mp4 is set), as qualities,
// with where each lies in formats.
struct Candidates {
    QList<streams::Quality> qualities;
    QList<int> at;
};

Candidates candidates(const QList<Format> &formats, Side side, bool mp4)
{
    Candidates c;
    for (int i = 0; i < formats.size(); ++i) {
        const Format &f = formats[i];
        if (sideOf(f) != side)
            continue;
        if (mp4 && side != Side::Sound && !fitsMp4(f.vcodec, true))
            continue;
        if (mp4 && side != Side::Picture && !fitsMp4(f.acodec, false))
            continue;
        c.qualities.append(qualityOf(f, 0));
        c.at.append(i);
    }
    return c;
}

// The one rule, within one side's candidates; nullptr when there is none.
const Format *pick(const QList<Format> &formats, Side side, bool mp4, const streams::QualityChoice &choice)
{
    const Candidates c = candidates(formats, side, mp4);
    const int i = side == Side::Sound ? streams::chooseSound(c.qualities) : streams::chooseVideo(c.qualities, choice);
    return i >= 0 ? &formats[c.at[i]] : nullptr;
}

Choice made(const QList<Format> &parts, const QString &container)
{
    Choice c;
    c.parts = parts;
    c.container = container;
    return c;
}

Choice refused(net::Cause cause, const QString &detail = QString())
{
    Choice c;
    c.refusal = net::fail(net::Reason::NotTheVideo, cause, detail);
    return c;
}

QString wholeContainer(const Format &whole)
{
    return whole.ext == QLatin1String("mp4") || whole.protocol.startsWith(QLatin1String("m3u8")) ? QStringLiteral("mp4")
                                                                                                  : whole.ext;
}

// A picture with the best sound beside it, for MP4 when both fit.
Choice withSound(const Format &picture, const QList<Format> &usable)
{
    const bool mp4Picture = fitsMp4(picture.vcodec, true);
    const Format *sound = mp4Picture ? pick(usable, Side::Sound, true, {}) : nullptr;
    if (!sound)
        sound = pick(usable, Side::Sound, false, {});
    if (!sound)
        return made({picture}, picture.ext);
    return made({picture, *sound}, mp4Picture && fitsMp4(sound->acodec, false) ? "mp4" : "mkv");
}

// A pair, else a whole file, by the choice; strict: only one whose picture
// is within the height chosen, so that a small muxed file beats a pair too
// tall for the choice.
std::optional<Choice> pictureChoice(const QList<Format> &usable, const streams::QualityChoice &choice, bool strict)
{
    const auto within = [&](const Format *f) {
        return !strict || choice.maxHeight <= 0 || (f->height > 0 && f->height <= choice.maxHeight);
    };
    for (bool mp4 : {true, false}) {
        const Format *picture = pick(usable, Side::Picture, mp4, choice);
        const Format *sound = pick(usable, Side::Sound, mp4, choice);
        if (picture && sound && within(picture))
            return made({*picture, *sound}, mp4 ? "mp4" : "mkv");
    }
    if (const Format *whole = pick(usable, Side::Both, false, choice); whole && within(whole))
        return made({*whole}, wholeContainer(*whole));
    return std::nullopt;
}

Choice pickFrom(const QList<Format> &usable, const streams::QualityChoice &choice)
{
    if (choice.sound) {
        if (const Format *sound = pick(usable, Side::Sound, false, choice))
            return made({*sound}, sound->ext);
        // No sound alone: the smallest whole video, its picture dropped.
        if (const Format *whole = pick(usable, Side::Both, false, {1, false}))
            return made({*whole}, wholeContainer(*whole));
    }
    // Within the height first; else the smallest the rule gives.
    for (bool strict : {true, false})
        if (std::optional<Choice> c = pictureChoice(usable, choice, strict))
            return *c;
    if (const Format *picture = pick(usable, Side::Picture, false, choice))
        return made({*picture}, picture->ext);
    return refused(net::Cause::NoVideoFormat);
}

// The format the user picked from the list, when it can be fetched.
Choice pickedFrom(const Format &picked, const QList<Format> &usable)
{
    if (sideOf(picked) == Side::Picture)
        return withSound(picked, usable);
    return made({picked}, sideOf(picked) == Side::Sound ? picked.ext : wholeContainer(picked));
}

// The format the wish names, by its index or else by its id; none: by the rule.
const Format *pickedFormat(const Info &info, const Wish &wish)
{
    if (wish.picked >= 0)
        return wish.picked < info.formats.size() ? &info.formats[wish.picked] : nullptr;
    for (const Format &f : info.formats)
        if (!wish.pickedId.isEmpty() && f.id == wish.pickedId)
            return &f;
    return nullptr;
}

} // namespace

QList<streams::Quality> qualities(const Info &info)
{
    QList<streams::Quality> out;
    for (const Format &f : info.formats)
        out.append(qualityOf(f, info.duration));
    return out;
}

Choice choose(const Info &info, const Wish &wish)
{
    if (info.live)
        return refused(net::Cause::StreamLive);
    QList<Format> usable;
    QString unreadProtocol;
    bool drm = false;
    for (const Format &f : info.formats) {
        if (f.hasDrm)
            drm = true;
        else if (!isFetchable(f.protocol))
            unreadProtocol = f.protocol;
        else if (!f.url.isEmpty())
            usable.append(f);
    }
    if (usable.isEmpty() && drm)
        return refused(net::Cause::SiteDrm);
    if (usable.isEmpty() && !unreadProtocol.isEmpty())
        return refused(net::Cause::UnreadProtocol, unreadProtocol);
    const Format *picked = pickedFormat(info, wish);
    const bool taken = picked && usable.contains(*picked);
    Choice choice = taken ? pickedFrom(*picked, usable) : pickFrom(usable, wish.choice());
    if (choice.ok() && !wish.choice().isBest())
        choice.quality = wish.choice().key();
    if (choice.ok() && taken)
        choice.picked = picked->id;
    choice.subtitles = info.subtitles;
    return choice;
}

} // namespace vidrona::download::sitevideo
