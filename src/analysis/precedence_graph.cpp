#include "analysis/precedence_graph.h"

#include <algorithm>

namespace converter {

precedence_graph build_precedence_graph(const instance& source, bool with_predecessors) {
    const std::size_t activities = source.activity_count > 0 ? static_cast<std::size_t>(source.activity_count) : 0;
    precedence_graph graph;
    graph.successor_start.assign(activities + 1, 0);
    std::vector<std::size_t> predecessor_count(with_predecessors ? activities + 1 : 0, 0);
    std::size_t cursor = 0;
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        for (std::int32_t index = 0; index < count; ++index, ++cursor) {
            const std::int32_t successor = source.successors[cursor];
            if (successor < 0 || static_cast<std::size_t>(successor) >= activities ||
                static_cast<std::size_t>(successor) == activity) {
                graph.all_arcs_kept = false;
                continue;
            }
            graph.successors.push_back(static_cast<activity_index>(successor));
            if (with_predecessors) ++predecessor_count[static_cast<std::size_t>(successor) + 1];
        }
        graph.successor_start[activity + 1] = graph.successors.size();
    }
    if (!with_predecessors) return graph;

    for (std::size_t activity = 0; activity < activities; ++activity)
        predecessor_count[activity + 1] += predecessor_count[activity];
    graph.predecessor_start = predecessor_count;
    graph.predecessors.resize(graph.successors.size());
    for (std::size_t activity = 0; activity < activities; ++activity)
        for (std::size_t arc = graph.successor_start[activity]; arc < graph.successor_start[activity + 1]; ++arc)
            graph.predecessors[predecessor_count[graph.successors[arc]]++] = static_cast<activity_index>(activity);
    return graph;
}

std::vector<activity_index> topological_order(const precedence_graph& graph) {
    const std::size_t activities = graph.successor_start.size() - 1;
    std::vector<std::size_t> waiting(activities, 0);
    for (const activity_index successor : graph.successors) ++waiting[successor];
    std::vector<activity_index> order;
    order.reserve(activities);
    for (std::size_t activity = 0; activity < activities; ++activity)
        if (waiting[activity] == 0) order.push_back(static_cast<activity_index>(activity));
    // The order doubles as the queue: activities enter it once all their
    // predecessors are in it.
    for (std::size_t next = 0; next < order.size(); ++next) {
        const activity_index activity = order[next];
        for (std::size_t arc = graph.successor_start[activity]; arc < graph.successor_start[activity + 1]; ++arc)
            if (--waiting[graph.successors[arc]] == 0) order.push_back(graph.successors[arc]);
    }
    return order;
}

namespace {

// Most sets number every successor after its activity, so the activities' own
// order is a topological one and one pass over the lists gives the schedule,
// without counting predecessors or queueing. False, with `start` unfinished, at
// the first successor that is not after its activity (or a negative duration,
// left to the general pass to refuse).
bool earliest_starts_in_order(const instance& source, const std::int32_t* durations, std::size_t activities,
                              std::vector<std::int64_t>& start) {
    const std::int32_t* successor = source.successors.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t duration = durations[activity];
        if (duration < 0) return false;
        const std::int64_t finish = start[activity] + duration;
        const std::int32_t* const end = successor + std::max(source.successor_counts[activity], 0);
        for (; successor != end; ++successor) {
            const auto next = static_cast<std::size_t>(static_cast<std::uint32_t>(*successor));
            if (next <= activity || next >= activities) return false;
            if (start[next] < finish) start[next] = finish;
        }
    }
    return true;
}

} // namespace

// Straight from the instance's own lists, which are already rows of
// successors: in-degrees, then Kahn's order, relaxing each arc as its tail
// leaves the queue. No copy of the arcs, which a writer can't afford per file.
std::vector<std::int64_t> earliest_starts(const instance& source) {
    const std::size_t activities = source.activity_count > 0 ? static_cast<std::size_t>(source.activity_count) : 0;
    std::vector<std::int32_t> shortest;
    if (has_modes(source)) shortest = shortest_durations(source);
    const std::int32_t* const durations = has_modes(source) ? shortest.data() : source.durations.begin();
    std::vector<std::int64_t> start(activities, 0);
    if (earliest_starts_in_order(source, durations, activities, start)) return start;
    std::fill(start.begin(), start.end(), 0);
    std::vector<std::size_t> first_successor(activities + 1, 0);
    std::vector<std::uint32_t> waiting(activities, 0);
    for (std::size_t activity = 0, cursor = 0; activity < activities; ++activity) {
        if (durations[activity] < 0) return {};
        const std::int32_t count = source.successor_counts[activity];
        for (std::int32_t index = 0; index < count; ++index, ++cursor) {
            const std::int32_t successor = source.successors[cursor];
            if (successor < 0 || static_cast<std::size_t>(successor) >= activities ||
                static_cast<std::size_t>(successor) == activity)
                return {};
            ++waiting[static_cast<std::size_t>(successor)];
        }
        first_successor[activity + 1] = cursor;
    }
    std::vector<activity_index> queue;
    queue.reserve(activities);
    for (std::size_t activity = 0; activity < activities; ++activity)
        if (waiting[activity] == 0) queue.push_back(static_cast<activity_index>(activity));
    for (std::size_t next = 0; next < queue.size(); ++next) {
        const activity_index activity = queue[next];
        const std::int64_t finish = start[activity] + durations[activity];
        for (std::size_t arc = first_successor[activity]; arc < first_successor[activity + 1]; ++arc) {
            const auto successor = static_cast<std::size_t>(source.successors[arc]);
            if (start[successor] < finish) start[successor] = finish;
            if (--waiting[successor] == 0) queue.push_back(static_cast<activity_index>(successor));
        }
    }
    if (queue.size() != activities) return {};
    return start;
}

} // namespace converter
