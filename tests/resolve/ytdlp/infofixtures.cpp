#include "infofixtures.h"
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace vidrona::test::ytinfo {

namespace {

QByteArray json(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QJsonObject video(const QString &id, const QString &title, const QString &extractor, const QJsonArray &formats)
{
    return {{"id", id}, {"title", title}, {"extractor", extractor}, {"extractor_key", extractor},
            {"webpage_url", "http://www.rivertube.test/watch?v=" + id}, {"formats", formats}};
}

QJsonObject headers()
{
    return {{"User-Agent", "Mozilla/5.0 (X11; Linux x86_64) Vidrona-Test"}, {"Referer", "http://www.rivertube.test/"},
            {"X-Site-Token", "t0k3n"}};
}

} // namespace

QByteArray youTubeLike(const QString &mediaBase, qint64 videoSize, qint64 audioSize, qint64 chunkSize, qint64 expire)
{
    const QString tail = QStringLiteral("?expire=%1&sig=abc").arg(expire);
    const QJsonObject chunk{{"http_chunk_size", double(chunkSize)}};
    QJsonArray formats;
    formats.append(QJsonObject{{"format_id", "18"}, {"url", mediaBase + "/muxed.mp4" + tail}, {"protocol", "https"},
                               {"ext", "mp4"}, {"vcodec", "avc1.42001E"}, {"acodec", "mp4a.40.2"}, {"height", 360},
                               {"tbr", 500}, {"http_headers", headers()}});
    formats.append(QJsonObject{{"format_id", "140"}, {"url", mediaBase + "/audio.m4a" + tail}, {"protocol", "https"},
                               {"ext", "m4a"}, {"vcodec", "none"}, {"acodec", "mp4a.40.2"}, {"tbr", 128},
                               {"filesize", double(audioSize)}, {"downloader_options", chunk}, {"http_headers", headers()}});
    formats.append(QJsonObject{{"format_id", "251"}, {"url", mediaBase + "/audio.webm" + tail}, {"protocol", "https"},
                               {"ext", "webm"}, {"vcodec", "none"}, {"acodec", "opus"}, {"tbr", 160},
                               {"http_headers", headers()}});
    formats.append(QJsonObject{{"format_id", "137"}, {"url", mediaBase + "/video.mp4" + tail}, {"protocol", "https"},
                               {"ext", "mp4"}, {"vcodec", "avc1.640028"}, {"acodec", "none"}, {"height", 1080},
                               {"tbr", 4000}, {"filesize", double(videoSize)}, {"downloader_options", chunk},
                               {"http_headers", headers()}});
    formats.append(QJsonObject{{"format_id", "248"}, {"url", mediaBase + "/video.webm" + tail}, {"protocol", "https"},
                               {"ext", "webm"}, {"vcodec", "vp9"}, {"acodec", "none"}, {"height", 1080},
                               {"tbr", 4200}, {"http_headers", headers()}});
    return json(video("yt1", "River at night: a film", "youtube", formats));
}

QByteArray vimeoLike(const QString &mediaBase)
{
    QJsonArray formats;
    formats.append(QJsonObject{{"format_id", "hls-audio"}, {"url", mediaBase + "/audio.m3u8"}, {"protocol", "m3u8_native"},
                               {"ext", "mp4"}, {"vcodec", "none"}, {"acodec", "mp4a.40.2"}, {"tbr", 128}});
    formats.append(QJsonObject{{"format_id", "hls-720p"}, {"url", mediaBase + "/video.m3u8"}, {"protocol", "m3u8_native"},
                               {"ext", "mp4"}, {"vcodec", "avc1.64001F"}, {"acodec", "none"}, {"height", 720}, {"tbr", 2000}});
    return json(video("vm1", "Harbour, by boat", "vimeo", formats));
}

QByteArray dashFragments(const QString &mediaBase)
{
    QJsonArray fragments;
    fragments.append(QJsonObject{{"path", "init.mp4"}});
    for (int i = 1; i <= 3; ++i)
        fragments.append(QJsonObject{{"path", QStringLiteral("seg-%1.m4s").arg(i)}, {"duration", 2.0}});
    QJsonArray formats;
    formats.append(QJsonObject{{"format_id", "dash-v"}, {"url", mediaBase + "/manifest.mpd"}, {"protocol", "http_dash_segments"},
                               {"fragment_base_url", mediaBase + "/dash/"}, {"fragments", fragments}, {"ext", "mp4"},
                               {"vcodec", "avc1.4d401f"}, {"acodec", "mp4a.40.2"}, {"height", 480}, {"tbr", 900}});
    return json(video("da1", "Fragments of a walk", "dashsite", formats));
}

QByteArray playlistOfThree(const QString &pageBase)
{
    QJsonArray entries;
    for (int i = 1; i <= 3; ++i)
        entries.append(QJsonObject{{"_type", "url"}, {"id", QString::number(i)}, {"url", pageBase + "/watch?v=" + QString::number(i)},
                                   {"title", QStringLiteral("Part %1").arg(i)}, {"ie_key", "Youtube"}});
    return json({{"_type", "playlist"}, {"id", "pl1"}, {"title", "Three walks"}, {"extractor", "youtube:tab"},
                 {"webpage_url", pageBase + "/playlist?list=pl1"}, {"entries", entries}});
}

QByteArray drmOnly(const QString &mediaBase)
{
    QJsonArray formats;
    formats.append(QJsonObject{{"format_id", "dash-drm"}, {"url", mediaBase + "/locked.mpd"}, {"protocol", "http_dash_segments"},
                               {"ext", "mp4"}, {"vcodec", "avc1.4d401f"}, {"acodec", "mp4a.40.2"}, {"has_drm", true}});
    return json(video("drm1", "A locked film", "lockedsite", formats));
}

QByteArray live(const QString &mediaBase)
{
    QJsonObject o = video("live1", "Live from the square", "livesite",
                          QJsonArray{QJsonObject{{"format_id", "hls"}, {"url", mediaBase + "/live.m3u8"},
                                                 {"protocol", "m3u8_native"}, {"ext", "mp4"}}});
    o.insert("is_live", true);
    o.insert("live_status", "is_live");
    return json(o);
}

QByteArray rtmpOnly(const QString &mediaBase)
{
    return json(video("rt1", "Old stream", "oldsite",
                      QJsonArray{QJsonObject{{"format_id", "rtmp"}, {"url", "rtmp://" + QUrl(mediaBase).host() + "/live/x"},
                                             {"protocol", "rtmp"}, {"ext", "flv"}}}));
}

QByteArray withSubtitles(const QByteArray &fixture, const QString &subtitleBase)
{
    QJsonObject o = QJsonDocument::fromJson(fixture).object();
    const auto file = [&](const char *ext, const QString &name) {
        return QJsonObject{{"ext", ext}, {"url", subtitleBase + "/" + name}, {"name", "a name"}};
    };
    o.insert("subtitles", QJsonObject{{"en", QJsonArray{file("srv3", "en.srv3"), file("vtt", "en.vtt")}},
                                      {"live_chat", QJsonArray{file("json", "chat.json")}}});
    o.insert("automatic_captions", QJsonObject{{"en", QJsonArray{file("vtt", "en-auto.vtt")}},
                                               {"de", QJsonArray{file("vtt", "de-auto.vtt")}},
                                               {"fr", QJsonArray{file("json3", "fr.json3")}}});
    return json(o);
}

QString writeWrapper(const QString &folder, const QString &fixturePath, bool sleepFirst)
{
    const QString path = QDir(folder).filePath("yt-dlp-wrapper");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    const QString log = QDir(folder).filePath("args.log");
    QByteArray script = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + log.toUtf8() + "'\n";
    if (sleepFirst)
        script += "sleep 300 &\nwait\n";
    script += "exec /usr/bin/yt-dlp --load-info-json '" + fixturePath.toUtf8() + "' \"$@\"\n";
    file.write(script);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace vidrona::test::ytinfo
