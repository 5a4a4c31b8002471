#pragma once
#include <QObject>
#include <QString>
#include <QThread>

class QSaveFile;

namespace vidrona {

// Writes one file at a time on a thread of its own, so that a slow disk or
// the final flush to disk of a large file never holds up the window. The
// file replaces its target only on commit (QSaveFile); a discarded or
// failed file leaves nothing behind. Used from one thread (its owner's).
class FileWriter : public QObject
{
    Q_OBJECT
public:
    explicit FileWriter(QObject *parent = nullptr);
    ~FileWriter() override; // discards an open file

    // Starts a new file (the previous one must be committed or discarded).
    bool open(const QString &path, QString *error);
    bool isOpen() const { return m_file != nullptr; }
    // Hands bytes over; they count as pending until written.
    void write(const QByteArray &bytes);
    qint64 pending() const { return m_pending; }
    // Flushes, syncs and puts the file in place; committed() tells.
    void commit();
    void discard();

signals:
    void drained(); // some pending bytes were written
    void failed(const QString &error); // a write failed; the file is useless
    void committed(bool ok, const QString &error);

private:
    void post(std::function<void()> work);
    void written(quint64 generation, qint64 bytes, const QString &error);

    QThread m_thread;
    QObject *m_worker; // lives in m_thread; the jobs run in its context
    QSaveFile *m_file = nullptr; // owned by the worker side once open
    quint64 m_generation = 0;
    qint64 m_pending = 0;
};

} // namespace vidrona
