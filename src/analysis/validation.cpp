#include "analysis/validation.h"

#include <algorithm>

#include "analysis/precedence_graph.h"
#include "analysis/time_lags.h"

namespace converter {
namespace {

using node = activity_index;

// Names activities as the input does.
class activity_names {
public:
    activity_names(const instance& source, const activity_naming& naming)
        : naming_(naming), last_(std::int64_t{source.activity_count} - 1), dummies_added_(source.dummies_added) {}

    // The activity at `activity` (0-based), as the file names it.
    message_text& name(message_text& text, std::int64_t activity) const {
        if (dummies_added_ && activity == 0) return text.append("the dummy start added by the reader");
        if (dummies_added_ && activity == last_) return text.append("the dummy end added by the reader");
        if (naming_.word == nullptr) return text.append("activities[").append_number(number(activity)).append("]");
        return text.append(naming_.word).append(" ").append_number(number(activity));
    }
    // Its number alone, as a successor list writes it.
    std::int64_t number(std::int64_t activity) const { return activity + naming_.first - (dummies_added_ ? 1 : 0); }
    const char* plural() const { return naming_.plural; }

private:
    const activity_naming& naming_;
    std::int64_t last_;
    bool dummies_added_;
};

// Keeps the first `limit` findings in file order (by activity, then in the
// order found), counting the rest: a max-heap on that order, so that a text is
// written only for a finding that is kept for now.
class report_builder {
public:
    report_builder(validation_report& report, std::size_t limit, const activity_names& names)
        : report_(report), limit_(limit), names_(names) {}

    // Starts a finding about `activity` (0-based), or about no activity when
    // negative; returns its text to finish, or nullptr when it is only counted.
    message_text* add(std::int64_t activity) {
        ++report_.total;
        const key candidate{activity + 1, report_.total};
        if (limit_ == 0) return nullptr;
        if (keys_.size() == limit_) {
            if (!(candidate < keys_.front())) return nullptr;
            std::pop_heap(keys_.begin(), keys_.end());
            const std::size_t slot = keys_.back().slot;
            keys_.back() = {candidate.activity, candidate.sequence, slot};
            std::push_heap(keys_.begin(), keys_.end());
            report_.findings[slot] = {activity + 1, message_text()};
            return start(report_.findings[slot].text, activity);
        }
        keys_.push_back({candidate.activity, candidate.sequence, report_.findings.size()});
        std::push_heap(keys_.begin(), keys_.end());
        report_.findings.push_back({activity + 1, message_text()});
        return start(report_.findings.back().text, activity);
    }

    // The kept findings in file order.
    void finish() {
        std::sort(keys_.begin(), keys_.end());
        std::vector<finding> ordered;
        ordered.reserve(keys_.size());
        for (const key& kept : keys_) ordered.push_back(std::move(report_.findings[kept.slot]));
        report_.findings = std::move(ordered);
    }

private:
    struct key {
        std::int64_t activity;
        std::uint64_t sequence;
        std::size_t slot = 0; // in report_.findings
        bool operator<(const key& other) const {
            return activity != other.activity ? activity < other.activity : sequence < other.sequence;
        }
    };

    message_text* start(message_text& text, std::int64_t activity) {
        if (activity >= 0) names_.name(text, activity).append(": ");
        return &text;
    }

    validation_report& report_;
    std::size_t limit_;
    const activity_names& names_;
    std::vector<key> keys_;
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

void find_problems(const instance& source, const trailing_tokens* trailing, const activity_names& names,
                   report_builder& findings) {
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
                        .append_number(names.number(successor))
                        .append(" is outside ")
                        .append_number(names.number(0))
                        .append("..")
                        .append_number(names.number(activity_count - 1));
            } else if (static_cast<std::size_t>(successor) == activity) {
                if (message_text* text = findings.add(number)) text->append("is its own successor");
            } else if (listed_by[static_cast<std::size_t>(successor)] == activity) {
                if (message_text* text = findings.add(number))
                    text->append("lists successor ").append_number(names.number(successor)).append(" twice");
            } else {
                listed_by[static_cast<std::size_t>(successor)] = activity;
            }
        }
    }
    if (activity_count < 2) return;

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
    // With general time lags cycles belong to the network (a maximal lag is an
    // arc back): only one whose lags add up to more than 0 forbids a schedule.
    std::vector<node> cycle;
    std::int64_t cycle_lag = 0;
    if (has_general_lags(source)) {
        lag_schedule schedule = earliest_starts_with_lags(source);
        cycle.assign(schedule.positive_cycle.begin(), schedule.positive_cycle.end());
        cycle_lag = schedule.cycle_lag;
        if (cycle.size() == 1) cycle.clear(); // an activity its own successor: found above
    } else {
        cycle = find_cycle(graph, activities);
    }
    if (!cycle.empty())
        if (message_text* text = findings.add(cycle.front())) {
            constexpr std::size_t named = 12;
            text->append(has_general_lags(source) ? "on a cycle of " : "on a precedence cycle of ")
                .append_number(static_cast<std::int64_t>(cycle.size()))
                .append(" ")
                .append(names.plural());
            if (has_general_lags(source))
                text->append(" whose time lags add up to ")
                    .append_number(cycle_lag)
                    .append(", more than 0, so that no schedule exists");
            text->append(": ");
            for (std::size_t index = 0; index < cycle.size() && index < named; ++index)
                text->append_number(names.number(cycle[index])).append(" -> ");
            if (cycle.size() > named) text->append("... -> ");
            text->append_number(names.number(cycle.front()));
        }

    const std::vector<bool> from_start = reachable(graph.successor_start, graph.successors, activities, 0);
    for (std::size_t activity = 0; activity < activities; ++activity)
        if (!from_start[activity])
            if (message_text* text = findings.add(static_cast<std::int64_t>(activity)))
                names.name(text->append("can't be reached from "), 0);
    const std::vector<bool> to_end =
        reachable(graph.predecessor_start, graph.predecessors, activities, static_cast<node>(last));
    for (std::size_t activity = 0; activity < activities; ++activity)
        if (!to_end[activity])
            if (message_text* text = findings.add(static_cast<std::int64_t>(activity)))
                names.name(*text, activity_count - 1).append(" can't be reached from it");
}

} // namespace

validation_report validate(const instance& source, std::size_t limit, const trailing_tokens* trailing,
                           const activity_naming& naming) {
    validation_report report;
    const activity_names names(source, naming);
    report_builder findings(report, limit, names);
    find_problems(source, trailing, names, findings);
    findings.finish();
    return report;
}

} // namespace converter
