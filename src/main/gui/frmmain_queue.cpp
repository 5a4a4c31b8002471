// The download engine's side of the main window: adding rows, the queue
// runner, Cancel, Remove and Clean.
#include "frmmain.h"
#include <QTimer>

namespace vidrona {

void FrmMain::Download() {}

void FrmMain::RunQueue() {}

void FrmMain::cmdDownload_Click() {}

void FrmMain::Timer1_Timer()
{
    // One start per program run: the timer is off before the queue runs.
    Timer1->stop();
    RunQueue();
}

void FrmMain::cmdCancel_Click() {}
void FrmMain::cmdRemove_Click() {}
void FrmMain::cmdClean_Click() {}

} // namespace vidrona
