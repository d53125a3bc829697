// The writer for the converted, tab-separated layout (RCPSP/max's, `sch`).
//
// Output layout, every field separated from the next by one tab, every line ended
// by "\n" (a text-mode stream on Windows stores it as CR LF), N = activity_count,
// R = resource_count, activities numbered from 0:
//   header:      N - 2, R, 0, 0
//   N lines:     i, 1, s, then if s > 0 the s successors (0-based) and s fields
//                "[d]" where d is the arc's time lag (the activity's duration
//                when the instance holds no lags)
//   N lines:     i, 1, duration, then the R demands
//   capacities:  if R > 0, each capacity followed by a tab, and no line end; or,
//                when capacities_line_ended (as the public RCPSP/max files end),
//                the capacities with tabs between and a line end
// A count that is zero or negative writes nothing for its loop; the count itself
// is still written. N - 2 is computed without overflow.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "instance/instance.h"
#include "layouts/output_buffer.h"

namespace converter {

// The layout into a buffer, for the table of layouts.
void write_sch(output_buffer& buffer, const instance& source);

// `source` must be as read_instance leaves it after a successful read: with N > 0,
// N durations and successor counts, N x R demands when R > 0, and as many
// successors as the positive counts add up to.
//
// Writes the layout to `output` and flushes it. Stops writing at the first failed
// write and returns its errno; the file is then short. Never throws.
write_failure write_converted(std::FILE* output, const instance& source);
// Appends the layout to `output`; throws std::bad_alloc when memory runs out.
void write_converted(std::string& output, const instance& source);

} // namespace converter
