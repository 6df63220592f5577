#pragma once

#include <QByteArray>

#include "cli/options.h"
#include "cli/plan.h"

namespace tavrel::cli {

// What converting the file at input holds at its peak, from what its header
// (or a button file's first row) announces before anything is decoded; 0
// when it cannot be told, or when the file is refused unread for its size:
// the conversion then reports it without having held anything. whole: the
// file's bytes where they have been read already.
qint64 EstimatedPeakBytes(const QString& input, Direction direction,
                          const QByteArray* whole = nullptr);

// Converts every job of the plan, options.jobs at a time (fewer where the
// system starts no more threads), reports in input order and syncs the
// written files once at the end. Returns the exit status: 0 when every file
// converted without a message, 1 otherwise, 130 when interrupted.
int RunJobs(const Plan& plan, const Options& options);

}  // namespace tavrel::cli
