#pragma once
#include <QString>

namespace vidrona::desktop {

// Flag values of the standard message box, as the program passes them.
enum MessageFlags : int {
    MsgOkOnly = 0,
    MsgYesNo = 4,
    MsgCritical = 16,
    MsgQuestion = 32,
    MsgInformation = 64,
};

// Answers of the standard message box.
enum MessageAnswer : int {
    AnswerOk = 1,
    AnswerYes = 6,
    AnswerNo = 7,
};

// Every standard message box goes through one of these, so tests can
// record what the program says and answer in the user's place.
class MessageService
{
public:
    virtual ~MessageService() = default;
    // An empty title means the program's own title.
    virtual int show(const QString &text, const QString &title, int flags) = 0;
};

} // namespace vidrona::desktop
