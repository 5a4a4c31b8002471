#include "joinparts.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vidrona::download::streams {

namespace {

struct Part {
    QList<QList<JoinPiece>> inputs;
    JoinRuns runs;
};

// The runs of every input, one run at least each.
JoinRuns wholeRuns(const QList<QList<JoinPiece>> &inputs, const JoinRuns &runs)
{
    JoinRuns out;
    for (int i = 0; i < inputs.size(); ++i) {
        QList<JoinRun> r = runs.value(i);
        if (r.isEmpty() || r.first().first != 0)
            r.prepend(JoinRun{});
        out << r;
    }
    return out;
}

// part cut before run k of every input (false when an input has no run k):
// head keeps the runs before it, tail the ones from it on.
bool cut(const Part &part, int k, Part *head, Part *tail)
{
    const JoinRuns runs = wholeRuns(part.inputs, part.runs);
    *head = *tail = {};
    for (int i = 0; i < part.inputs.size(); ++i) {
        if (k <= 0 || k >= runs.at(i).size())
            return false;
        const int at = runs.at(i).at(k).first;
        head->inputs << part.inputs.at(i).first(at);
        head->runs << runs.at(i).first(k);
        tail->inputs << part.inputs.at(i).sliced(at);
        QList<JoinRun> rest = runs.at(i).sliced(k);
        for (JoinRun &r : rest)
            r.first -= at;
        tail->runs << rest;
    }
    return true;
}

} // namespace

QStringList joinInParts(const QList<QList<JoinPiece>> &inputs, const JoinRuns &runs, bool mayPart, const QString &outPath,
                        net::Step *error, const std::atomic<bool> *cancel, JoinFault *fault, const media::Tags &tags,
                        JoinExtras *extras)
{
    QStringList written;
    Part left{inputs, runs};
    QString path;
    while (written.size() < MaxJoinParts) {
        path = written.isEmpty() ? outPath : outPath + QLatin1Char('.') + QString::number(written.size() + 1);
        int stoppedAt = -1;
        JoinExtras *into = written.isEmpty() ? extras : nullptr;
        if (joinToMp4(left.inputs, path, error, cancel, fault, left.runs, &stoppedAt, tags, into))
            return written << path;
        Part head, tail;
        if (!mayPart || *fault != JoinFault::Unjoinable || !cut(left, stoppedAt, &head, &tail))
            break;
        if (!joinToMp4(head.inputs, path, error, cancel, fault, head.runs, nullptr, tags, into))
            break; // what joined up to the change joins again, alone
        written << path;
        left = tail;
    }
    if (written.size() >= MaxJoinParts && error->isEmpty())
        *error = net::step(net::Step::TooManyEncodings), error->count = MaxJoinParts - 1;
    // Nothing half written stays: a cancel or a full disk leaves only the pieces.
    for (const QString &done : std::as_const(written))
        QFile::remove(done);
    QFile::remove(path);
    return {};
}

QString partName(const QString &path, int part)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return info.dir().filePath(info.completeBaseName() + QStringLiteral(" (part %1)").arg(part) + suffix);
}

} // namespace vidrona::download::streams
