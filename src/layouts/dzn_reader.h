// The reader of MiniZinc data for the standard RCPSP model (`dzn`; see
// dzn_writer.h), as MiniZinc data really look: the assignments of n_res, rc,
// n_tasks, d, rr and suc in any order, other names ignored (t_max, deadline),
// `%` and `/* */` comments, white space and line ends of every kind anywhere, a
// trailing comma in a list, array1d(1..T, [ ... ]) and array2d(1..R, 1..T,
// [ ... ]) as well as [| ... |] ([| |], [||] and [] when empty), sets as { }
// literals or ranges (1..0, 2..5), indents of any width. It refuses at its
// place anything else, a missing name, a name given twice, an rc, d, rr or suc
// whose size disagrees with the counts, a successor outside 1..n_tasks.
//
// When the first and the last task look like dummies (duration 0, no demands;
// the first without predecessors, the last without successors), the tasks are
// the activities; otherwise a dummy start is added whose successors are the
// tasks without predecessors (ascending) and a dummy end that is the one
// successor of every task without successors. Successors of a task are
// ascending, each once, as a set holds them.
#pragma once

#include "instance/byte_source.h"
#include "instance/instance.h"
#include "instance/read_failure.h"

namespace converter {

// Reads one instance as read_instance does (the same rules for memory and for
// stopping at the first failure); MiniZinc data end with the last assignment,
// so `trailing`, when given, always counts nothing.
read_failure read_dzn(byte_source source, instance& result, trailing_tokens* trailing = nullptr);

} // namespace converter
