#pragma once

#include <vector>

#include "cli/options.h"
#include "cli/plan.h"

namespace tavrel::cli {

// Converts every job, options.jobs at a time (fewer where the system starts
// no more threads), reports in input order and syncs the written files once
// at the end. Returns the exit status: 0 when every file converted without a
// message, 1 otherwise, 130 when interrupted.
int RunJobs(const std::vector<Job>& jobs, const Options& options);

}  // namespace tavrel::cli
