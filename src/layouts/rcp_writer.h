// The writer of Patterson's layout (`rcp`), the one converter reads:
//   N R
//   the R capacities (an empty line when R <= 0)
//   per activity: duration, the R demands, the successor count s, and the s
//   successors numbered from 1
// one blank between fields, every line ended by "\n" (CR LF through a text-mode
// stream on Windows): one record per line and no blank line, as the readers of
// this layout expect. Every value is written as the instance holds it: negative
// values, successors outside 1..N; a count of zero or less writes nothing for
// its loop. Reading the output with read_instance gives back the same instance.
#pragma once

#include "instance/instance.h"
#include "layouts/output_buffer.h"

namespace converter {

// `source` must be as a successful read leaves it.
void write_rcp(output_buffer& buffer, const instance& source);

} // namespace converter
