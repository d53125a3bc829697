// The writer of MiniZinc data for the standard RCPSP model (`dzn`), exactly as
// the MiniZinc benchmarks ship PSPLIB's sets:
//
//   n_res = 4;
//   rc = [ 12, 13, 4, 12 ];
//   n_tasks = 30;
//   d = [ 8, 4, 6, ... ];
//   rr = [| 4, 10, 0, ...
//         | 0, 0, 0, ... |];
//   suc = [ { 5, 10, 14 },
//          { 6, 7, 12 },
//          ...
//          {  } ];
//
// One statement per name, each line ended by "\n" (CR LF through a text-mode
// stream on Windows); rr with one row per resource, tasks across; each set
// ascending. Where R or the task count is 0, rr is "array2d(1..R, 1..T, [])"
// and rc, d and suc are "[  ]".
//
// The model has no dummy activities: when N >= 2 and activity 1 has duration
// 0, no demands and no predecessor, and activity N duration 0, no demands and
// no successors, both are left out (activity k is task k - 1, the sink leaves
// every set, the source's own list is dropped: the model implies its arcs);
// otherwise every activity is a task, numbered as it is.
//
// When an arc between two tasks has a time lag other than its activity's
// duration (general time lags), the data are for MiniZinc's rcpsp_max model
// instead, as its benchmarks ship RCPSP/max's sets: rcap for rc, "dur =  ["
// (two blanks) for d, the same rr, then "dcons = [| i, lag, j" with one row
// per arc between tasks, by i and then j, rows after the first on lines of
// their own starting "         | ", closed by a line "         |]", and
// "n_dc = K;". The dummies' arcs are left out with them.
//
// When an activity has several modes or a resource is nonrenewable, the data
// are for MiniZinc's mrcpsp model, as its benchmarks ship PSPLIB's multi-mode
// sets:
//
//   n_res = 4;
//   rcap = [9, 8, 53, 50];
//   rtype = [1, 1, 2, 2];
//   n_tasks = 10;
//   modes = [ {1, 2, 3}, {4, 5, 6}, ... ];
//   succ = [ {6, 8}, {5, 8}, ..., {} ];
//   n_opt = 30;
//   dur = [2, 6, 9, ...];
//   rreq = [|  0,  6,  4, ...
//           |  3,  0,  0, ... |];
//
// rtype 1 for a renewable resource, 2 for a nonrenewable one; the tasks'
// modes numbered from 1 in task order, so that task t's set in modes lists
// its own; dur and rreq one entry per mode, rreq a row per resource, each
// demand right-aligned to the widest one (at least two columns) after one
// blank. The dummies are told and left out as above (a dummy has one mode);
// rreq is "array2d(1..R, 1..M, [])" when R or the mode count is 0, and the
// lists and sets of no element "[]", "{}" and "[  ]".
#pragma once

#include "analysis/validation.h"
#include "instance/instance.h"
#include "instance/messages.h"
#include "layouts/output_buffer.h"

namespace converter {

// False, with the reason in `why` naming the activity, when the model's data
// can't hold `source`: a negative count, a doubly constrained resource (no
// model has a place for one), a successor listed twice (a set holds
// it once; rcpsp_max's rows may repeat an arc), a successor outside the tasks (it would index outside the model's
// arrays).
bool dzn_can_hold(const instance& source, const activity_naming& naming, message_text& why);

// `source` must be one that dzn_can_hold accepts.
void write_dzn(output_buffer& buffer, const instance& source);

} // namespace converter
