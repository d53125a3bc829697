#include "analysis/validation.h"

#include <algorithm>

#include "analysis/precedence_graph.h"

namespace converter {
namespace {

using node = activity_index;

class report_builder {
public:
    report_builder(validation_report& report, std::size_t limit) : report_(report), limit_(limit) {}

    // Starts a finding about `activity` (0-based), or about no activity when
    // negative; returns its text to finish, or nullptr when it is only counted.
    message_text* add(std::int64_t activity) {
        ++report_.total;
        if (report_.findings.size() >= limit_) return nullptr;
        report_.findings.push_back({activity + 1, message_text()});
        message_text& text = report_.findings.back().text;
        if (activity >= 0) text.append("activity ").append_number(activity + 1).append(": ");
        return &text;
    }

private:
    validation_report& report_;
    std::size_t limit_;
};

// Every activity that topological_order() leaves out has a predecessor left
// out too, so walking back through those must come round.
std::vector<node> find_cycle(const precedence_graph& graph, std::size_t activities) {
    const std::vector<node> order = topological_order(graph);
    if (order.size() == activities) return {};
    std::vector<bool> ordered(activities, false);
    for (const node activity : order) ordered[activity] = true;

    std::size_t start = 0;
    while (ordered[start]) ++start;
    // Step numbers of the walk, 0 for not visited.
    std::vector<std::size_t> visited(activities, 0);
    std::vector<node> walk;
    auto current = static_cast<node>(start);
    while (visited[current] == 0) {
        walk.push_back(current);
        visited[current] = walk.size();
        for (std::size_t arc = graph.predecessor_start[current];; ++arc) {
            const node predecessor = graph.predecessors[arc];
            if (!ordered[predecessor]) {
                current = predecessor;
                break;
            }
        }
    }
    // The walk went backwards; the cycle is its part from `current` on, reversed.
    std::vector<node> cycle(walk.begin() + static_cast<std::ptrdiff_t>(visited[current] - 1), walk.end());
    std::reverse(cycle.begin(), cycle.end());
    std::rotate(cycle.begin(), std::min_element(cycle.begin(), cycle.end()), cycle.end());
    return cycle;
}

std::vector<bool> reachable(const std::vector<std::size_t>& start_of, const std::vector<node>& targets,
                            std::size_t activities, node from) {
    std::vector<bool> seen(activities, false);
    std::vector<node> pending{from};
    seen[from] = true;
    while (!pending.empty()) {
        const node activity = pending.back();
        pending.pop_back();
        for (std::size_t arc = start_of[activity]; arc < start_of[activity + 1]; ++arc)
            if (!seen[targets[arc]]) {
                seen[targets[arc]] = true;
                pending.push_back(targets[arc]);
            }
    }
    return seen;
}

} // namespace

validation_report validate(const instance& source, std::size_t limit, const trailing_tokens* trailing) {
    validation_report report;
    report_builder findings(report, limit);
    if (trailing != nullptr && trailing->count != 0)
        if (message_text* text = findings.add(-1))
            text->append("the file goes on after the last activity (line ")
                .append_number(static_cast<std::int64_t>(trailing->first_line))
                .append("): ")
                .append_number(static_cast<std::int64_t>(trailing->count))
                .append(trailing->count == 1 ? " more value" : " more values");
    const std::int64_t activity_count = source.activity_count;
    const std::size_t activities = activity_count > 0 ? static_cast<std::size_t>(activity_count) : 0;
    const std::size_t resources = source.resource_count > 0 ? static_cast<std::size_t>(source.resource_count) : 0;

    if (activity_count < 2)
        if (message_text* text = findings.add(-1))
            text->append("the activity count is ")
                .append_number(activity_count)
                .append("; a project needs at least a dummy start and a dummy end");

    for (std::size_t resource = 0; resource < resources; ++resource)
        if (source.capacities[resource] < 0)
            if (message_text* text = findings.add(-1))
                text->append("resource ")
                    .append_number(static_cast<std::int64_t>(resource + 1))
                    .append(": negative capacity ")
                    .append_number(source.capacities[resource]);

    // The activity that listed each successor last, to find repeats in one list.
    std::vector<std::size_t> listed_by(activities, activities);
    std::size_t cursor = 0;
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const auto number = static_cast<std::int64_t>(activity);
        if (source.durations[activity] < 0)
            if (message_text* text = findings.add(number))
                text->append("negative duration ").append_number(source.durations[activity]);
        for (std::size_t resource = 0; resource < resources; ++resource) {
            const std::int32_t demand = source.demands[activity * resources + resource];
            const std::int32_t capacity = source.capacities[resource];
            if (demand < 0) {
                if (message_text* text = findings.add(number))
                    text->append("negative demand ")
                        .append_number(demand)
                        .append(" for resource ")
                        .append_number(static_cast<std::int64_t>(resource + 1));
            } else if (demand > capacity && capacity >= 0) {
                if (message_text* text = findings.add(number))
                    text->append("demand ")
                        .append_number(demand)
                        .append(" for resource ")
                        .append_number(static_cast<std::int64_t>(resource + 1))
                        .append(" is above its capacity ")
                        .append_number(capacity);
            }
        }
        const std::int32_t count = source.successor_counts[activity];
        if (count < 0)
            if (message_text* text = findings.add(number))
                text->append("negative successor count ").append_number(count);
        for (std::int32_t index = 0; index < count; ++index, ++cursor) {
            const std::int64_t successor = source.successors[cursor];
            if (successor < 0 || successor >= activity_count) {
                if (message_text* text = findings.add(number))
                    text->append("successor ")
                        .append_number(successor + 1)
                        .append(" is outside 1..")
                        .append_number(activity_count);
            } else if (static_cast<std::size_t>(successor) == activity) {
                if (message_text* text = findings.add(number)) text->append("is its own successor");
            } else if (listed_by[static_cast<std::size_t>(successor)] == activity) {
                if (message_text* text = findings.add(number))
                    text->append("lists successor ").append_number(successor + 1).append(" twice");
            } else {
                listed_by[static_cast<std::size_t>(successor)] = activity;
            }
        }
    }
    if (activity_count < 2) return report;

    const auto has_demands = [&source, resources](std::size_t activity) {
        for (std::size_t resource = 0; resource < resources; ++resource)
            if (source.demands[activity * resources + resource] != 0) return true;
        return false;
    };
    const std::size_t last = activities - 1;
    if (source.durations[0] != 0 || has_demands(0))
        if (message_text* text = findings.add(0)) text->append("not a dummy start (duration 0, no demands)");
    if (source.durations[last] != 0 || has_demands(last) || source.successor_counts[last] > 0)
        if (message_text* text = findings.add(static_cast<std::int64_t>(last)))
            text->append("not a dummy end (duration 0, no demands, no successors)");

    const precedence_graph graph = build_precedence_graph(source, true);
    const std::vector<node> cycle = find_cycle(graph, activities);
    if (!cycle.empty())
        if (message_text* text = findings.add(cycle.front())) {
            constexpr std::size_t named = 12;
            text->append("on a precedence cycle of ")
                .append_number(static_cast<std::int64_t>(cycle.size()))
                .append(" activities: ");
            for (std::size_t index = 0; index < cycle.size() && index < named; ++index)
                text->append_number(std::int64_t{cycle[index]} + 1).append(" -> ");
            if (cycle.size() > named) text->append("... -> ");
            text->append_number(std::int64_t{cycle.front()} + 1);
        }

    const std::vector<bool> from_start = reachable(graph.successor_start, graph.successors, activities, 0);
    for (std::size_t activity = 0; activity < activities; ++activity)
        if (!from_start[activity])
            if (message_text* text = findings.add(static_cast<std::int64_t>(activity)))
                text->append("can't be reached from activity 1");
    const std::vector<bool> to_end =
        reachable(graph.predecessor_start, graph.predecessors, activities, static_cast<node>(last));
    for (std::size_t activity = 0; activity < activities; ++activity)
        if (!to_end[activity])
            if (message_text* text = findings.add(static_cast<std::int64_t>(activity)))
                text->append("activity ").append_number(activity_count).append(" can't be reached from it");
    return report;
}

} // namespace converter
