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

// Every arc of `source` between activities within 0..N-1, self-arcs left out;
// false when a successor is outside.
bool arcs_between_activities(const instance& source, arcs_of& arcs) {
    const std::size_t activities = source.activity_count > 0 ? static_cast<std::size_t>(source.activity_count) : 0;
    arcs.start.assign(activities + 1, 0);
    arcs.target.clear();
    arcs.lag.clear();
    for (std::size_t activity = 0, cursor = 0; activity < activities; ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        for (std::int32_t position = 0; position < count; ++position, ++cursor) {
            const std::int32_t successor = source.successors[cursor];
            if (successor < 0 || static_cast<std::size_t>(successor) >= activities) return false;
            if (static_cast<std::size_t>(successor) == activity) continue;
            arcs.target.push_back(static_cast<activity_index>(successor));
            arcs.lag.push_back(lag_of(source, cursor, activity));
        }
        arcs.start[activity + 1] = arcs.target.size();
    }
    return true;
}

// An arc within a component, between places in it.
struct local_arc {
    std::size_t target;
    std::int64_t lag;
};

// The earliest starts within a component from all 0, which every arc then
// keeps (potential[to] >= potential[from] + lag); false should they not
// settle, which a cycle of positive lag would cause (the caller has ruled
// it out).
bool local_potentials(const std::vector<std::size_t>& start, const std::vector<local_arc>& arcs, std::size_t size,
                      std::vector<std::int64_t>& potential) {
    potential.assign(size, 0);
    for (std::size_t round = 0; round <= size; ++round) {
        bool changed = false;
        for (std::size_t from = 0; from < size; ++from)
            for (std::size_t arc = start[from]; arc < start[from + 1]; ++arc) {
                const std::int64_t reach = potential[from] + arcs[arc].lag;
                if (reach > potential[arcs[arc].target]) {
                    potential[arcs[arc].target] = reach;
                    changed = true;
                }
            }
        if (!changed) return true;
    }
    return false;
}

// The longest paths between every two places of a component, by Floyd and
// Warshall, into `distance` (size * size, no_path where there is none).
void floyd_warshall(const std::vector<std::size_t>& start, const std::vector<local_arc>& arcs, std::size_t size,
                    std::vector<std::int64_t>& distance) {
    constexpr std::int64_t no_path = std::numeric_limits<std::int64_t>::min();
    for (std::size_t from = 0; from < size; ++from) {
        distance[from * size + from] = 0;
        for (std::size_t arc = start[from]; arc < start[from + 1]; ++arc) {
            std::int64_t& best = distance[from * size + arcs[arc].target];
            best = std::max(best, arcs[arc].lag);
        }
    }
    for (std::size_t via = 0; via < size; ++via)
        for (std::size_t from = 0; from < size; ++from) {
            const std::int64_t first = distance[from * size + via];
            if (first == no_path) continue;
            for (std::size_t to = 0; to < size; ++to) {
                const std::int64_t second = distance[via * size + to];
                if (second != no_path && first + second > distance[from * size + to])
                    distance[from * size + to] = first + second;
            }
        }
}

// The same in 32 bits, four lanes a step where the compiler vectorises the
// inner loop, for a component whose paths are short enough: every path of
// `size` places has |length| below bound = size * largest |lag| + 1. No path
// is held as unreached = -(size + 2) * bound: a step adds at most a path's
// length to it, so after all `size` steps what was unreached is still below
// -2 * bound, under every path, with no test in the inner loop. Only where
// fits_in_32_bits: those values then lie within 32 bits.
std::int64_t path_bound(const std::vector<local_arc>& arcs, std::size_t size) {
    std::int64_t largest_lag = 0;
    for (const local_arc& arc : arcs) largest_lag = std::max(largest_lag, arc.lag < 0 ? -arc.lag : arc.lag);
    return static_cast<std::int64_t>(size) * largest_lag + 1;
}

bool fits_in_32_bits(std::int64_t bound, std::size_t size) {
    return bound <= (std::int64_t{1} << 30) / static_cast<std::int64_t>(size + 3);
}

void floyd_warshall_32(const std::vector<std::size_t>& start, const std::vector<local_arc>& arcs, std::size_t size,
                       std::int64_t bound, std::vector<std::int32_t>& short_distance,
                       std::vector<std::int64_t>& distance) {
    const auto unreached = static_cast<std::int32_t>(-static_cast<std::int64_t>(size + 2) * bound);
    short_distance.assign(size * size, unreached);
    for (std::size_t from = 0; from < size; ++from) {
        short_distance[from * size + from] = 0;
        for (std::size_t arc = start[from]; arc < start[from + 1]; ++arc) {
            std::int32_t& best = short_distance[from * size + arcs[arc].target];
            best = std::max(best, static_cast<std::int32_t>(arcs[arc].lag));
        }
    }
    const std::int32_t reached_above = static_cast<std::int32_t>(-bound);
    std::int32_t* const cells = short_distance.data();
    for (std::size_t via = 0; via < size; ++via) {
        const std::int32_t* const via_row = cells + via * size;
        for (std::size_t from = 0; from < size; ++from) {
            std::int32_t* const row = cells + from * size;
            const std::int32_t first = row[via];
            if (first < reached_above) continue;
            for (std::size_t to = 0; to < size; ++to) row[to] = std::max(row[to], first + via_row[to]);
        }
    }
    constexpr std::int64_t no_path = std::numeric_limits<std::int64_t>::min();
    for (std::size_t cell = 0; cell < size * size; ++cell)
        distance[cell] = short_distance[cell] < reached_above ? no_path : short_distance[cell];
}

// The longest path from `from` to every place of the component into `row`
// (no_path where there is none), by Dijkstra's search over the reduced costs.
void reduced_distances(const std::vector<std::size_t>& start, const std::vector<local_arc>& arcs,
                       const std::vector<std::int64_t>& potential, std::size_t from, std::int64_t* row,
                       std::vector<std::pair<std::int64_t, std::size_t>>& queue) {
    constexpr std::int64_t no_path = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t unreached = std::numeric_limits<std::int64_t>::max();
    const std::size_t size = potential.size();
    // The least reduced cost to each place, kept in `row` until the end.
    for (std::size_t at = 0; at < size; ++at) row[at] = unreached;
    row[from] = 0;
    queue.assign(1, {0, from});
    const auto later = [](const std::pair<std::int64_t, std::size_t>& left,
                          const std::pair<std::int64_t, std::size_t>& right) { return left.first > right.first; };
    while (!queue.empty()) {
        std::pop_heap(queue.begin(), queue.end(), later);
        const auto [cost, at] = queue.back();
        queue.pop_back();
        if (cost != row[at]) continue;
        for (std::size_t arc = start[at]; arc < start[at + 1]; ++arc) {
            const std::size_t to = arcs[arc].target;
            const std::int64_t next = cost + potential[to] - potential[at] - arcs[arc].lag;
            if (next >= row[to]) continue;
            row[to] = next;
            queue.push_back({next, to});
            std::push_heap(queue.begin(), queue.end(), later);
        }
    }
    for (std::size_t to = 0; to < size; ++to)
        row[to] = row[to] == unreached ? no_path : potential[to] - potential[from] - row[to];
}

} // namespace

bool find_forced_overlap(const instance& source, forced_overlap& proof) {
    arcs_of arcs;
    if (!arcs_between_activities(source, arcs)) return false;
    const std::size_t activities = arcs.start.size() - 1;
    const auto resources = static_cast<std::size_t>(source.resource_count > 0 ? source.resource_count : 0);
    std::uint32_t count = 0;
    const std::vector<std::uint32_t> component = components(arcs, activities, count);
    std::vector<std::vector<activity_index>> members(count);
    for (std::size_t activity = 0; activity < activities; ++activity)
        members[count - 1 - component[activity]].push_back(static_cast<activity_index>(activity));
    constexpr std::int64_t no_path = std::numeric_limits<std::int64_t>::min();
    std::uint64_t work = 0;
    std::vector<std::int64_t> distance, potential;
    std::vector<std::int32_t> short_distance;
    std::vector<std::size_t> place(activities, 0), local_start;
    std::vector<local_arc> local_arcs;
    std::vector<std::pair<std::int64_t, std::size_t>> queue;
    std::vector<char> forced;
    for (const std::vector<activity_index>& group : members) {
        const std::size_t size = group.size();
        if (size < 2) continue;
        // Longest paths within the component: by Floyd and Warshall in size^3
        // steps, or Johnson's way in some size * arcs * log size, where
        // earliest starts within it (no cycle of positive lag) make every
        // arc's reduced cost potential[to] - potential[from] - lag at least 0
        // for a Dijkstra search from each member. All of it, and the pair
        // tests, counted before it is done.
        for (std::size_t at = 0; at < size; ++at) place[group[at]] = at;
        local_arcs.clear();
        local_start.assign(size + 1, 0);
        for (std::size_t at = 0; at < size; ++at) {
            const activity_index from = group[at];
            for (std::size_t arc = arcs.start[from]; arc < arcs.start[from + 1]; ++arc)
                if (component[arcs.target[arc]] == component[from])
                    local_arcs.push_back({place[arcs.target[arc]], std::int64_t{arcs.lag[arc]}});
            local_start[at + 1] = local_arcs.size();
        }
        std::uint64_t steps = 1;
        while ((std::uint64_t{1} << steps) < size) ++steps;
        // Floyd and Warshall's plain loops win where the component is small
        // or dense: a heap's step costs some eight of theirs.
        const std::uint64_t cubed = static_cast<std::uint64_t>(size) * size * size;
        const std::uint64_t searches = static_cast<std::uint64_t>(size + 1) * local_arcs.size() +
                                       8 * static_cast<std::uint64_t>(size) * (local_arcs.size() + size) * (steps + 1);
        // (Taken in 32 bits, where the paths allow, they cost less again, but
        // not enough to win where the searches cost less: measured.)
        const bool plain = cubed <= searches;
        // The distances, then the pair tests.
        const std::uint64_t cost =
            (plain ? cubed : searches) + static_cast<std::uint64_t>(size) * size * (resources + 1);
        if (cost > overlap_budget - work) continue;
        work += cost;
        distance.assign(size * size, no_path);
        if (plain) {
            if (const std::int64_t bound = path_bound(local_arcs, size); fits_in_32_bits(bound, size))
                floyd_warshall_32(local_start, local_arcs, size, bound, short_distance, distance);
            else
                floyd_warshall(local_start, local_arcs, size, distance);
        } else {
            if (!local_potentials(local_start, local_arcs, size, potential)) continue;
            for (std::size_t from = 0; from < size; ++from)
                reduced_distances(local_start, local_arcs, potential, from, &distance[from * size], queue);
        }
        const auto duration = [&](std::size_t at) { return std::int64_t{source.durations[group[at]]}; };
        forced.assign(size * size, 0);
        for (std::size_t first = 0; first < size; ++first)
            for (std::size_t second = first + 1; second < size; ++second) {
                if (duration(first) <= 0 || duration(second) <= 0) continue;
                const std::int64_t ahead = distance[second * size + first], behind = distance[first * size + second];
                // Within a component both paths exist; a missing one leaves that order free.
                const bool first_then_second = ahead == no_path || -ahead >= duration(first);
                const bool second_then_first = behind == no_path || -behind >= duration(second);
                if (!first_then_second && !second_then_first)
                    forced[first * size + second] = forced[second * size + first] = 1;
            }
        const auto demand = [&](std::size_t at, std::size_t resource) {
            return std::max<std::int64_t>(source.demands[group[at] * resources + resource], 0);
        };
        std::vector<std::size_t> clique, order(size);
        for (std::size_t resource = 0; resource < resources; ++resource) {
            const std::int64_t capacity = source.capacities[resource];
            for (std::size_t at = 0; at < size; ++at) order[at] = at;
            std::stable_sort(order.begin(), order.end(), [&](std::size_t left, std::size_t right) {
                return demand(left, resource) > demand(right, resource);
            });
            // A pair first: the plainest proof.
            for (std::size_t first = 0; first < size; ++first)
                for (std::size_t second = first + 1; second < size; ++second)
                    if (forced[first * size + second] != 0 &&
                        demand(first, resource) + demand(second, resource) > capacity) {
                        proof.activities = {group[first], group[second]};
                        std::sort(proof.activities.begin(), proof.activities.end());
                        proof.resource = resource;
                        proof.demand = demand(first, resource) + demand(second, resource);
                        return true;
                    }
            // Then sets grown from each activity, largest demand first.
            for (const std::size_t seed : order) {
                if (demand(seed, resource) == 0) break;
                clique.assign(1, seed);
                std::int64_t total = demand(seed, resource);
                for (const std::size_t candidate : order) {
                    if (candidate == seed || demand(candidate, resource) == 0) continue;
                    work += clique.size();
                    if (work > overlap_budget) return false;
                    bool with_all = true;
                    for (const std::size_t member : clique)
                        with_all = with_all && forced[candidate * size + member] != 0;
                    if (!with_all) continue;
                    clique.push_back(candidate);
                    total += demand(candidate, resource);
                    if (total <= capacity) continue;
                    proof.activities.clear();
                    for (const std::size_t member : clique) proof.activities.push_back(group[member]);
                    std::sort(proof.activities.begin(), proof.activities.end());
                    proof.resource = resource;
                    proof.demand = total;
                    return true;
                }
            }
        }
    }
    return false;
}

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
