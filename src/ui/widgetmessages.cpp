#include "widgetmessages.h"
#include <QApplication>
#include <QMessageBox>

namespace vidrona::ui {

using desktop::AnswerNo;
using desktop::AnswerOk;
using desktop::AnswerYes;
using desktop::MsgCritical;
using desktop::MsgInformation;
using desktop::MsgQuestion;
using desktop::MsgYesNo;

int WidgetMessageService::show(const QString &text, const QString &title, int flags)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title.isEmpty() ? QApplication::applicationName() : title);
    box.setText(text);
    switch (flags & 0x70) {
    case MsgCritical: box.setIcon(QMessageBox::Critical); break;
    case MsgQuestion: box.setIcon(QMessageBox::Question); break;
    case 48: box.setIcon(QMessageBox::Warning); break;
    case MsgInformation: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    if ((flags & 7) == MsgYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? AnswerYes : AnswerNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return AnswerOk;
}

} // namespace vidrona::ui
