#include "shell/MainForm.h"

void MainForm::SelctFolder_Click(int) {}
void MainForm::RefreshSourceList(const QString& folder) {
    SFileListPath = folder;
}
