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

// Activities that the time lags force to run at once, with demands together
// above a capacity: a proof that no schedule exists. Within a strongly
// connected component the longest paths bound every pair: S_j - S_i lies in
// [dist(i, j), -dist(j, i)], so i can end before j starts only if -dist(j, i)
// >= d_i, and j before i only if -dist(i, j) >= d_j. Two activities of
// positive duration for which neither order fits must overlap, and activities
// that pairwise must overlap share a period (intervals that pairwise meet have
// a point in common), in which their demands add up.
struct forced_overlap {
    std::vector<activity_index> activities; // two or more, ascending
    std::size_t resource = 0;
    std::int64_t demand = 0; // their demands of `resource` together, above its capacity
};

// Work (distance updates, pair tests, and tests of a set's growth) within
// components, at most, before the search stops without a proof: a component
// of 500 activities and 1,500 arcs costs some 10^7, one of 5,000 and
// 15,000 arcs some 2 * 10^9, past it.
constexpr std::uint64_t overlap_budget = 200000000;

// The first such proof, by component in topological order, a pair before a
// larger set (grown greedily from each activity, largest demand first); false
// when none is found, also past overlap_budget (the test is a proof when it
// finds one, never a decision when it does not). `source` must have general
// lags, one mode per activity, and a lag schedule (no cycle of positive lag).
// Throws std::bad_alloc when memory runs out.
bool find_forced_overlap(const instance& source, forced_overlap& proof);

} // namespace converter
