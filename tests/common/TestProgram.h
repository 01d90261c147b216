#pragma once

#include "ui/ProgramInfo.h"

#include <QTemporaryDir>

// A program identity whose executable folder, settings and instance lock live in a fresh temporary
// folder, so that tests never see each other's files or the real installation.
struct TestProgram {
    QTemporaryDir root;
    ProgramInfo info;

    TestProgram() {
        info.executableFolder = root.path();
        info.settingsFolder = root.path();
        info.lockFolder = root.path();
    }
};
