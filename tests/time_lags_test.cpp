// Schedules under general time lags against a plain Bellman-Ford of the test's own.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "analysis/time_lags.h"
#include "analysis/validation.h"
#include "layouts/formats.h"
#include "layouts/output_buffer.h"

namespace converter {
namespace {

struct arc {
    std::int32_t from, to, lag;
};

instance with_arcs(std::int32_t activities, const std::vector<arc>& arcs) {
    instance result;
    result.activity_count = activities;
    for (std::int32_t activity = 0; activity < activities; ++activity) {
        result.durations.push_back(1);
        std::int32_t count = 0;
        for (const arc& each : arcs)
            if (each.from == activity) {
                result.successors.push_back(each.to);
                result.lags.push_back(each.lag);
                ++count;
            }
        result.successor_counts.push_back(count);
    }
    return result;
}

// Longest paths from time 0 by n rounds over every arc; false when a round
// past the n-th still changes a start (a cycle of positive lag).
bool plain_longest_paths(std::int32_t activities, const std::vector<arc>& arcs, std::vector<std::int64_t>& start) {
    start.assign(static_cast<std::size_t>(activities), 0);
    for (std::int32_t round = 0; round <= activities; ++round) {
        bool changed = false;
        for (const arc& each : arcs) {
            const std::int64_t wanted = start[static_cast<std::size_t>(each.from)] + each.lag;
            if (wanted > start[static_cast<std::size_t>(each.to)]) {
                start[static_cast<std::size_t>(each.to)] = wanted;
                changed = true;
            }
        }
        if (!changed) return true;
    }
    return false;
}

TEST(earliest_starts_with_lags, agree_with_plain_longest_paths) {
    std::mt19937 random(20261209);
    std::size_t infeasible = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        SCOPED_TRACE(trial);
        const std::int32_t activities = std::uniform_int_distribution<std::int32_t>(1, 12)(random);
        const int arc_count = std::uniform_int_distribution<int>(0, 3 * activities)(random);
        std::vector<arc> arcs;
        for (int index = 0; index < arc_count; ++index) {
            const std::int32_t from = std::uniform_int_distribution<std::int32_t>(0, activities - 1)(random);
            std::int32_t to = std::uniform_int_distribution<std::int32_t>(0, activities - 1)(random);
            if (to == from) continue;
            // Mostly forward arcs with positive lags, and arcs back with negative ones.
            const std::int32_t lag = to > from ? std::uniform_int_distribution<std::int32_t>(-2, 9)(random)
                                               : std::uniform_int_distribution<std::int32_t>(-12, 2)(random);
            arcs.push_back({from, to, lag});
        }
        std::vector<std::int64_t> expected;
        const bool feasible = plain_longest_paths(activities, arcs, expected);
        const instance source = with_arcs(activities, arcs);
        const lag_schedule schedule = earliest_starts_with_lags(source);
        if (!feasible) {
            ++infeasible;
            EXPECT_TRUE(schedule.earliest.empty());
            ASSERT_FALSE(schedule.positive_cycle.empty());
            EXPECT_GT(schedule.cycle_lag, 0);
            // The cycle is made of arcs of the instance, and adds up as said.
            std::int64_t total = 0;
            for (std::size_t step = 0; step < schedule.positive_cycle.size(); ++step) {
                const auto from = static_cast<std::int32_t>(schedule.positive_cycle[step]);
                const auto to =
                    static_cast<std::int32_t>(schedule.positive_cycle[(step + 1) % schedule.positive_cycle.size()]);
                std::int64_t best = -1000000;
                for (const arc& each : arcs)
                    if (each.from == from && each.to == to && each.lag > best) best = each.lag;
                ASSERT_GT(best, -1000000) << "no arc " << from << " -> " << to;
                total += best;
            }
            EXPECT_EQ(total, schedule.cycle_lag);
        } else {
            EXPECT_TRUE(schedule.positive_cycle.empty());
            EXPECT_EQ(schedule.earliest, expected);
        }
    }
    EXPECT_GT(infeasible, 100u); // both kinds were tried
}

// An RCPSP/max instance as MiniZinc's rcpsp_max model sees it: tasks 1..n
// between a dummy start with an arc of lag 0 to each and a dummy end with an
// arc from each, its lag the task's duration.
instance with_every_bound(const std::vector<std::int32_t>& durations, const std::vector<arc>& task_arcs) {
    const auto tasks = static_cast<std::int32_t>(durations.size());
    std::vector<arc> arcs;
    for (std::int32_t task = 1; task <= tasks; ++task) arcs.push_back({0, task, 0});
    for (const arc& each : task_arcs) arcs.push_back(each);
    for (std::int32_t task = 1; task <= tasks; ++task)
        arcs.push_back({task, tasks + 1, durations[static_cast<std::size_t>(task - 1)]});
    instance result = with_arcs(tasks + 2, arcs);
    result.durations.data()[0] = 0;
    for (std::int32_t task = 1; task <= tasks; ++task)
        result.durations.data()[task] = durations[static_cast<std::size_t>(task - 1)];
    result.durations.data()[tasks + 1] = 0;
    return result;
}

// The longest path from each activity to `target` (a large negative number
// where none leads), by n rounds over every arc.
std::vector<std::int64_t> longest_to(const instance& source, std::int32_t target) {
    const auto count = static_cast<std::size_t>(source.activity_count);
    constexpr std::int64_t none = -(std::int64_t{1} << 40);
    std::vector<std::int64_t> distance(count, none);
    distance[static_cast<std::size_t>(target)] = 0;
    for (std::size_t round = 0; round <= count; ++round)
        for (std::size_t from = 0, place = 0; from < count; ++from)
            for (std::int32_t index = 0; index < source.successor_counts[from]; ++index, ++place) {
                const auto to = static_cast<std::size_t>(source.successors[place]);
                if (distance[to] != none && distance[to] + source.lags[place] > distance[from])
                    distance[from] = distance[to] + source.lags[place];
            }
    return distance;
}

// MiniZinc's rcpsp_max data hold no dummies; read back, the dummies' arcs
// must bound every task as the model does: from 0 on (the same earliest
// starts) and ending by the makespan (a path to the end at least its
// duration long), also where a task's only arc of a lag of 0 or more runs back
// into its own cycle.
TEST(rcpsp_max_data, keep_every_task_between_the_start_and_the_end) {
    const struct {
        const char* name;
        std::vector<std::int32_t> durations;
        std::vector<arc> arcs;
    } cases[] = {
        // Task 4 leads only to task 3, which ends 8 before it may.
        {"an end within a cycle", {2, 3, 1, 9}, {{1, 2, 2}, {2, 3, 3}, {4, 3, 0}, {3, 4, -2}}},
        // Tasks 1 and 2 lead to each other only: no task is free of predecessors.
        {"a start within a cycle", {4, 3}, {{1, 2, 1}, {2, 1, 0}}},
        {"a plain chain", {3, 2, 5}, {{1, 2, 3}, {2, 3, 2}}},
    };
    const auto check = [](const instance& source) {
        // Lags that are all the durations make data for the standard model.
        bool lagged = false;
        for (std::size_t from = 0, place = 0; from < source.durations.size(); ++from)
            for (std::int32_t index = 0; index < source.successor_counts[from]; ++index, ++place)
                lagged = lagged || source.lags[place] != source.durations[from];
        if (!lagged) return;
        std::string data;
        write_layout(data, find_format("dzn")->write, source);
        instance again;
        text_cursor cursor{data};
        ASSERT_FALSE(find_format("dzn")->read(text_source(&cursor), again, nullptr)) << data;
        ASSERT_EQ(again.activity_count, source.activity_count);
        const lag_schedule before = earliest_starts_with_lags(source), after = earliest_starts_with_lags(again);
        EXPECT_EQ(after.earliest, before.earliest) << data;
        if (again.lags.empty()) return;
        const std::vector<std::int64_t> to_end = longest_to(again, again.activity_count - 1);
        for (std::int32_t task = 1; task + 1 < again.activity_count; ++task)
            EXPECT_GE(to_end[static_cast<std::size_t>(task)], again.durations[static_cast<std::size_t>(task)])
                << "task " << task << " in " << data;
    };
    for (const auto& example : cases) {
        SCOPED_TRACE(example.name);
        check(with_every_bound(example.durations, example.arcs));
    }
    std::mt19937 random(20261210);
    for (int trial = 0; trial < 2000; ++trial) {
        SCOPED_TRACE(trial);
        const std::int32_t tasks = std::uniform_int_distribution<std::int32_t>(1, 8)(random);
        std::vector<std::int32_t> durations;
        for (std::int32_t task = 0; task < tasks; ++task)
            durations.push_back(std::uniform_int_distribution<std::int32_t>(0, 9)(random));
        std::vector<arc> arcs;
        const int arc_count = std::uniform_int_distribution<int>(0, 2 * tasks)(random);
        for (int index = 0; index < arc_count; ++index) {
            const std::int32_t from = std::uniform_int_distribution<std::int32_t>(1, tasks)(random);
            const std::int32_t to = std::uniform_int_distribution<std::int32_t>(1, tasks)(random);
            if (to == from) continue;
            arcs.push_back({from, to, std::uniform_int_distribution<std::int32_t>(-12, 9)(random)});
        }
        check(with_every_bound(durations, arcs));
    }
}

// A schedule of `source` (one resource) with every start in 0..horizon, by
// trying them all: the check that a proof of infeasibility is never wrong.
bool some_schedule_fits(const instance& source, std::int64_t horizon) {
    const auto count = static_cast<std::size_t>(source.activity_count);
    std::vector<std::int64_t> start(count, 0);
    const auto fits = [&] {
        for (std::size_t from = 0, place = 0; from < count; ++from)
            for (std::int32_t index = 0; index < source.successor_counts[from]; ++index, ++place)
                if (start[static_cast<std::size_t>(source.successors[place])] < start[from] + source.lags[place])
                    return false;
        for (std::int64_t period = 0; period <= 2 * horizon; ++period) {
            std::int64_t used = 0;
            for (std::size_t activity = 0; activity < count; ++activity)
                if (start[activity] <= period && period < start[activity] + source.durations[activity])
                    used += source.demands[activity];
            if (used > source.capacities[0]) return false;
        }
        return true;
    };
    // Odometer over the starts of the activities but the dummy start, which is at 0.
    for (;;) {
        if (fits()) return true;
        std::size_t digit = 1;
        while (digit < count && start[digit] == horizon) start[digit++] = 0;
        if (digit == count) return false;
        ++start[digit];
    }
}

// A component too large for Floyd and Warshall's loops to be the cheaper
// (the distances then come from a search per member): one chain of 500 tasks
// held within windows of [1, 5] each way, in which tasks 200 and 202 are tied
// 2 apart and so must overlap.
TEST(forced_overlap, finds_a_pair_in_a_large_sparse_component) {
    constexpr std::int32_t tasks = 500;
    std::vector<std::int32_t> durations(tasks, 1);
    durations[199] = durations[201] = 3;
    std::vector<arc> arcs;
    for (std::int32_t task = 1; task < tasks; ++task) {
        arcs.push_back({task, task + 1, 1});
        arcs.push_back({task + 1, task, -5});
    }
    arcs.push_back({200, 202, 2});
    arcs.push_back({202, 200, -2});
    const auto with_demands = [](instance network) {
        network.resource_count = 1;
        network.capacities.push_back(5);
        for (std::int32_t activity = 0; activity < network.activity_count; ++activity)
            network.demands.push_back(activity == 200 || activity == 202 ? 3 : 0);
        return network;
    };
    const instance source = with_demands(with_every_bound(durations, arcs));
    ASSERT_FALSE(earliest_starts_with_lags(source).earliest.empty());
    forced_overlap proof;
    ASSERT_TRUE(find_forced_overlap(source, proof));
    EXPECT_EQ(proof.activities, (std::vector<activity_index>{200, 202}));
    EXPECT_EQ(proof.demand, 6);
    // Two to four apart leaves room for 200 to end first: no proof.
    arcs.back().lag = -4;
    EXPECT_FALSE(find_forced_overlap(with_demands(with_every_bound(durations, arcs)), proof));
}

// Activities the lags force to overlap, with demands together above the
// capacity, prove that no schedule exists: against every schedule of small
// random networks, and named by their place in the file.
TEST(forced_overlap, proves_only_what_no_schedule_escapes) {
    std::mt19937 random(20261211);
    std::size_t proofs = 0, sets = 0;
    for (int trial = 0; trial < 4000; ++trial) {
        SCOPED_TRACE(trial);
        const std::int32_t tasks = trial % 4 == 0 ? 2 : 3;
        std::vector<std::int32_t> durations;
        for (std::int32_t task = 0; task < tasks; ++task)
            durations.push_back(std::uniform_int_distribution<std::int32_t>(0, 3)(random));
        std::vector<arc> arcs;
        std::int64_t horizon = 1;
        for (const std::int32_t duration : durations) horizon += duration;
        // Mostly narrow windows between pairs (an arc each way), where orders
        // are forced, and some single arcs.
        for (std::int32_t from = 1; from <= tasks; ++from)
            for (std::int32_t to = from + 1; to <= tasks; ++to) {
                const int shape = std::uniform_int_distribution<int>(0, 3)(random);
                if (shape == 0) continue;
                const std::int32_t ahead = std::uniform_int_distribution<std::int32_t>(-2, 3)(random);
                const std::int32_t back = std::uniform_int_distribution<std::int32_t>(-4, 1)(random);
                if (shape != 2) arcs.push_back({from, to, ahead});
                if (shape != 3) arcs.push_back({to, from, back});
                horizon += (ahead < 0 ? -ahead : ahead) + (back < 0 ? -back : back);
            }
        instance source = with_every_bound(durations, arcs);
        source.resource_count = 1;
        source.capacities.push_back(std::uniform_int_distribution<std::int32_t>(1, 5)(random));
        for (std::int32_t activity = 0; activity < source.activity_count; ++activity)
            source.demands.push_back(
                activity == 0 || activity == tasks + 1 ? 0 : std::uniform_int_distribution<std::int32_t>(1, 3)(random));
        if (earliest_starts_with_lags(source).earliest.empty()) continue;
        forced_overlap proof;
        if (!find_forced_overlap(source, proof)) continue;
        ++proofs;
        sets += proof.activities.size() > 2;
        EXPECT_GT(proof.demand, source.capacities[0]);
        EXPECT_FALSE(some_schedule_fits(source, horizon));
    }
    EXPECT_GT(proofs, 50u);
    EXPECT_GT(sets, 0u) << proofs << " proofs, all of pairs";
    // Named in the file's own terms: a pair of sch activities.
    instance pair = with_every_bound({3, 3}, {{1, 2, 1}, {2, 1, -1}});
    pair.resource_count = 1;
    pair.capacities.push_back(4);
    for (const std::int32_t demand : {0, 3, 2, 0}) pair.demands.push_back(demand);
    const validation_report report = validate(pair, 20, nullptr, find_format("sch")->naming);
    ASSERT_EQ(report.findings.size(), 1u);
    EXPECT_EQ(report.findings[0].text.view(),
              "activity 1: must overlap with 2 (the time lags leave room for neither order), and the two demand 5 of "
              "resource 1, above its capacity 4, so that no schedule exists");
    EXPECT_EQ(report.findings[0].level, finding_level::infeasible);
}

// Small components take their distances in 32 bits where the lags allow it,
// in 64 otherwise. Lags and durations scaled by 10^8 (beyond what 32 bits hold
// for a path) leave every order, and so every proof, as it was.
TEST(forced_overlap, finds_the_same_proofs_with_lags_too_long_for_32_bits) {
    std::mt19937 random(11122026);
    std::size_t proofs = 0;
    for (int trial = 0; trial < 1000; ++trial) {
        SCOPED_TRACE(trial);
        const std::int32_t tasks = 4;
        std::vector<std::int32_t> durations, scaled_durations;
        for (std::int32_t task = 0; task < tasks; ++task) {
            durations.push_back(std::uniform_int_distribution<std::int32_t>(1, 3)(random));
            scaled_durations.push_back(durations.back() * 100000000);
        }
        std::vector<arc> arcs, scaled_arcs;
        for (std::int32_t from = 1; from <= tasks; ++from)
            for (std::int32_t to = from + 1; to <= tasks; ++to) {
                if (std::uniform_int_distribution<int>(0, 2)(random) == 0) continue;
                arcs.push_back({from, to, std::uniform_int_distribution<std::int32_t>(-2, 3)(random)});
                arcs.push_back({to, from, std::uniform_int_distribution<std::int32_t>(-4, 1)(random)});
            }
        for (const arc& each : arcs) scaled_arcs.push_back({each.from, each.to, each.lag * 100000000});
        const auto with_demands = [&random](instance network, std::int32_t capacity) {
            network.resource_count = 1;
            network.capacities.push_back(capacity);
            for (std::int32_t activity = 0; activity < network.activity_count; ++activity)
                network.demands.push_back(activity == 0 || activity == network.activity_count - 1
                                              ? 0
                                              : std::uniform_int_distribution<std::int32_t>(1, 3)(random));
            return network;
        };
        const std::int32_t capacity = std::uniform_int_distribution<std::int32_t>(2, 5)(random);
        const instance source = with_demands(with_every_bound(durations, arcs), capacity);
        instance scaled = with_every_bound(scaled_durations, scaled_arcs);
        scaled.resource_count = 1;
        scaled.capacities.push_back(capacity);
        for (const std::int32_t demand : source.demands) scaled.demands.push_back(demand);
        if (earliest_starts_with_lags(source).earliest.empty()) continue;
        ASSERT_FALSE(earliest_starts_with_lags(scaled).earliest.empty());
        forced_overlap proof, scaled_proof;
        const bool found = find_forced_overlap(source, proof);
        ASSERT_EQ(find_forced_overlap(scaled, scaled_proof), found);
        if (!found) continue;
        ++proofs;
        EXPECT_EQ(scaled_proof.activities, proof.activities);
        EXPECT_EQ(scaled_proof.demand, proof.demand);
    }
    EXPECT_GT(proofs, 50u);
}

TEST(validate, finds_a_cycle_only_when_its_time_lags_add_up_to_more_than_zero) {
    const struct {
        const char* name;
        std::vector<arc> arcs;
        std::size_t findings;
        const char* first;
    } cases[] = {
        {"a maximal lag within reach", {{0, 1, 0}, {1, 2, 3}, {2, 1, -5}, {2, 3, 1}}, 0, ""},
        {"a maximal lag too tight",
         {{0, 1, 0}, {1, 2, 3}, {2, 1, -2}, {2, 3, 1}},
         1,
         "activity 2: on a cycle of 2 activities whose time lags add up to 1, more than 0, so that no schedule "
         "exists: 2 -> 3 -> 2"},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        instance source = with_arcs(4, expected.arcs);
        source.durations.data()[0] = 0;
        source.durations.data()[3] = 0;
        const validation_report report = validate(source, 20);
        ASSERT_EQ(report.findings.size(), expected.findings);
        if (expected.findings != 0) {
            EXPECT_EQ(report.findings[0].text.view(), expected.first);
        }
    }
}

} // namespace
} // namespace converter
