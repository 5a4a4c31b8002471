#include "downloadservice.h"
#include "besidefetch.h"
#include "download/entrystatus.h"
#include "download/filefetch.h"
#include "download/liststore.h"
#include "download/queuerunner.h"
#include "download/filenames.h"
#include "download/sitevideo/sitefetch.h"
#include "download/sound/soundfile.h"
#include "download/streams/qualitychoice.h"
#include "download/streams/streamaddress.h"
#include "net/speedlimit.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace vidrona::download::service {

using desktop::RowExtras;

DownloadService::DownloadService(const QString &listFolder, const QString &downloadFolder, QObject *parent)
    : QObject(parent)
    , m_store(new ListStore(listFolder, this, downloadFolder))
    , m_queue(new QueueRunner(m_store->list(), m_store->downloadFolder(), this))
    , m_extras(listFolder)
    , m_tags(listFolder)
    , m_limit(std::make_shared<net::SpeedLimit>())
{
    m_queue->setSpeedLimit(m_limit);
    m_queue->setExtrasOf([this](const DownloadEntry &e, QList<QByteArray> *fields, QString *cookieFile) {
        *fields = m_extras.extrasOf(e.fileUrl).fields;
        *cookieFile = m_extras.cookieFileOf(e.fileUrl);
    });
    m_queue->setSubtitlesOf([this](const DownloadEntry &e) { return m_extras.extrasOf(e.fileUrl).subtitles; });
    m_queue->setTagsOf([this](const DownloadEntry &e) { return m_settings.tags ? m_tags.tagsOf(e.fileUrl) : media::Tags(); });
    // A row's extras and tags leave with it, however it goes.
    connect(&m_store->list(), &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) {
        for (int row = first; row <= last; ++row) {
            m_extras.forget(list().at(row).fileUrl);
            m_tags.forget(list().at(row).fileUrl);
        }
    });
    m_settings.folder = m_store->downloadFolder();
    m_queue->setSaveList([this] { m_store->SaveList(); });
    m_queue->setReservedNames(reservedNames(m_settings.folder));
    connect(m_queue, &QueueRunner::fetchStarted, this, &DownloadService::rowStarted);
    connect(m_queue, &QueueRunner::rowProgressed, this, &DownloadService::rowProgressed);
    connect(m_queue, &QueueRunner::rowRetrying, this, &DownloadService::rowRetrying);
    connect(m_queue, &QueueRunner::fetchEnded, this, &DownloadService::rowEnded);
    connect(m_queue, &QueueRunner::subtitlesMissed, this, &DownloadService::rowSubtitlesMissed);
    connect(m_queue, &QueueRunner::progressed, this, &DownloadService::progressed);
    connect(m_queue, &QueueRunner::runEnded, this, &DownloadService::runEnded);
    connect(m_store, &ListStore::changed, this,
            [this] { emit countsChanged(list().completedCount(), list().count()); });
    connect(m_store, &ListStore::downloadFolderChanged, this, &DownloadService::folderChanged);
    connect(m_store, &ListStore::notice, this, &DownloadService::listNotice);
}

DownloadService::~DownloadService() = default;

DownloadList &DownloadService::list()
{
    return m_store->list();
}

const DownloadList &DownloadService::list() const
{
    return m_store->list();
}

void DownloadService::load()
{
    m_store->LoadList();
}

bool DownloadService::add(const QString &fileUrl, const QString &fileName)
{
    // A stream's row is named for the quality it is added with, which its
    // fetches then take from the name (the list file keeps no more).
    const streams::QualityChoice wanted = streams::QualityChoice::fromKey(m_settings.quality);
    const bool mp3 = m_settings.mp3Quality >= 0;
    if (!fileName.isEmpty() && streams::isStreamAddress(QUrl(fileUrl)))
        return m_store->Download(fileUrl, streams::nameWithChoice(fileName, wanted, mp3));
    // A single video file comes in one quality only, but its sound alone
    // can be kept: the name asks for it, as a stream's does.
    const QString name = fileName.isEmpty() ? listedNameOf(fileUrl) : fileName;
    if (wanted.sound && sound::isSingleMp4(QUrl(fileUrl)) && streams::choiceInName(name).isBest())
        return m_store->Download(fileUrl, streams::nameWithChoice(name, wanted, mp3));
    return fileName.isEmpty() ? m_store->Download(fileUrl) : m_store->Download(fileUrl, fileName);
}

bool DownloadService::add(const QString &fileUrl, const QString &fileName, const RowExtras &extras)
{
    if (!add(fileUrl, fileName))
        return false;
    if (!extras.isEmpty())
        m_extras.keep(fileUrl, extras); // unkept, the row still fetches as a pasted one would
    return true;
}

bool DownloadService::keepTags(const QString &fileUrl, const media::Tags &tags)
{
    return m_tags.keep(fileUrl, tags);
}

void DownloadService::setRowReader(std::shared_ptr<sitevideo::RowReader> reader)
{
    m_queue->setRowReader(std::move(reader));
}

// The list keeps only the page and the name; the formats go into a record
// beside the file.
bool DownloadService::addSiteVideo(const QString &pageUrl, const QString &fileName, const QByteArray &choiceText)
{
    if (!add(pageUrl, fileName))
        return false;
    for (const DownloadEntry &e : list().entries())
        if (e.fileUrl == pageUrl)
            sitevideo::keepChoice(QDir(m_settings.folder).filePath(e.fileName), pageUrl, choiceText);
    return true;
}

void DownloadService::start(bool withLeftOver)
{
    if (withLeftOver)
        m_queue->resumeLeftOver();
    m_queue->RunQueue();
}

bool DownloadService::cancel(quint64 id)
{
    return m_queue->cancelRow(id);
}

// Neither touches a downloaded file or a running fetch; the queue drops the
// kept bytes of the rows taken away.
void DownloadService::remove(quint64 id)
{
    DownloadList &rows = list();
    const int row = rows.rowOfId(id);
    if (row >= 0)
        rows.removeAt(row);
    m_store->SaveList();
}

void DownloadService::clean()
{
    list().removeIf([](const DownloadEntry &e) { return status::isFinished(e.status); });
    m_store->SaveList();
}

void DownloadService::stop()
{
    m_queue->stop();
}

bool DownloadService::isRunning() const
{
    return m_queue->isRunning();
}

QList<quint64> DownloadService::runningIds() const
{
    return m_queue->runningIds();
}

bool DownloadService::fetching() const
{
    return m_queue->fetching();
}

void DownloadService::prepareBeside(FetchJob &job) const
{
    job.connections = m_settings.connections;
    job.speedLimit = m_limit;
    const QString folder = QFileInfo(job.finalPath).path();
    for (const QString &name : reservedNames(folder))
        if (!job.takenNames.contains(name, Qt::CaseInsensitive))
            job.takenNames << name;
}

void DownloadService::prepareBeside(BesideFetch &fetch) const
{
    fetch.setRetryDelays(m_queue->retryDelays());
}

// For the next fetches; running ones go on as they started, but for the
// speed limit, which holds for every byte from now on.
void DownloadService::apply(const DownloadSettings &settings)
{
    if (!settings.folder.isEmpty()) {
        m_settings.folder = settings.folder;
        m_store->setDownloadFolder(settings.folder);
        m_queue->setFolder(settings.folder);
        m_queue->setReservedNames(reservedNames(settings.folder));
    }
    m_queue->setSimultaneous(settings.simultaneous);
    m_settings.simultaneous = m_queue->simultaneous();
    m_settings.connections = settings.connections;
    m_queue->setConnections(settings.connections);
    // "ask" is the window's to act on; a row added without asking takes the best.
    const bool ask = settings.quality.trimmed().toLower() == "ask";
    m_settings.quality = ask ? QByteArray("ask") : streams::QualityChoice::fromKey(settings.quality).key();
    m_settings.mp3Quality = settings.mp3Quality < 0 ? -1 : qMin(settings.mp3Quality, 4);
    if (m_settings.mp3Quality >= 0)
        m_queue->setMp3Quality(m_settings.mp3Quality);
    m_settings.tags = settings.tags;
    m_settings.subtitles = settings.subtitles;
    m_settings.subtitlesInside = settings.subtitlesInside;
    m_queue->setSubtitles(settings.subtitles, settings.subtitlesInside);
    m_settings.speedLimit = qMax<qint64>(0, settings.speedLimit);
    m_limit->setRate(m_settings.speedLimit);
}

DownloadSettings DownloadService::settings() const
{
    return m_settings;
}

QString DownloadService::folder() const
{
    return m_settings.folder;
}

void DownloadService::setRetryDelays(const QList<int> &ms)
{
    m_queue->setRetryDelays(ms);
}

void DownloadService::setStallTimeout(int ms)
{
    m_queue->setStallTimeout(ms);
}

// Names a fetch never writes in folder: the list file, and the program
// itself when it lives there.
QStringList DownloadService::reservedNames(const QString &folder) const
{
    QStringList reserved{QStringLiteral("List")};
    const QFileInfo program(QCoreApplication::applicationFilePath());
    if (QDir(program.path()) == QDir(folder))
        reserved << program.fileName();
    return reserved;
}

} // namespace vidrona::download::service
