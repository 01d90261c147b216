// Which files a command-line run converts, and where each goes.
#pragma once

#include "core/convert/ConversionJob.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace cli {

struct Options;

struct BatchPlan {
    QList<core::ConversionJob> jobs; // in the order given; work folders left empty
    QStringList notes;               // skipped inputs, one line each
    int passedOver = 0;              // MP3 files whose names are not valid UTF-8 ...
    QStringList passedOverNotes;     // ... and a line for each folder holding some
    QStringList errors;              // inputs that do not exist, one line each
    QSet<QString> targets;           // absolute paths of every output the inputs map to, skipped or not
    QStringList inPlace; // inputs whose destination is the input itself, refused without --in-place
};

// FILE arguments as they are; a FOLDER's MP3 files in name order, as the window's ">>" queues them, and
// with `recursive` those of its sub-folders too (each output under the same relative folder). A source
// given twice is converted once; an existing destination, or one another source already goes to, is
// skipped with a note unless `overwrite` (or, with `update`, left to the up-to-date check). A
// destination that is the source itself is planned only with `inPlace`; otherwise the source goes
// into `inPlace`.
BatchPlan planBatch(const Options& options);

} // namespace cli
