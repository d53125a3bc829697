// The reader of the input layout that converter reads (Patterson's, `rcp`).
//
// Signed decimal integers separated by any white space (blank, tab, CR, LF,
// vertical tab, form feed); line structure carries no meaning. In order:
//   N (activity count), R (resource count), R capacities, then N activity records,
//   each: duration, R demands, successor count s, s successor numbers (1-based).
// Nothing after the last activity record is read.
#pragma once

#include <cstdio>
#include <string_view>

#include "instance/byte_source.h"
#include "instance/instance.h"
#include "instance/read_failure.h"

namespace converter {

// Reads one instance from `input`, which must be positioned at its start, into
// `result` (whose earlier contents are discarded). Stops at the first failure and
// returns it; `result` then holds what was read so far, and nothing after the
// failing token has been read (so a pipe that stays open does not block it).
// Successor numbers are accepted whatever their value (0 and numbers above N
// included) as long as the number minus 1 fits in 32 bits. Stores grow as the
// values arrive, whatever counts the header claims, so memory follows what the
// input holds. Works on any stream: a file, a pipe, a terminal. The FILE* form
// reads the stream's file descriptor directly, so nothing may have been read
// through the stream's own buffer before (switch it to unbuffered, or don't read
// from it); a stream without a descriptor is read through fread.
// With `trailing`, a successful read goes on to the end of the input and counts
// what follows the instance there (a read error on the way is then the failure).
read_failure read_instance(std::FILE* input, instance& result, trailing_tokens* trailing = nullptr);
read_failure read_instance(std::string_view input, instance& result, trailing_tokens* trailing = nullptr);
// The same from any source, for the table of layouts.
read_failure read_rcp(byte_source source, instance& result, trailing_tokens* trailing = nullptr);

} // namespace converter
