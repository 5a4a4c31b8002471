#include "recordingmessages.h"

namespace vidrona::test {

using desktop::AnswerNo;
using desktop::AnswerOk;
using desktop::MsgYesNo;

int RecordingMessages::show(const QString &text, const QString &title, int flags)
{
    calls.append({text, title, flags});
    if (!answers.isEmpty())
        return answers.takeFirst();
    return (flags & 7) == MsgYesNo ? AnswerNo : AnswerOk;
}

} // namespace vidrona::test
