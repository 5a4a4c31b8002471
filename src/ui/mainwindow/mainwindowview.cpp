#include "mainwindowview.h"
#include <QCloseEvent>
#include <QLineEdit>

namespace vidrona::ui::mainwindow {

MainWindowView::MainWindowView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Vidrona v.1.0"));
    buildControls();
    buildLayout();
    setAccessibility();
}

MainWindowView::~MainWindowView() = default;

void MainWindowView::startUp()
{
    emit loading();
    addressBox->setFocus();
}

void MainWindowView::shutDown()
{
    emit unloading();
}

void MainWindowView::closeEvent(QCloseEvent *event)
{
    shutDown();
    QWidget::closeEvent(event);
}

} // namespace vidrona::ui::mainwindow
