#include "shell/MainForm.h"

void MainForm::SFileList_DblClick() {}
void MainForm::DFileList_DblClick() {}
