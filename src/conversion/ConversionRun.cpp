#include "shell/MainForm.h"

void MainForm::ConvertStart_Click() {}
