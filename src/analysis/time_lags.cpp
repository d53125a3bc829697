#include "analysis/time_lags.h"

#include <algorithm>
#include <limits>

namespace converter {
namespace {

constexpr activity_index none = std::numeric_limits<activity_index>::max();

struct arcs_of {
    std::vector<std::size_t> start; // arcs of a: start[a]..start[a + 1]
    std::vector<activity_index> target;
    std::vector<std::int32_t> lag;
};

// Tarjan's components, numbered in the order they complete: every arc between
// two components goes from a higher number to a lower one.
std::vector<std::uint32_t> components(const arcs_of& arcs, std::size_t activities, std::uint32_t& count) {
    std::vector<std::uint32_t> component(activities, std::numeric_limits<std::uint32_t>::max());
    std::vector<std::uint32_t> index(activities, 0), low(activities, 0);
    std::vector<activity_index> stack;
    std::vector<std::pair<activity_index, std::size_t>> calls; // activity, next arc
    std::uint32_t next_index = 1;
    count = 0;
    for (std::size_t root = 0; root < activities; ++root) {
        if (index[root] != 0) continue;
        calls.push_back({static_cast<activity_index>(root), arcs.start[root]});
        index[root] = low[root] = next_index++;
        stack.push_back(static_cast<activity_index>(root));
        while (!calls.empty()) {
            auto& [activity, arc] = calls.back();
            if (arc < arcs.start[activity + 1]) {
                const activity_index target = arcs.target[arc++];
                if (index[target] == 0) {
                    index[target] = low[target] = next_index++;
                    stack.push_back(target);
                    calls.push_back({target, arcs.start[target]});
                } else if (component[target] == std::numeric_limits<std::uint32_t>::max()) {
                    low[activity] = std::min(low[activity], index[target]);
                }
                continue;
            }
            const activity_index done = activity;
            calls.pop_back();
            if (!calls.empty()) low[calls.back().first] = std::min(low[calls.back().first], low[done]);
            if (low[done] != index[done]) continue;
            for (;;) {
                const activity_index member = stack.back();
                stack.pop_back();
                component[member] = count;
                if (member == done) break;
            }
            ++count;
        }
    }
    return component;
}

// A cycle among the best predecessors of the component [first, last), if
// they hold one.
std::vector<activity_index> cycle_of_predecessors(const activity_index* first, const activity_index* last,
                                                  const std::vector<activity_index>& best_predecessor,
                                                  std::vector<std::uint32_t>& walk_mark, std::uint32_t& walk) {
    for (const activity_index* member = first; member != last; ++member) {
        ++walk;
        activity_index at = *member;
        while (at != none && walk_mark[at] == 0) {
            walk_mark[at] = walk;
            at = best_predecessor[at];
        }
        if (at == none || walk_mark[at] != walk) continue;
        // `at` is on a cycle met in this walk.
        std::vector<activity_index> cycle{at};
        for (activity_index back = best_predecessor[at]; back != at; back = best_predecessor[back])
            cycle.push_back(back);
        std::reverse(cycle.begin(), cycle.end());
        std::rotate(cycle.begin(), std::min_element(cycle.begin(), cycle.end()), cycle.end());
        for (const activity_index* again = first; again != last; ++again) walk_mark[*again] = 0;
        return cycle;
    }
    for (const activity_index* member = first; member != last; ++member) walk_mark[*member] = 0;
    return {};
}

} // namespace

lag_schedule earliest_starts_with_lags(const instance& source) {
    lag_schedule result;
    const std::size_t activities = source.activity_count > 0 ? static_cast<std::size_t>(source.activity_count) : 0;
    arcs_of arcs;
    arcs.start.assign(activities + 1, 0);
    arcs.target.reserve(source.successors.size());
    arcs.lag.reserve(source.successors.size());
    for (std::size_t activity = 0, cursor = 0; activity < activities; ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        for (std::int32_t position = 0; position < count; ++position, ++cursor) {
            const std::int32_t successor = source.successors[cursor];
            if (successor < 0 || static_cast<std::size_t>(successor) >= activities) return result;
            const std::int32_t lag = lag_of(source, cursor, activity);
            if (static_cast<std::size_t>(successor) == activity) {
                if (lag <= 0) continue;
                result.positive_cycle = {static_cast<activity_index>(activity)};
                result.cycle_lag = lag;
                return result;
            }
            arcs.target.push_back(static_cast<activity_index>(successor));
            arcs.lag.push_back(lag);
        }
        arcs.start[activity + 1] = arcs.target.size();
    }
    std::uint32_t count = 0;
    const std::vector<std::uint32_t> component = components(arcs, activities, count);
    // Members of each component, the components in topological order.
    std::vector<std::size_t> first_member(count + 1, 0);
    for (const std::uint32_t of : component) ++first_member[count - of];
    for (std::size_t place = 1; place <= count; ++place) first_member[place] += first_member[place - 1];
    std::vector<activity_index> members(activities);
    {
        std::vector<std::size_t> next(first_member.begin(), first_member.end() - 1);
        for (std::size_t activity = 0; activity < activities; ++activity)
            members[next[count - 1 - component[activity]]++] = static_cast<activity_index>(activity);
    }
    std::vector<std::int64_t> start(activities, 0);
    std::vector<activity_index> best_predecessor(activities, none);
    std::vector<std::uint32_t> passes(activities, 0), walk_mark(activities, 0);
    std::vector<char> queued(activities, 0);
    std::vector<activity_index> queue;
    std::uint32_t walk = 0;
    std::uint64_t relaxations = 0;
    for (std::size_t place = 0; place < count; ++place) {
        const std::size_t first = first_member[place], last = first_member[place + 1];
        const std::size_t size = last - first;
        const std::uint32_t own = component[members[first]];
        if (size > 1) {
            // Passes until nothing changes, or a positive cycle shows. The queue
            // is a ring: each activity is in it at most once at a time.
            queue.assign(members.begin() + static_cast<std::ptrdiff_t>(first),
                         members.begin() + static_cast<std::ptrdiff_t>(last));
            for (std::size_t at = first; at < last; ++at) queued[members[at]] = 1;
            std::size_t head = 0, waiting = size;
            while (waiting != 0) {
                const activity_index activity = queue[head];
                head = head + 1 == size ? 0 : head + 1;
                --waiting;
                queued[activity] = 0;
                relaxations += arcs.start[activity + 1] - arcs.start[activity];
                if (relaxations > lag_relaxation_budget) {
                    result.undecided = true;
                    return result;
                }
                for (std::size_t arc = arcs.start[activity]; arc < arcs.start[activity + 1]; ++arc) {
                    const activity_index target = arcs.target[arc];
                    if (component[target] != own || start[activity] + arcs.lag[arc] <= start[target]) continue;
                    start[target] = start[activity] + arcs.lag[arc];
                    best_predecessor[target] = activity;
                    if (queued[target]) continue;
                    queued[target] = 1;
                    queue[(head + waiting) % size] = target;
                    ++waiting;
                    if (++passes[target] % size != 0) continue;
                    std::vector<activity_index> cycle = cycle_of_predecessors(
                        members.data() + first, members.data() + last, best_predecessor, walk_mark, walk);
                    if (cycle.empty()) continue;
                    std::int64_t total = 0;
                    for (std::size_t step = 0; step < cycle.size(); ++step) {
                        const activity_index from = cycle[step], to = cycle[(step + 1) % cycle.size()];
                        std::int32_t best = std::numeric_limits<std::int32_t>::min();
                        for (std::size_t out = arcs.start[from]; out < arcs.start[from + 1]; ++out)
                            if (arcs.target[out] == to) best = std::max(best, arcs.lag[out]);
                        total += best;
                    }
                    result.positive_cycle = std::move(cycle);
                    result.cycle_lag = total;
                    return result;
                }
            }
        }
        // The component is settled: its arcs to later components give them starts.
        for (std::size_t at = first; at < last; ++at) {
            const activity_index activity = members[at];
            for (std::size_t arc = arcs.start[activity]; arc < arcs.start[activity + 1]; ++arc) {
                const activity_index target = arcs.target[arc];
                if (component[target] != own && start[target] < start[activity] + arcs.lag[arc])
                    start[target] = start[activity] + arcs.lag[arc];
            }
        }
    }
    result.earliest = std::move(start);
    return result;
}

} // namespace converter
