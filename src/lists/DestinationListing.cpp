#include "shell/MainForm.h"

void MainForm::GetDiskFree() {}

void MainForm::ListSort_Click(int) {
    GetDiskFree();
}
