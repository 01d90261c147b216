// The words for a failed conversion, shared by the window (as its message boxes) and the command line
// (as one line on stderr).
#pragma once

#include "core/convert/ConversionJob.h"

#include <QString>

namespace core {

struct OutcomeMessage {
    bool shown = false;              // Cancelled and converted files have no message
    QString text;                    // lines separated by CR, as the window shows them
    Failure failure = Failure::None; // the kind of failure, for how a window presents it
};

// The window's message for the outcome of converting `source`.
OutcomeMessage outcomeMessage(const Outcome& outcome, const QString& source);

// The same message on one line (its line breaks turned into " / "), for a log or a terminal.
QString outcomeLine(const Outcome& outcome, const QString& source);

} // namespace core
