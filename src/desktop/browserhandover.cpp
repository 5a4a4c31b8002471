// The host's one exchange: checked, read, handed to the window, answered.
#include "browserhost.h"
#include "listowner.h"
#include <QProcess>
#include <QThread>
#include "platform/hoststdio.h"

namespace vidrona::desktop::browserhost {

namespace {

// The program, started apart from the host: the browser ends the host
// once it has answered, and the host's standard output is the browser's
// channel, which the program must never write into.
bool startProgram(const QString &program, QString *why)
{
    QProcess process;
    process.setProgram(program);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    *why = QStringLiteral("Vidrona could not be started (%1)").arg(program);
    return false;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    return platform::writeAllTo(fd, bytes.constData(), bytes.size());
}

QString refusalOf(Reading::Is is)
{
    switch (is) {
    case Reading::Is::TooLarge: return QStringLiteral("the message is larger than %1 bytes").arg(MaxMessageBytes);
    case Reading::Is::CutShort: return QStringLiteral("the message was cut short");
    case Reading::Is::TimedOut: return QStringLiteral("the message did not come within %1 s").arg(ExchangeMs / 1000);
    case Reading::Is::Nothing: return QStringLiteral("no message came");
    case Reading::Is::Failed: return QStringLiteral("the message could not be read");
    case Reading::Is::Message: break;
    }
    return {};
}

} // namespace

bool handToWindow(const QList<HandedAddress> &addresses, const QString &listFolder, const QString &program,
                  QDeadlineTimer deadline, QString *why)
{
    bool started = false;
    do {
        switch (ListOwner::handOverWithExtras(listFolder, addresses, why)) {
        case ListOwner::Handed::Taken: return true;
        case ListOwner::Handed::Refused:
        case ListOwner::Handed::NoAnswer: return false;
        case ListOwner::Handed::NoOwner: break;
        }
        if (!started && !(started = startProgram(program, why)))
            return false;
        QThread::msleep(50); // the program opens its socket within its first moments
    } while (!deadline.hasExpired());
    *why = QStringLiteral("Vidrona did not answer within %1 s").arg(ExchangeMs / 1000);
    return false;
}

int serve(const QStringList &arguments, int inFd, int outFd, const QString &listFolder, const QString &program)
{
    const QDeadlineTimer deadline(ExchangeMs);
    QString refusal;
    QString who;
    const Reading reading = readMessage(inFd, deadline);
    Request request;
    if (!callerAllowed(arguments, allowedIds(), &who))
        refusal = QStringLiteral("%1 may not use Vidrona's host").arg(who);
    else if (reading.is != Reading::Is::Message)
        refusal = refusalOf(reading.is);
    else if (request = parseRequest(reading.json); !request.refusal.isEmpty())
        refusal = request.refusal;
    else if (!handToWindow(request.addresses, listFolder, program, deadline, &refusal) && refusal.isEmpty())
        refusal = QStringLiteral("the addresses were not handed over");
    const bool added = refusal.isEmpty();
    writeAll(outFd, frame(answer(added ? int(request.addresses.size()) : 0, refusal)));
    return added ? 0 : 1;
}

} // namespace vidrona::desktop::browserhost
