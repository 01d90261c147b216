#include "shell/MainForm.h"

void MainForm::MakePlayList_Click() {}
void MainForm::SavePlayList_Click() {}
