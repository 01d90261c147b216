#include "shell/MainForm.h"

#include <QPushButton>

bool MainForm::Form_Load() {
    EnableControls(false);
    setWindowTitle(m_program.mainCaption());
    QueueExtent = 0;
    QueueBytes = 0;
    EnableControls(true);
    return true;
}

void MainForm::Form_QueryUnload(bool& cancel) {
    // ProgExit is disabled exactly while the window is busy, and for the whole of a conversion run.
    if (!ProgExit->isEnabled())
        cancel = true;
}

void MainForm::Form_Unload() {}

void MainForm::ProgExit_Click() {
    ended = true;
    endProgram();
}
