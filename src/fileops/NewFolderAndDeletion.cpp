#include "shell/MainForm.h"

void MainForm::MakeNewDir_Click() {}
void MainForm::DeleteFile_Click() {}
