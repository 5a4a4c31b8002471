#include "samples.h"
#include "sitekit.h"
#include <QUrl>

namespace testweb {

const QList<SampleVideo> &sampleVideos()
{
    static const QList<SampleVideo> samples = {
        {"Metacafe", "http://www.metacafe.com/watch/1285389/subaru_tv_spot/",
         "http://files.metacafe.com/items/1285389/subaru_tv_spot.flv"},
        {"Videkta", "http://www.videkta.ge/?video_id=147629", "http://www.videkta.ge/flv/15/147629.flv"},
        {"Tvali", "http://tvali.ge/index.php?action=watch&v=6181", "http://tvali.ge/files/6181.flv"},
        {"AllVideos", "http://allvideos.ge/video.php?uid=LNNQPVMSP",
         "http://allvideos.ge/LNNQPVMSP/200811/videos/lnnqpvmsp_subaru.flv"},
        {"Break", "http://www.break.com/index/big-wheel-drifting.html",
         "http://media1.break.com/dnet/media/2008/5/big-wheel-drifting.flv"},
        {"DailyMotion", "http://www.dailymotion.com/video/xrdvl_subaru-wrx_sport",
         "http://proxy-12.dailymotion.com/get/14/320x240/flv/xrdvl.flv?key=xrdvl7f3a"},
        {"Google Video", "http://video.google.com/videoplay?docid=-3640530513745741819&q=subaru&ei=1iGKS",
         "http://vp.video.google.com/videodownload?docid=-3640530513745741819&amp;format=flv"},
    };
    return samples;
}

const SampleVideo &sampleVideo(const QString &site)
{
    for (const SampleVideo &s : sampleVideos())
        if (s.site == site)
            return s;
    static const SampleVideo none;
    return none;
}

QByteArray sampleFileBytes(const QString &fileUrl)
{
    const QUrl url(fileUrl);
    return kit::videoBytes(url.host().toLatin1() + url.path(QUrl::FullyEncoded).toLatin1());
}

} // namespace testweb
