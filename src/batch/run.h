// Converting (or checking) the listed files with worker threads, and reporting
// on them in input order.
#pragma once

#include <vector>

#include "input_list.h"
#include "options.h"
#include "output_plan.h"

namespace converter::batch {

// Converts or checks every file of `inputs` (with `plan`'s outputs, unless
// checking) on `jobs` threads and reports:
//   - each failure as "PATH: MESSAGE" on standard error;
//   - with --check, each finding as "PATH: FINDING" on standard output, at most
//     20 a file and then "PATH: ... and K more findings";
//   - unless quiet, a summary line on standard error at the end, and while it
//     runs, when standard error is a terminal, a progress line updated in place
//     at most ten times a second and erased before anything else is printed.
// Reports come out in input order whatever the number of jobs. At most a fixed
// number of results per job wait to be reported, so memory does not grow with
// the number of files. Returns the exit status: 0, or 1 when any file failed or
// had findings.
int run_files(const options& request, const std::vector<input_file>& inputs, const output_plan& plan);

// The same for "-": standard input to standard output (or checked).
int run_standard_streams(const options& request);

} // namespace converter::batch
