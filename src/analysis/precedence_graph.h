// The precedence network of an instance as a graph, for the checks and the
// measures that walk it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "instance/instance.h"

namespace converter {

using activity_index = std::uint32_t; // 0-based; N fits, being a signed 32-bit count

// The arcs that exist between activities (successor within 1..N and not the
// activity itself), in compressed rows: the successors of activity a are
// successors[successor_start[a] .. successor_start[a + 1]), in file order, and
// likewise for the predecessors when they were asked for.
struct precedence_graph {
    std::vector<std::size_t> successor_start, predecessor_start;
    std::vector<activity_index> successors, predecessors;
    // False when some successor lies outside 1..N or is the activity itself.
    bool all_arcs_kept = true;
};

// Builds the graph of `source` (as a successful read leaves it) in time and
// memory linear in N plus the successors. Throws std::bad_alloc when memory
// runs out.
precedence_graph build_precedence_graph(const instance& source, bool with_predecessors);

// The activities in an order where every arc goes forward (Kahn's algorithm, no
// recursion). Shorter than N exactly when the graph has a cycle: the activities
// left out are those on a cycle or after one.
std::vector<activity_index> topological_order(const precedence_graph& graph);

// The earliest start of every activity: each starts at the largest earliest
// finish of its predecessors, at 0 without any, every activity in its shortest
// mode. Empty when no such schedule
// exists: a successor outside 1..N or the activity itself, a cycle, a negative
// duration (or no activity). Linear time; throws std::bad_alloc when memory
// runs out.
std::vector<std::int64_t> earliest_starts(const instance& source);

} // namespace converter
