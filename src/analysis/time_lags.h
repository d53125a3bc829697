// Schedules in time alone under general time lags (RCPSP/max): every arc i -> j
// with lag l asks S_j >= S_i + l, a negative lag on an arc back being a
// maximal time lag, so that networks have cycles by design.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/precedence_graph.h"
#include "instance/instance.h"

namespace converter {

struct lag_schedule {
    // The least starts with S >= 0 and every arc's S_j >= S_i + lag (longest
    // paths from time 0); empty when none exists.
    std::vector<std::int64_t> earliest;
    // When none exists because of a cycle whose lags add up to more than 0:
    // its activities in arc order, from its smallest, and that sum.
    std::vector<activity_index> positive_cycle;
    std::int64_t cycle_lag = 0;
    // Set when the search gave up at its budget (see below): neither a
    // schedule nor a cycle is known.
    bool undecided = false;
};

// Arcs looked at within components with cycles, at most, before the search
// gives up: some seconds of work.
constexpr std::uint64_t lag_relaxation_budget = 100000000;

// The schedule above for `source` as a successful read leaves it, each arc's
// lag as lag_of gives it (its activity's duration without general lags). A
// successor outside 1..N gives no schedule and no cycle, having a finding of
// its own; an activity that is its own successor is a cycle of one when its
// lag is above 0 and asks nothing otherwise.
// Strongly connected components first (Tarjan's, without recursion), taken in
// topological order; an acyclic part costs one pass over its arcs. Within a
// component with a cycle, label-correcting passes (a FIFO queue): an activity
// queued more often than its component has activities makes the best
// predecessors form a cycle, which is then the positive one. Worst case
// O(sum over the components of activities x arcs within), so the arcs looked
// at within components are counted: past lag_relaxation_budget the result is
// `undecided` (a chain of 40,000 activities with arcs back of lag -1 needs
// some 10^9). Linear memory.
// Throws std::bad_alloc when memory runs out.
lag_schedule earliest_starts_with_lags(const instance& source);

} // namespace converter
