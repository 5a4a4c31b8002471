#pragma once
#include "desktop/messages.h"

namespace vidrona::ui {

using desktop::MessageService;

// Shows the standard message box with QMessageBox.
class WidgetMessageService : public MessageService
{
public:
    int show(const QString &text, const QString &title, int flags) override;
};

} // namespace vidrona::ui
