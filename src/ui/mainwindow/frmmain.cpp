#include "frmmain.h"
#include <QCloseEvent>
#include <QLineEdit>

namespace vidrona {

FrmMain::FrmMain(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vidrona v.1.0"));
    buildControls();
    buildLayout();
    setAccessibility();
}

FrmMain::~FrmMain() = default;

void FrmMain::Form_Load()
{
    emit loading();
    txtUrl->setFocus();
}

void FrmMain::Form_Unload()
{
    emit unloading();
}

void FrmMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    QWidget::closeEvent(event);
}

} // namespace vidrona
