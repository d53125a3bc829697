#include "analysis/validation.h"

#include <algorithm>

#include "analysis/csv_field.h"
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
    message_text* add(std::int64_t activity, finding_level level) {
        ++report_.total;
        ++report_.by_level[static_cast<std::size_t>(level)];
        const key candidate{activity + 1, report_.total};
        if (limit_ == 0) return nullptr;
        if (keys_.size() == limit_) {
            if (!(candidate < keys_.front())) return nullptr;
            std::pop_heap(keys_.begin(), keys_.end());
            const std::size_t slot = keys_.back().slot;
            keys_.back() = {candidate.activity, candidate.sequence, slot};
            std::push_heap(keys_.begin(), keys_.end());
            report_.findings[slot] = {activity + 1, level, message_text()};
            return start(report_.findings[slot].text, activity);
        }
        keys_.push_back({candidate.activity, candidate.sequence, report_.findings.size()});
        std::push_heap(keys_.begin(), keys_.end());
        report_.findings.push_back({activity + 1, level, message_text()});
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

// Whether some choice of one usable mode per activity keeps within every
// capacity in `totals` at once. Without a deadline that decides whether any
// schedule exists: modes within the per-period capacities can always be run
// one after another. Taken as a walk over the activities that keeps the
// Pareto-minimal sums of the choices so far (an activity with a mode no worse
// than its others in every resource only adds that mode's demands), given up
// past a fixed amount of work (with a note that says so), as a crafted file
// could make it exponential; PSPLIB's files take up to some thousands of
// steps, MMLIB's 100-activity ones some million.
void find_no_mode_choice(const instance& source, const std::vector<std::size_t>& first_mode,
                         const std::vector<char>& usable, const std::vector<std::size_t>& totals,
                         report_builder& findings) {
    const auto activities = static_cast<std::size_t>(source.activity_count);
    const auto resources = static_cast<std::size_t>(source.resource_count);
    const std::size_t width = totals.size();
    std::vector<std::int64_t> room(width);
    for (std::size_t total = 0; total < width; ++total) room[total] = source.capacities[totals[total]];
    const auto demand = [&](std::size_t mode, std::size_t total) {
        return std::max<std::int64_t>(source.demands[mode * resources + totals[total]], 0);
    };
    const auto no_worse = [&](std::size_t mode, std::size_t other) {
        for (std::size_t total = 0; total < width; ++total)
            if (demand(mode, total) > demand(other, total)) return false;
        return true;
    };
    constexpr std::uint64_t most_steps = 50000000;
    // Sums made at once, at most: the memory of one step of the walk.
    constexpr std::uint64_t most_values = 8000000;
    std::uint64_t steps = 0;
    const auto give_up = [&] {
        if (message_text* text = findings.add(-1, finding_level::note)) {
            text->append("not decided: whether some choice of one mode per activity keeps within the capacities of "
                         "resources ");
            for (std::size_t total = 0; total < width; ++total)
                text->append(total == 0           ? ""
                             : total + 1 == width ? " and "
                                                  : ", ")
                    .append_number(static_cast<std::int64_t>(totals[total] + 1));
            text->append(", counted over the whole project (the search stops after ")
                .append_number(static_cast<std::int64_t>(most_steps))
                .append(" steps)");
        }
    };
    // Each activity's modes worth choosing; one alone is taken off the room.
    // In lexicographic order of demands a mode can only be dominated by one
    // before it, and then by one kept before it, so each is compared with
    // those kept so far, not with every other. Setting dominated modes aside
    // only saves the walk work: past its own budget of comparisons (many
    // modes, none dominated) the activities left keep every usable mode.
    constexpr std::uint64_t most_comparisons = 10000000;
    std::uint64_t comparisons = 0;
    std::vector<std::size_t> choices, choice_start{0}, unfiltered;
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::size_t begin = choices.size();
        for (std::size_t mode = first_mode[activity]; mode < first_mode[activity + 1]; ++mode)
            if (usable[mode] != 0) choices.push_back(mode);
        if (comparisons <= most_comparisons && choices.size() - begin > 1) {
            unfiltered.assign(choices.begin() + static_cast<std::ptrdiff_t>(begin), choices.end());
            std::stable_sort(choices.begin() + static_cast<std::ptrdiff_t>(begin), choices.end(),
                             [&](std::size_t left, std::size_t right) {
                                 for (std::size_t total = 0; total < width; ++total)
                                     if (demand(left, total) != demand(right, total))
                                         return demand(left, total) < demand(right, total);
                                 return false;
                             });
            std::size_t kept = begin;
            for (std::size_t index = begin; index < choices.size() && comparisons <= most_comparisons; ++index) {
                bool dominated = false;
                for (std::size_t other = begin; other < kept && !dominated; ++other)
                    dominated = no_worse(choices[other], choices[index]);
                comparisons += kept - begin + 1;
                if (!dominated) choices[kept++] = choices[index];
            }
            if (comparisons <= most_comparisons)
                choices.resize(kept);
            else
                std::copy(unfiltered.begin(), unfiltered.end(), choices.begin() + static_cast<std::ptrdiff_t>(begin));
        }
        if (choices.size() - begin == 1) {
            for (std::size_t total = 0; total < width; ++total) room[total] -= demand(choices[begin], total);
            choices.pop_back();
        } else {
            choice_start.push_back(choices.size());
        }
    }
    for (const std::int64_t left : room)
        if (left < 0) return; // the sums of the smallest demands say so already
    std::vector<std::int64_t> front(width, 0), next;
    std::vector<std::size_t> order;
    for (std::size_t choice = 0; choice + 1 < choice_start.size(); ++choice) {
        next.clear();
        const std::size_t sums = front.size() / width;
        // The sums this step makes are counted before they are made.
        const std::uint64_t made =
            static_cast<std::uint64_t>(sums) * (choice_start[choice + 1] - choice_start[choice]) * width;
        steps += made;
        if (steps > most_steps || made > most_values) return give_up();
        for (std::size_t sum = 0; sum < sums; ++sum)
            for (std::size_t index = choice_start[choice]; index < choice_start[choice + 1]; ++index) {
                const std::size_t at = next.size();
                bool fits = true;
                for (std::size_t total = 0; total < width && fits; ++total) {
                    const std::int64_t value = front[sum * width + total] + demand(choices[index], total);
                    fits = value <= room[total];
                    next.push_back(value);
                }
                if (!fits) next.resize(at);
            }
        // After the last activity any sum that fits decides it.
        if (!next.empty() && choice + 2 == choice_start.size()) return;
        // Keeps the sums no other is below in every resource: in
        // lexicographic order a sum can only be dominated by one before it.
        const std::size_t candidates = next.size() / width;
        order.resize(candidates);
        for (std::size_t candidate = 0; candidate < candidates; ++candidate) order[candidate] = candidate;
        std::sort(order.begin(), order.end(), [&](std::size_t left, std::size_t right) {
            return std::lexicographical_compare(next.begin() + static_cast<std::ptrdiff_t>(left * width),
                                                next.begin() + static_cast<std::ptrdiff_t>((left + 1) * width),
                                                next.begin() + static_cast<std::ptrdiff_t>(right * width),
                                                next.begin() + static_cast<std::ptrdiff_t>((right + 1) * width));
        });
        front.clear();
        for (const std::size_t candidate : order) {
            const std::int64_t* const values = next.data() + candidate * width;
            bool dominated = false;
            const std::size_t kept = front.size() / width;
            for (std::size_t sum = 0; sum < kept && !dominated; ++sum) {
                dominated = true;
                for (std::size_t total = 0; total < width && dominated; ++total)
                    dominated = front[sum * width + total] <= values[total];
            }
            steps += kept + 1;
            if (steps > most_steps) return give_up();
            if (!dominated) front.insert(front.end(), values, values + width);
        }
        if (front.empty()) {
            if (message_text* text = findings.add(-1, finding_level::infeasible)) {
                text->append("resources ");
                for (std::size_t total = 0; total < width; ++total)
                    text->append(total == 0           ? ""
                                 : total + 1 == width ? " and "
                                                      : ", ")
                        .append_number(static_cast<std::int64_t>(totals[total] + 1));
                text->append(", counted over the whole project: no choice of one mode per activity keeps within "
                             "all their capacities, so that no schedule exists");
            }
            return;
        }
    }
}

// Modes that can take part in no schedule are set aside round after round, as
// Sprecher, Hartmann and Drexl (1997) preprocess PSPLIB's multi-mode sets: a
// mode whose demand of a resource that counts over the whole project, added
// to every other activity's smallest demand of it, passes its capacity can't
// be chosen, and setting it aside can raise the smallest demands that the
// next round sums. The sums passing a capacity, or an activity left with no
// mode, prove that no schedule exists; with two such resources or more,
// find_no_mode_choice then decides on the modes left.
void find_mode_choice_problems(const instance& source, report_builder& findings) {
    const auto activities = static_cast<std::size_t>(source.activity_count);
    const auto resources = static_cast<std::size_t>(source.resource_count);
    std::vector<std::size_t> totals; // resources counted over the project
    for (std::size_t resource = 0; resource < resources; ++resource) {
        if (source.capacities[resource] < 0) return; // a finding of its own
        if (kind_of(source, resource) != resource_kind::renewable) totals.push_back(resource);
    }
    const std::vector<std::size_t> first_mode = first_modes(source);
    const auto demand = [&](std::size_t mode, std::size_t resource) {
        return std::max<std::int64_t>(source.demands[mode * resources + resource], 0);
    };
    // A mode above some capacity is a finding already, and an activity with no
    // other mode makes the instance infeasible on its own.
    std::vector<char> usable(first_mode[activities], 1);
    for (std::size_t activity = 0; activity < activities; ++activity) {
        bool any = false;
        for (std::size_t mode = first_mode[activity]; mode < first_mode[activity + 1]; ++mode) {
            for (std::size_t resource = 0; resource < resources; ++resource)
                if (demand(mode, resource) > source.capacities[resource]) usable[mode] = 0;
            any = any || usable[mode] != 0;
        }
        if (!any) return;
    }
    // The activity's smallest demand of each resource in `totals`, over its
    // usable modes; false when it has none.
    std::vector<std::int64_t> least(totals.size());
    const auto smallest = [&](std::size_t activity) {
        bool any = false;
        for (std::size_t mode = first_mode[activity]; mode < first_mode[activity + 1]; ++mode) {
            if (usable[mode] == 0) continue;
            for (std::size_t total = 0; total < totals.size(); ++total)
                least[total] = any ? std::min(least[total], demand(mode, totals[total])) : demand(mode, totals[total]);
            any = true;
        }
        return any;
    };
    std::vector<std::int64_t> sums(totals.size());
    // Rounds are bounded so that a crafted file can't make the check quadratic;
    // PSPLIB's files settle in a few.
    constexpr int most_rounds = 32;
    for (int round = 0; round < most_rounds; ++round) {
        std::fill(sums.begin(), sums.end(), 0);
        for (std::size_t activity = 0; activity < activities; ++activity) {
            if (!smallest(activity)) {
                if (message_text* text = findings.add(static_cast<std::int64_t>(activity), finding_level::infeasible))
                    text->append("no mode is left once the modes that can't keep within the capacities of the "
                                 "resources counted over the whole project are set aside, so that no schedule exists");
                return;
            }
            for (std::size_t total = 0; total < totals.size(); ++total) sums[total] += least[total];
        }
        bool over = false;
        for (std::size_t total = 0; total < totals.size(); ++total) {
            const std::size_t resource = totals[total];
            if (sums[total] <= source.capacities[resource]) continue;
            over = true;
            if (message_text* text = findings.add(-1, finding_level::infeasible))
                text->append("resource ")
                    .append_number(static_cast<std::int64_t>(resource + 1))
                    .append(kind_of(source, resource) == resource_kind::nonrenewable ? " (nonrenewable)"
                                                                                     : " (doubly constrained)")
                    .append(": capacity ")
                    .append_number(source.capacities[resource])
                    .append(" is below ")
                    .append_number(sums[total])
                    .append(round == 0 ? ", the sum of every activity's smallest demand of it"
                                       : ", the sum of every activity's smallest demand of it in the modes that "
                                         "can keep within the capacities")
                    .append(", so that no schedule exists");
        }
        if (over) return;
        bool set_aside = false;
        for (std::size_t activity = 0; activity < activities; ++activity) {
            smallest(activity);
            for (std::size_t mode = first_mode[activity]; mode < first_mode[activity + 1]; ++mode) {
                if (usable[mode] == 0) continue;
                for (std::size_t total = 0; total < totals.size() && usable[mode] != 0; ++total)
                    if (demand(mode, totals[total]) - least[total] > source.capacities[totals[total]] - sums[total]) {
                        usable[mode] = 0;
                        set_aside = true;
                    }
            }
        }
        if (!set_aside) break;
    }
    if (totals.size() >= 2) find_no_mode_choice(source, first_mode, usable, totals, findings);
}

void find_problems(const instance& source, const trailing_tokens* trailing, const activity_names& names,
                   report_builder& findings) {
    if (trailing != nullptr && trailing->count != 0)
        if (message_text* text = findings.add(-1, finding_level::invalid))
            text->append("the file goes on after the last activity (line ")
                .append_number(static_cast<std::int64_t>(trailing->first_line))
                .append("): ")
                .append_number(static_cast<std::int64_t>(trailing->count))
                .append(trailing->count == 1 ? " more value" : " more values");
    const std::int64_t activity_count = source.activity_count;
    const std::size_t activities = activity_count > 0 ? static_cast<std::size_t>(activity_count) : 0;
    const std::size_t resources = source.resource_count > 0 ? static_cast<std::size_t>(source.resource_count) : 0;

    if (activity_count < 2)
        if (message_text* text = findings.add(-1, finding_level::invalid))
            text->append("the activity count is ")
                .append_number(activity_count)
                .append("; a project needs at least a dummy start and a dummy end");

    for (std::size_t resource = 0; resource < resources; ++resource)
        if (source.capacities[resource] < 0)
            if (message_text* text = findings.add(-1, finding_level::invalid))
                text->append("resource ")
                    .append_number(static_cast<std::int64_t>(resource + 1))
                    .append(": negative capacity ")
                    .append_number(source.capacities[resource]);

    if (has_other_kinds(source)) find_mode_choice_problems(source, findings);

    // The activity that listed each successor last, to find repeats in one list.
    std::vector<std::size_t> listed_by(activities, activities);
    std::size_t cursor = 0;
    std::size_t first_mode = 0;
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const auto number = static_cast<std::int64_t>(activity);
        const std::int32_t modes = modes_of(source, activity);
        // With several modes each finding names its mode, from 1.
        const auto start = [&](std::int32_t mode, finding_level level = finding_level::invalid) -> message_text* {
            message_text* const text = findings.add(number, level);
            if (text != nullptr && modes != 1) text->append("mode ").append_number(mode + 1).append(": ");
            return text;
        };
        bool some_mode_fits = false;
        for (std::int32_t mode = 0; mode < modes; ++mode) {
            const std::size_t place = first_mode + static_cast<std::size_t>(mode);
            if (source.durations[place] < 0)
                if (message_text* text = start(mode))
                    text->append("negative duration ").append_number(source.durations[place]);
            bool fits = true;
            for (std::size_t resource = 0; resource < resources; ++resource) {
                const std::int32_t demand = source.demands[place * resources + resource];
                const std::int32_t capacity = source.capacities[resource];
                fits = fits && demand <= capacity;
                if (demand < 0) {
                    if (message_text* text = start(mode))
                        text->append("negative demand ")
                            .append_number(demand)
                            .append(" for resource ")
                            .append_number(static_cast<std::int64_t>(resource + 1));
                } else if (demand > capacity && capacity >= 0) {
                    // The only mode of an activity above a capacity can never
                    // run; one of several is a mode not to choose.
                    if (message_text* text =
                            start(mode, modes == 1 ? finding_level::infeasible : finding_level::note)) {
                        text->append("demand ")
                            .append_number(demand)
                            .append(" for resource ")
                            .append_number(static_cast<std::int64_t>(resource + 1))
                            .append(" is above its capacity ")
                            .append_number(capacity);
                        if (modes == 1) text->append(", so that no schedule exists");
                    }
                }
            }
            some_mode_fits = some_mode_fits || fits;
        }
        if (modes > 1 && !some_mode_fits)
            if (message_text* text = findings.add(number, finding_level::infeasible))
                text->append("no mode fits the capacities: each demands more than some resource's capacity, so that "
                             "no schedule exists");
        first_mode += static_cast<std::size_t>(modes > 0 ? modes : 0);
        const std::int32_t count = source.successor_counts[activity];
        if (count < 0)
            if (message_text* text = findings.add(number, finding_level::invalid))
                text->append("negative successor count ").append_number(count);
        for (std::int32_t index = 0; index < count; ++index, ++cursor) {
            const std::int64_t successor = source.successors[cursor];
            if (successor < 0 || successor >= activity_count) {
                if (message_text* text = findings.add(number, finding_level::invalid))
                    text->append("successor ")
                        .append_number(names.number(successor))
                        .append(" is outside ")
                        .append_number(names.number(0))
                        .append("..")
                        .append_number(names.number(activity_count - 1));
            } else if (static_cast<std::size_t>(successor) == activity) {
                if (message_text* text = findings.add(number, finding_level::invalid))
                    text->append("is its own successor");
            } else if (listed_by[static_cast<std::size_t>(successor)] == activity) {
                if (message_text* text = findings.add(number, finding_level::invalid))
                    text->append("lists successor ").append_number(names.number(successor)).append(" twice");
            } else {
                listed_by[static_cast<std::size_t>(successor)] = activity;
            }
        }
    }
    if (activity_count < 2) return;

    // A dummy has one mode (at `mode` in durations), of duration 0, no demands.
    const auto is_dummy = [&source, resources](std::size_t activity, std::size_t mode) {
        if (modes_of(source, activity) != 1 || source.durations[mode] != 0) return false;
        for (std::size_t resource = 0; resource < resources; ++resource)
            if (source.demands[mode * resources + resource] != 0) return false;
        return true;
    };
    const std::size_t last = activities - 1;
    const bool one_mode_each = !has_modes(source);
    if (!is_dummy(0, 0))
        if (message_text* text = findings.add(0, finding_level::invalid))
            text->append(one_mode_each ? "not a dummy start (duration 0, no demands)"
                                       : "not a dummy start (one mode, duration 0, no demands)");
    if (!is_dummy(last, first_mode - 1) || source.successor_counts[last] > 0)
        if (message_text* text = findings.add(static_cast<std::int64_t>(last), finding_level::invalid))
            text->append(one_mode_each ? "not a dummy end (duration 0, no demands, no successors)"
                                       : "not a dummy end (one mode, duration 0, no demands, no successors)");

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
        if (schedule.undecided)
            if (message_text* text = findings.add(-1, finding_level::note))
                text->append("not decided: whether the time lags hold a cycle that adds up to more than 0 (the search "
                             "stops after looking at ")
                    .append_number(static_cast<std::int64_t>(lag_relaxation_budget))
                    .append(" arcs)");
        forced_overlap overlap;
        if (!schedule.earliest.empty() && !has_modes(source) && find_forced_overlap(source, overlap))
            if (message_text* text = findings.add(overlap.activities.front(), finding_level::infeasible)) {
                const std::size_t others = overlap.activities.size() - 1;
                text->append(others == 1 ? "must overlap with " : "must overlap pairwise with ");
                for (std::size_t index = 1; index <= others; ++index)
                    text->append(index == 1        ? ""
                                 : index == others ? " and "
                                                   : ", ")
                        .append_number(names.number(overlap.activities[index]));
                text->append(others == 1 ? " (the time lags leave room for neither order), and the two demand "
                                         : " (the time lags leave room for neither order of any two), and together "
                                           "they demand ")
                    .append_number(overlap.demand)
                    .append(" of resource ")
                    .append_number(static_cast<std::int64_t>(overlap.resource + 1))
                    .append(", above its capacity ")
                    .append_number(source.capacities[overlap.resource])
                    .append(", so that no schedule exists");
            }
    } else {
        cycle = find_cycle(graph, activities);
    }
    if (!cycle.empty())
        if (message_text* text = findings.add(cycle.front(), has_general_lags(source) ? finding_level::infeasible
                                                                                      : finding_level::invalid)) {
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
            if (message_text* text = findings.add(static_cast<std::int64_t>(activity), finding_level::invalid))
                names.name(text->append("can't be reached from "), 0);
    const std::vector<bool> to_end =
        reachable(graph.predecessor_start, graph.predecessors, activities, static_cast<node>(last));
    for (std::size_t activity = 0; activity < activities; ++activity)
        if (!to_end[activity])
            if (message_text* text = findings.add(static_cast<std::int64_t>(activity), finding_level::invalid))
                names.name(*text, activity_count - 1).append(" can't be reached from it");
}

} // namespace

message_text& append_activity(message_text& text, const instance& source, const activity_naming& naming,
                              std::int64_t activity) {
    return activity_names(source, naming).name(text, activity);
}

std::int64_t activity_number(const instance& source, const activity_naming& naming, std::int64_t activity) {
    return activity_names(source, naming).number(activity);
}

const char* findings_csv_header() { return "file,level,element,message"; }

void append_findings_csv_row(std::string& rows, std::string_view file, const finding& item) {
    const std::string_view text = item.text.view();
    // An activity's finding starts with its name and ": "; a resource's with
    // "resource K" up to its first ":" or ",".
    std::size_t element = 0, message = 0;
    if (item.activity != 0) {
        element = text.find(": ");
        message = element == std::string_view::npos ? 0 : element + 2;
        if (element == std::string_view::npos) element = 0;
    } else if (text.substr(0, 9) == "resource ") {
        element = text.find_first_of(":,");
        if (element == std::string_view::npos) element = 0;
        message =
            element == 0 ? 0 : element + (text.substr(element, 2) == ": " || text.substr(element, 2) == ", " ? 2 : 1);
    }
    append_csv_field(rows, file);
    rows += ',';
    rows += level_name(item.level);
    rows += ',';
    append_csv_field(rows, text.substr(0, element));
    rows += ',';
    append_csv_field(rows, text.substr(message));
    rows += '\n';
}

const char* level_name(finding_level level) {
    switch (level) {
    case finding_level::invalid: return "invalid";
    case finding_level::infeasible: return "infeasible";
    case finding_level::note: break;
    }
    return "note";
}

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
