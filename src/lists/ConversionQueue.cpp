#include "shell/MainForm.h"

void MainForm::OneSelect_Click() {}
void MainForm::AllSelect_Click() {}
void MainForm::OneRemove_Click() {}
void MainForm::AllRemove_Click() {}
void MainForm::AddQueueEntry(const QString&) {}
bool MainForm::NotInQueue(const QString&) const {
    return true;
}
void MainForm::ShowQueueTotals() {}
