// Schedules under general time lags against a plain Bellman-Ford of the test's own.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "analysis/time_lags.h"
#include "analysis/validation.h"

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
