// converter-batch --verify: schedules checked against their instances.
#pragma once

#include "batch/options.h"

namespace converter::batch {

// Verifies `request.inputs[1]` (a schedule file, "-" for standard input, or a
// directory of them) against `request.inputs[0]` (an instance file, or a
// directory of them, paired by name: j301_1.sm with j301_1.txt,
// j301_1.minizinc.txt, ...). Writes a CSV table on standard output, one row
// per schedule: instance, schedule, solutions, feasible, makespan,
// reported_makespan, optimal, reference, gap (%, against the proven optimum
// or else the lower bound). Every solution of a file is verified; the row
// reports the last. Violations go to standard error as "SCHEDULE: solution K:
// VIOLATION", at most 20 a schedule and then the count of the rest, as do an
// instance without a schedule, a schedule without an instance, a reported
// makespan that is not the schedule's, and a feasible makespan below a proven
// optimum or lower bound. The pairs are verified on request.jobs threads (0:
// one per processor) and reported in pair order. Returns the exit status: 0 when every schedule is
// feasible and every finding above absent, 1 otherwise (a file that can't be
// read included), 2 when the reference table can't be read.
int run_verify(const options& request);

} // namespace converter::batch
