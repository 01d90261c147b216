// The status bar's short texts about the run options: which are on while the window is idle, and what
// the last run did.
#pragma once

#include "core/run/RunOptions.h"
#include "core/run/RunSummary.h"

#include <QString>

namespace options {

// "オプション：ID3v2.3・カバー 500px・音量 -16 LUFS": each option that is on, in the dialog's order;
// empty when none is.
QString optionsStatusText(const core::RunOptions& options);

// "変換 3・コピー 1・スキップ 10・失敗 0　読み込み 12,345,678 バイト・書き込み 4,567,890 バイト　12.3 秒",
// with "・削除 N" after the failures when the run pruned outputs.
QString runSummaryStatusText(const core::RunSummary& summary);

// -16 as "-16", -16.5 as "-16.5": a loudness target as the dialog shows it, one decimal at most.
QString lufsText(double lufs);

} // namespace options
