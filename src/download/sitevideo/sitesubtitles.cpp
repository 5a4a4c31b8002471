#include "sitesubtitles.h"
#include "download/subtitles/besidefile.h"
#include "download/subtitles/subtitlefetch.h"

namespace vidrona::download::sitevideo {

namespace {

// The language's WebVTT file, else its first; none when it lists none.
std::optional<SubtitleFile> fileOf(const QString &language, const QJsonArray &forms, bool automatic)
{
    std::optional<SubtitleFile> found;
    for (const QJsonValue &v : forms) {
        const QJsonObject f = v.toObject();
        SubtitleFile file{language, f.value(QLatin1String("name")).toString(), f.value(QLatin1String("url")).toString(),
                          f.value(QLatin1String("ext")).toString(), automatic};
        if (file.url.isEmpty())
            continue;
        if (file.ext == QLatin1String("vtt"))
            return file;
        if (!found)
            found = file;
    }
    return found;
}

void readField(const QJsonObject &field, bool automatic, QList<SubtitleFile> &out)
{
    for (auto it = field.begin(); it != field.end() && out.size() < MaxSubtitleFiles; ++it)
        if (it.key() != QLatin1String("live_chat"))
            if (const std::optional<SubtitleFile> file = fileOf(it.key(), it.value().toArray(), automatic))
                out << *file;
}

} // namespace

QList<SubtitleFile> readSubtitleFiles(const QJsonObject &info)
{
    QList<SubtitleFile> files;
    readField(info.value(QLatin1String("subtitles")).toObject(), false, files);
    readField(info.value(QLatin1String("automatic_captions")).toObject(), true, files);
    return files;
}

QJsonArray subtitleFilesJson(const QList<SubtitleFile> &files)
{
    QJsonArray array;
    for (const SubtitleFile &f : files)
        array.append(QJsonObject{{"language", f.language}, {"name", f.name}, {"url", f.url}, {"ext", f.ext},
                                 {"automatic", f.automatic}});
    return array;
}

QList<SubtitleFile> subtitleFilesFromJson(const QJsonArray &array)
{
    QList<SubtitleFile> files;
    for (const QJsonValue &v : array) {
        const QJsonObject o = v.toObject();
        if (files.size() < MaxSubtitleFiles)
            files << SubtitleFile{o.value(QLatin1String("language")).toString(), o.value(QLatin1String("name")).toString(),
                                  o.value(QLatin1String("url")).toString(), o.value(QLatin1String("ext")).toString(),
                                  o.value(QLatin1String("automatic")).toBool()};
    }
    return files;
}

QList<subtitles::Offer> subtitleOffers(const QList<SubtitleFile> &files)
{
    QList<subtitles::Offer> offers;
    for (const SubtitleFile &f : files) {
        subtitles::Offer o{f.language, f.name, f.automatic, subtitles::Offer::Form::WebVtt, QUrl(f.url), {}, {}};
        if (f.ext != QLatin1String("vtt")) {
            o.form = subtitles::Offer::Form::Unsupported;
            o.unsupported = f.ext.isEmpty() ? QStringLiteral("of an unknown form") : f.ext.toUpper().left(16);
        }
        offers << o;
    }
    return offers;
}

subtitles::Haul fetchSiteSubtitles(const QList<SubtitleFile> &files, const FetchJob &job, FetchShared &shared)
{
    const QStringList languages = subtitles::languageList(job.subtitles.join(QLatin1Char(',')));
    if (languages.isEmpty())
        return {};
    net::HttpClient client;
    client.setRowExtras(job.requestFields, job.cookieFile);
    return subtitles::fetchSubtitles(client, subtitleOffers(files), languages, false, job.stallTimeoutMs,
                                     shared.cancel.flag());
}

bool subtitlesJoinedIn(const Choice &choice, const FetchJob &job)
{
    return job.subtitlesInside && choice.parts.size() == 2;
}

void saveSiteSubtitles(const QList<SubtitleFile> &files, const FetchJob &job, FetchShared &shared,
                       FetchResult *result)
{
    if (!result->ok() || job.subtitles.isEmpty() || result->placedAt.isEmpty())
        return;
    subtitles::Haul haul = fetchSiteSubtitles(files, job, shared);
    subtitles::saveBeside(result->placedAt, haul.tracks, 0, &haul.missed);
    result->subtitlesMissed = haul.missed;
}

} // namespace vidrona::download::sitevideo
