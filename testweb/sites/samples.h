#pragma once
#include <QList>
#include <QString>

namespace testweb {

// One video of each site that the simulated web serves: the page address a
// user pastes and the file address that page leads to (at the low quality).
struct SampleVideo {
    QString site;
    QString page;
    QString file;
};

const QList<SampleVideo> &sampleVideos();
const SampleVideo &sampleVideo(const QString &site);

// One video of today's web in each shape the program reads: the address a
// user pastes, the file address it leads to, the name the file gets.
struct TodayVideo {
    QString shape;
    QString address;
    QString file;
    QString name;
};

const QList<TodayVideo> &todayVideos();
// A page whose only video is a live playlist, and a page with no video.
QString streamedPage();
QString pageWithoutVideo();

// The bytes the simulated web serves for a file address (the query aside).
QByteArray sampleFileBytes(const QString &fileUrl);

} // namespace testweb
