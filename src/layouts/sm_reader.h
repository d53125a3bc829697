// The reader of PSPLIB's single-mode layout (`sm`: j30, j60, j90, j120).
//
// Accepts what real files hold: LF, CR LF or CR line ends; tabs or any run of
// blanks between fields, any alignment, trailing blanks; blank lines inside
// sections; the sections found by their labels (PRECEDENCE RELATIONS,
// REQUESTS/DURATIONS, RESOURCEAVAILABILITIES or RESOURCE AVAILABILITIES), not by
// line numbers; the header block (projects, jobs, horizon, RESOURCES) and
// PROJECT INFORMATION optional, N and R then coming from the rows; a #jobs in
// PROJECT INFORMATION other than N - 2 (it is not kept, nor are the horizon,
// the due date, the tardiness cost, the seed and the basedata name).
//
// Refuses, at their place: what the instance can't hold (a mode count other
// than 1 or further mode rows, nonrenewable or doubly constrained resources: a
// count above 0, or N or D columns; more than one project), a jobs count that
// disagrees with the rows, request rows that disagree with the precedence rows,
// jobs out of order, a successor count that disagrees with its list (each job's
// successors on its own line), resource counts that disagree (the renewable
// count, the labels, the capacities and the request columns), and anything else
// it does not know. Successors are taken as given (outside 1..N too) as long as
// the number minus 1 fits in 32 bits, at most N x N in all, as read_instance
// takes them. Nothing after the capacities is read.
#pragma once

#include "instance/byte_source.h"
#include "instance/instance.h"
#include "instance/read_failure.h"

namespace converter {

// Reads one instance as read_instance does (the same rules for memory, for
// stopping at the first failure and for `trailing`, which counts the fields on
// lines after the capacities that are not separator lines).
read_failure read_sm(byte_source source, instance& result, trailing_tokens* trailing = nullptr);

} // namespace converter
