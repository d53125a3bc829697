// The reader of the layout converter writes (RCPSP/max's, `sch`), read back:
//   header:      N - 2, R, 0, 0
//   N lines:     activity number (0..N-1 in order), mode count 1, successor
//                count s, s successors numbered from 0, s time lags "[d]"
//   N lines:     activity number (0..N-1 in order), mode 1, duration d, R demands
//   capacities:  R values
// Fields are separated by any white space (tabs or blanks, CR LF or LF, blank
// lines, a trailing tab, a final line end or none); line breaks carry no
// meaning. Every arc keeps its own time lag, negative ones included (general
// time lags, as RCPSP/max has them); when each equals its activity's duration
// the instance holds none (see instance::lags). Whether the capacities end
// with a line end, as the public sets write them, is kept in
// capacities_line_ended. A third or fourth header field other than 0 and a
// mode count other than 1 (multi-mode RCPSP/max) are refused.
// Successors are taken as given (outside 0..N-1 too) as long as their 1-based
// number fits in 32 bits, and at most N x N in all, as read_instance takes them.
// Nothing after the capacities is read. Failures are worded in this layout's
// terms, activities numbered from 0 as the file numbers them.
#pragma once

#include "instance/byte_source.h"
#include "instance/instance.h"
#include "instance/read_failure.h"

namespace converter {

// Reads one instance as read_instance does (the same rules for memory, for
// stopping at the first failure and for `trailing`).
read_failure read_sch(byte_source source, instance& result, trailing_tokens* trailing = nullptr);

} // namespace converter
