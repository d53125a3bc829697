// Converting (or checking) the listed files with worker threads, and reporting
// on them in input order.
#pragma once

#include <vector>

#include "batch/options.h"
#include "files/input_list.h"
#include "files/output_plan.h"

namespace converter::batch {

// Converts or checks every file of `inputs` (with `plan`'s outputs, unless
// checking) on `jobs` threads and reports:
//   - each failure as "PATH: MESSAGE" on standard error, except failures whose
//     cause is an output directory (it can't be created, or no file can be
//     created in it): each such directory is named once, at the end, with the
//     number of files it failed;
//   - with --check, each finding as "PATH: LEVEL: FINDING" on standard output
//     (LEVEL invalid, infeasible or note), at most 20 a file and then "PATH:
//     ... and K more findings"; with --csv, as rows of a CSV table (see
//     findings_csv_header) after its header, the count of the rest on standard
//     error; the summary counts the files by their gravest level;
//   - with -u, an input whose output is current is skipped and counted as such;
//   - unless quiet, a summary line on standard error at the end, and while it
//     runs, when standard error is a terminal, a progress line updated in place
//     at most ten times a second and erased before anything else is printed.
// Reports come out in input order whatever the number of jobs. At most a fixed
// number of results per job wait to be reported, so memory does not grow with
// the number of files. When standard output can't be written (a full disk, a
// closed descriptor), the run stops taking files and reports "Writing standard
// output failed: <reason>.". Returns the exit status: 0, or 1 when any file
// failed or was found invalid or infeasible (notes alone give 0) or standard
// output failed.
int run_files(const options& request, const std::vector<input_file>& inputs, const output_plan& plan);

// The same for "-": standard input to standard output (or checked).
int run_standard_streams(const options& request);

// For an interrupt, after the temporary files are gone: erases the progress
// line and, unless quiet, says "converter-batch: interrupted after F of T
// files; nothing half-written is left." on standard error. Safe to call from
// any thread while a run goes on, not from a signal handler.
void report_interrupt();

} // namespace converter::batch
