// The reader of PSPLIB's layouts, single-mode (`sm`: j30, j60, j90, j120) and
// multi-mode (`mm`: j10 ... j30, c15, m1 ... r5), and of MMLIB's files.
//
// Accepts what real files hold: LF, CR LF or CR line ends; tabs or any run of
// blanks between fields, any alignment, trailing blanks; blank lines inside
// sections; the sections found by their labels (PRECEDENCE RELATIONS,
// REQUESTS/DURATIONS, RESOURCEAVAILABILITIES or RESOURCE AVAILABILITIES), not by
// line numbers; the header block (projects, jobs, horizon, RESOURCES) and
// PROJECT INFORMATION optional, N and R then coming from the rows (MMLIB's
// files have no header but the jobs and RESOURCES lines); a #jobs in PROJECT
// INFORMATION other than N - 2. The basedata name, the seed, the horizon, the
// release and due date, the tardiness cost and the MPM time are kept in
// `header`. Each job has its mode count (1 or more) in its precedence row and
// one request row per mode, the job's number on its first only ("dur" may
// stand for "duration" in the label line); resources are labelled R, N or D by
// kind (renewable, nonrenewable, doubly constrained), their kinds kept in
// `resource_kinds` and the modes in `mode_counts` unless every job has one mode
// and every resource is renewable.
//
// Refuses, at their place: more than one project, a jobs count that disagrees
// with the rows, a negative resource count or a mode count below 1, request
// rows that disagree with the precedence rows (a job's number or its count of
// mode rows, modes out of order), jobs out of order, a successor count that
// disagrees with its list (each job's successors on its own line), resource
// counts or kinds that disagree (the RESOURCES block, in the order R, N, D, the
// labels, the capacities and the request columns), and anything else it does
// not know. Successors are taken as given (outside 1..N too) as long as the
// number minus 1 fits in 32 bits, at most N x N in all, as read_instance takes
// them. Nothing after the capacities is read.
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
