#include "pageparse.h"
#include "resolve/hosts.h"
#include "resolve/site.h"
#include <QRegularExpression>

namespace vidrona::resolve::youtube {

QString JamesBond(const QString &text, const QString &pattern)
{
    const QRegularExpression re(pattern);
    if (!re.isValid())
        return QString();
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

QString FindVideoName(const QString &strResponse)
{
    return JamesBond(strResponse, TitlePattern);
}

QString GetVideoId(const QString &strResponse)
{
    const QString id = JamesBond(strResponse, VideoIdPattern);
    if (id.isEmpty())
        return QString();
    const QString t = JamesBond(strResponse, TokenPattern);
    return QStringLiteral("video_id=") + id + QStringLiteral("&t=") + t;
}

QString qualitySuffix(Quality quality)
{
    switch (quality) {
    case Quality::HighMp4: return QStringLiteral("&fmt=18");
    case Quality::HighFlv: return QStringLiteral("&fmt=6");
    case Quality::Low: break;
    }
    return QString();
}

QString fileExtension(Quality quality)
{
    return quality == Quality::HighMp4 ? QStringLiteral(".mp4") : QStringLiteral(".flv");
}

QString videoFileUrl(const QString &query, Quality quality)
{
    return QStringLiteral("http://") + hosts::YouTube + QStringLiteral("/get_video?") + query
           + qualitySuffix(quality);
}

PageLookup lookUpPage(const QByteArray &page, Quality quality)
{
    // One character per byte, so positions and classes see the raw bytes.
    const QString text = QString::fromLatin1(page);
    PageLookup r;
    r.title = FindVideoName(text);
    if (r.title.isEmpty()) {
        r.miss = PageLookup::Title;
        return r;
    }
    const QString query = GetVideoId(text);
    if (query.isEmpty()) {
        r.miss = PageLookup::VideoId;
        return r;
    }
    r.fileUrl = videoFileUrl(query, quality);
    r.ok = true;
    return r;
}

bool isYouTubeAddress(const QString &text)
{
    // The very key and prefix that "Add Video" compares.
    return siteKey(text) == youTubeSite().prefix();
}

} // namespace vidrona::resolve::youtube
