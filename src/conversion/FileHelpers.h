// The general file helpers (CutAtNul, CopyFileChecked, DeleteFileForced, ExtractFileName) live in the
// conversion core, which the command line shares with the window; the window's folders include them here.
#pragma once

#include "core/FileHelpers.h"
