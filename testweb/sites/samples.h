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

// The bytes the simulated web serves for a file address.
QByteArray sampleFileBytes(const QString &fileUrl);

} // namespace testweb
