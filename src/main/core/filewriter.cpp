#include "filewriter.h"
#include <QSaveFile>
#include <functional>

namespace vidrona {

FileWriter::FileWriter(QObject *parent) : QObject(parent), m_worker(new QObject)
{
    m_thread.setObjectName(QStringLiteral("FileWriter"));
    m_worker->moveToThread(&m_thread);
    m_thread.start();
}

FileWriter::~FileWriter()
{
    discard();
    // Waits until every job handed over has run, so the temporary file is
    // gone before the thread stops.
    QMetaObject::invokeMethod(m_worker, [] {}, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

void FileWriter::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_worker, std::move(work), Qt::QueuedConnection);
}

bool FileWriter::open(const QString &path, QString *error)
{
    discard();
    auto *file = new QSaveFile(path);
    if (!file->open(QIODevice::WriteOnly)) {
        if (error)
            *error = file->errorString();
        delete file;
        return false;
    }
    file->moveToThread(&m_thread);
    m_file = file;
    ++m_generation;
    m_pending = 0;
    return true;
}

void FileWriter::write(const QByteArray &bytes)
{
    if (!m_file)
        return;
    m_pending += bytes.size();
    QSaveFile *file = m_file;
    const quint64 generation = m_generation;
    post([this, file, bytes, generation] {
        const bool ok = file->error() == QFileDevice::NoError && file->write(bytes) == bytes.size();
        const QString error = ok ? QString() : file->errorString();
        QMetaObject::invokeMethod(this, [=, this] { written(generation, bytes.size(), error); },
                                  Qt::QueuedConnection);
    });
}

void FileWriter::written(quint64 generation, qint64 bytes, const QString &error)
{
    if (generation != m_generation || !m_file)
        return; // a file given up meanwhile
    m_pending -= bytes;
    if (!error.isEmpty())
        emit failed(error);
    else
        emit drained();
}

void FileWriter::commit()
{
    QSaveFile *file = m_file;
    if (!file)
        return;
    m_file = nullptr;
    const quint64 generation = ++m_generation;
    post([this, file, generation] {
        const bool ok = file->commit();
        const QString error = ok ? QString() : file->errorString();
        delete file;
        QMetaObject::invokeMethod(this, [=, this] {
            if (generation == m_generation)
                emit committed(ok, error);
        }, Qt::QueuedConnection);
    });
}

void FileWriter::discard()
{
    QSaveFile *file = m_file;
    if (!file)
        return;
    m_file = nullptr;
    ++m_generation;
    m_pending = 0;
    post([file] {
        file->cancelWriting();
        delete file; // never committed: the temporary file is removed
    });
}

} // namespace vidrona
