#pragma once
#include "desktop/messages.h"
#include <QList>
#include <QString>

namespace vidrona::test {

using desktop::MessageService;

// Records every standard message box instead of showing it, and answers
// with the queued answers (OK, or No for a Yes/No box, when none is queued).
class RecordingMessages : public MessageService
{
public:
    struct Call {
        QString text;
        QString title;
        int flags;
    };
    int show(const QString &text, const QString &title, int flags) override;

    QList<Call> calls;
    QList<int> answers;
};

} // namespace vidrona::test
