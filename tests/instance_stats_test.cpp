#include "analysis/instance_stats.h"
#include "analysis/precedence_graph.h"
#include "layouts/json_reader.h"
#include "layouts/rcp_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "instance/messages.h"

namespace converter {
namespace {

std::string row_of(const std::string& input) {
    instance source;
    const read_failure failure = read_instance(input, source);
    if (failure) return "unreadable: " + std::string(describe(failure).view());
    return stats_csv_row("f", compute_stats(source));
}

TEST(compute_stats, gives_the_rows_worked_out_by_hand) {
    // clang-format off
    const struct {
        const char* name;
        std::string input;
        std::string row;
    } cases[] = {
        // NC 6/5; RF 6/6; peaks 8 and 8 at time 0, largest demands 4 and 5: RS
        // ((10-4)/(8-4) + (8-5)/(8-5))/2; CP 0+4; RB max(ceil(22/10), ceil(20/8)).
        {"first reference", "5 2 10 8  0 0 0 3 2 3 4  3 4 2 1 5  2 3 5 1 5  4 1 1 1 5  0 0 0 0",
         "f,5,2,6,1.2000,1.0000,1.2500,4,3,5,0,0,,"},
        // R = 0: no RF, RS or RB; CP 7 + 5 + 6 along 1 -> 2 -> 3.
        {"second reference", "3 0  7 2 2 3  5 1 3  6 0", "f,3,0,3,1.0000,,,18,,3,0,0,,"},
        // J = 0: no RF; both dummies take no time, so RS_k = 1 (rmax = rmin = 0).
        {"only the dummies", "2 1 4  0 0 1 2  0 0 0", "f,2,1,1,0.5000,,1.0000,0,0,2,0,0,,"},
        {"no activities", "0 2 5 5", "f,0,2,0,,,,,0,0,0,0,,"},
        // Resource 2 is used by nobody: RS_2 = 1 and its work is 0; resource 1:
        // activities 2 and 3 overlap on [0, 2): peak 5, largest 3, RS_1 = (6-3)/(5-3).
        {"a resource nobody uses", "4 2 6 9  0 0 0 2 2 3  2 3 0 1 4  3 2 0 1 4  0 0 0 0",
         "f,4,2,4,1.0000,0.5000,1.2500,3,2,4,0,0,,"},
        // Activities that follow each other never overlap: peak = largest, RS = 1;
        // an activity ending at 2 and one starting at 2 don't add up.
        {"rmax equal to rmin", "4 1 5  0 0 1 2  2 4 1 3  3 4 1 4  0 0 0", "f,4,1,3,0.7500,1.0000,1.0000,5,4,4,0,0,,"},
        // Capacity 0 is left out of RB but kept in RS: peaks 2 and 2, largest 1
        // and 1: ((0-1)/(2-1) + (4-1)/(2-1))/2; RB ceil(2/4).
        {"a resource with zero capacity", "4 2 0 4  0 0 0 2 2 3  1 1 1 1 4  1 1 1 1 4  0 0 0 0",
         "f,4,2,4,1.0000,1.0000,1.0000,1,1,4,0,0,,"},
        {"successor outside 1..N", "3 0  0 1 2  1 1 7  0 0", "f,3,0,2,0.6667,,,,,3,0,0,,"},
        {"a cycle", "4 1 3  0 0 1 2  1 1 1 3  1 1 1 2  0 0 0", "f,4,1,3,0.7500,1.0000,,,1,4,0,0,,"},
        {"own successor", "3 1 3  0 0 1 2  1 1 2 2 3  0 0 0", "f,3,1,3,1.0000,1.0000,,,1,3,0,0,,"},
        {"a negative duration", "3 1 3  0 0 1 2  -1 1 1 3  0 0 0", "f,3,1,2,0.6667,1.0000,,,,3,0,0,,"},
        {"negative work rounds up", "3 1 2  0 0 1 2  3 -1 1 3  0 0 0", "f,3,1,2,0.6667,0.0000,1.0000,3,-1,3,0,0,,"},
    };
    // clang-format on
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(row_of(expected.input), expected.row);
    }
}

// The schedule the sm writer's due date comes from: numbered forward (one pass
// in the activities' order) or not (the general order), and every way it can
// fail to exist on either path.
TEST(earliest_starts, agree_whichever_way_the_successors_are_numbered) {
    const struct {
        const char* name;
        std::string input;
        std::vector<std::int64_t> starts;
    } cases[] = {
        {"numbered forward", "5 0  0 2 2 3  3 1 5  2 1 4  4 1 5  0 0", {0, 0, 0, 2, 6}},
        {"numbered backward", "5 0  0 0  3 1 1  2 1 1  4 1 2  0 2 4 3", {7, 4, 0, 0, 0}},
        {"one backward arc late in the list", "4 0  0 2 2 3  1 1 4  5 2 4 2  0 0", {0, 5, 0, 6}},
        {"no successors at all", "3 0  1 0  2 0  3 0", {0, 0, 0}},
        {"a negative successor count", "3 0  1 -2  2 1 3  3 0", {0, 0, 2}},
        {"a negative duration", "3 0  0 1 2  -1 1 3  0 0", {}},
        {"a negative duration, numbered backward", "3 0  0 0  -1 1 1  0 1 2", {}},
        {"a successor outside 1..N", "3 0  0 1 2  1 1 4  0 0", {}},
        {"successor 0", "3 0  0 1 2  1 1 0  0 0", {}},
        {"own successor", "3 0  0 1 2  1 1 2  0 0", {}},
        {"a cycle", "4 0  0 1 2  1 1 3  1 1 2  0 0", {}},
        {"no activities", "0 0", {}},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        instance source;
        ASSERT_FALSE(read_instance(expected.input, source));
        EXPECT_EQ(earliest_starts(source), expected.starts);
    }
}

// Durations near the 32-bit limit: a loop over time periods would never end, and
// the sums need more than 64 bits.
TEST(compute_stats, sweeps_events_and_sums_without_overflow) {
    constexpr std::int32_t activities = 200000;
    instance chain;
    chain.activity_count = activities;
    chain.resource_count = 1;
    ASSERT_TRUE(chain.capacities.push_back(1));
    for (std::int32_t activity = 0; activity < activities; ++activity) {
        const bool dummy = activity == 0 || activity == activities - 1;
        ASSERT_TRUE(chain.durations.push_back(dummy ? 0 : 2147483647));
        ASSERT_TRUE(chain.demands.push_back(dummy ? 0 : 2147483647));
        ASSERT_TRUE(chain.successor_counts.push_back(activity == activities - 1 ? 0 : 1));
        if (activity != activities - 1) {
            ASSERT_TRUE(chain.successors.push_back(activity + 1));
        }
    }
    // CP: 199998 * (2^31 - 1); work: 199998 * (2^31 - 1)^2, past 2^64.
    EXPECT_EQ(stats_csv_row("chain", compute_stats(chain)),
              "chain,200000,1,199999,1.0000,1.0000,1.0000,429492434432706,922327979454455856958782,200000,0,0,,");
}

std::string json_row(const std::string& text) {
    text_cursor cursor{text};
    instance source;
    const read_failure failure = read_json(text_source(&cursor), source);
    if (failure) return "unreadable: " + std::string(describe(failure).view());
    return stats_csv_row("f", compute_stats(source));
}

TEST(compute_stats, measures_modes_and_kinds_as_the_multi_mode_generator_does) {
    // Resources: 1 renewable (capacity 6), 2 nonrenewable (capacity 10).
    const std::string head = R"({"capacities": [6, 10], "kinds": ["renewable", "nonrenewable"], "activities": [)"
                             R"({"duration": 0, "demands": [0, 0], "successors": [1, 2]}, )";
    const std::string tail = R"({"duration": 0, "demands": [0, 0], "successors": []}]})";
    // clang-format off
    const struct {
        const char* name;
        std::string activities;
        std::string row;
    } cases[] = {
        // Activity 2: modes (2; 4, 3) and (5; 1, 0); activity 3: (3; 2, 5) and (1; 5, 6).
        // Shortest durations 2 and 1, both at 0: CP 2. RF renewable (1 + 1) / 2,
        // nonrenewable (1/2 + 1) / 2. RS renewable: rmin max(1, 2) = 2, peak of the
        // largest demands 4 + 5 = 9: (6 - 2) / (9 - 2). RS nonrenewable: Kmin 0 + 5,
        // Kmax 3 + 6: (10 - 5) / (9 - 5). RB: work min(8, 5) + min(6, 5) = 10 over 6.
        {"two activities of two modes",
         R"({"modes": [{"duration": 2, "demands": [4, 3]}, {"duration": 5, "demands": [1, 0]}], "successors": [3]}, )"
         R"({"modes": [{"duration": 3, "demands": [2, 5]}, {"duration": 1, "demands": [5, 6]}], "successors": [3]}, )",
         "f,4,2,4,1.0000,1.0000,0.5714,2,2,6,1,0,0.7500,1.2500"},
        // One mode each but a nonrenewable resource: modes = N, the renewable
        // measures as for single-mode sets (peak 4 + 2 = 6 at 0, RB ceil(14 / 6));
        // RS nonrenewable 1 with Kmin = Kmax = 3.
        {"one mode each",
         R"({"duration": 2, "demands": [4, 3], "successors": [3]}, )"
         R"({"duration": 3, "demands": [2, 0], "successors": [3]}, )",
         "f,4,2,4,1.0000,1.0000,1.0000,3,3,4,1,0,0.5000,1.0000"},
    };
    // clang-format on
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(json_row(head + expected.activities + tail), expected.row);
    }
}

TEST(stats_csv_row, quotes_paths_as_csv_needs) {
    const instance_stats empty;
    EXPECT_EQ(stats_csv_row("plain/a b.txt", empty), "plain/a b.txt,0,0,0,,,,,,0,0,0,,");
    EXPECT_EQ(stats_csv_row("a,b.txt", empty), "\"a,b.txt\",0,0,0,,,,,,0,0,0,,");
    EXPECT_EQ(stats_csv_row("say \"hi\".txt", empty), "\"say \"\"hi\"\".txt\",0,0,0,,,,,,0,0,0,,");
    EXPECT_EQ(stats_csv_row("two\nlines", empty), "\"two\nlines\",0,0,0,,,,,,0,0,0,,");
}

} // namespace
} // namespace converter
