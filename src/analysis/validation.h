// Checks that an instance the reader accepted is a proper project, which the
// converter itself never asks: it converts successors as given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "instance/instance.h"
#include "instance/messages.h"

namespace converter {

// One problem of an instance. `activity` is 1-based as in the input file, or 0
// when the finding is about a resource or the instance as a whole; `text` then
// starts with "resource K: " or stands alone.
struct finding {
    std::int64_t activity = 0;
    message_text text;
};

struct validation_report {
    std::vector<finding> findings; // the first `limit` findings, in the order below
    std::uint64_t total = 0;       // all findings, the ones not kept included
};

// Finds, in this order:
//   - with `trailing` and a count above 0: the file goes on after the last
//     activity ("the file goes on after the last activity (line L): K more
//     values"), as two instances in one file do;
//   - fewer than two activities (no room for a dummy start and end);
//   - per resource: a negative capacity;
//   - per activity, in file order: a negative duration, a negative demand, a
//     demand above its resource's capacity, a negative successor count, a
//     successor outside 1..N, the activity as its own successor, a successor
//     listed twice;
//   - the first activity not a dummy start (duration 0, no demands), the last not
//     a dummy end (duration 0, no demands, no successors);
//   - one precedence cycle, its activities named in order (arcs outside 1..N and
//     self-arcs are left out of it, having findings of their own);
//   - activities that can't be reached from the first, then activities from which
//     the last can't be reached (when N >= 2).
// Keeps the first `limit` findings and counts the rest. Linear time and memory in
// N plus the successors; no recursion. `source` must be as a successful read
// leaves it. Throws std::bad_alloc when memory runs out.
validation_report validate(const instance& source, std::size_t limit = 20, const trailing_tokens* trailing = nullptr);

} // namespace converter
