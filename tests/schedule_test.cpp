// Schedules checked against their instances, and the layouts solvers give
// them back in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/schedule_check.h"
#include "files/reference_table.h"
#include "layouts/formats.h"
#include "layouts/schedule_reader.h"
#include "test_instances.h"

namespace converter {
namespace {

// Two activities on one resource of capacity 3 between the dummies: 1 (d 2,
// r 2) before the end, 2 (d 3, r 2), and 3 of duration 0 demanding 5.
const char* const small = "5 1 3  0 0 2 2 3  2 2 1 4  3 2 1 5  0 5 1 5  0 0 0";

std::vector<std::string> texts(const schedule_report& report) {
    std::vector<std::string> result;
    for (const schedule_violation& violation : report.violations) result.emplace_back(violation.text.view());
    return result;
}

TEST(verify_schedule, names_each_kind_of_violation) {
    const std::string two_modes =
        R"({"capacities": [2, 5, 2], "kinds": ["renewable", "nonrenewable", "doubly constrained"], "activities": [
        {"duration": 0, "demands": [0, 0, 0], "successors": [1, 2]},
        {"modes": [{"duration": 2, "demands": [1, 3, 1]}, {"duration": 4, "demands": [1, 1, 1]}], "successors": [3]},
        {"modes": [{"duration": 1, "demands": [2, 3, 2]}, {"duration": 3, "demands": [1, 1, 1]}], "successors": [3]},
        {"duration": 0, "demands": [0, 0, 0], "successors": []}]})";
    const char* const lagged =
        "2\t1\t0\t0\n0\t1\t2\t1\t2\t[0]\t[0]\n1\t1\t2\t2\t3\t[2]\t[2]\n2\t1\t2\t1\t3\t[-4]\t[1]\n"
        "3\t1\t0\n0\t1\t0\t0\n1\t1\t2\t1\n2\t1\t1\t1\n3\t1\t0\t0\n1\n";
    // clang-format off
    const struct {
        const char* name;
        const char* layout;
        std::string instance;
        schedule plan;
        bool feasible;
        std::int64_t makespan;
        std::vector<std::string> violations;
    } cases[] = {
        {"one ends as the next starts: no shared period", "rcp", small, {{0, 0, 2, 2, 5}, {}}, true, 5, {}},
        {"a duration of 0 uses nothing", "rcp", small, {{0, 0, 2, 3, 5}, {}}, true, 5, {}},
        {"a precedence and periods over the capacity", "rcp", small, {{0, 1, 0, 2, 5}, {}}, false, 5,
         {"activity 4 starts at 2, before activity 2 ends at 3",
          "resource 1: 4 used in periods 1\xe2\x80\x93" "2 by activities 2 and 3, above its capacity 3"}},
        {"a period over the capacity", "rcp", small, {{0, 0, 1, 2, 4}, {}}, false, 4,
         {"resource 1: 4 used in period 1 by activities 2 and 3, above its capacity 3"}},
        {"a start before 0", "rcp", small, {{0, -1, 1, 1, 4}, {}}, false, 4,
         {"activity 2 starts at -1, before time 0", "activity 2 starts at -1, before activity 1 ends at 0"}},
        {"a lag met exactly and a maximal lag met exactly", "sch", lagged, {{0, 0, 4, 5}, {}}, true, 5, {}},
        {"a maximal lag passed", "sch", lagged, {{0, 0, 5, 6}, {}}, false, 6,
         {"activity 1 starts at 0, before 1, which the time lag -4 of 2 -> 1 asks (activity 2 starts at 5)"}},
        {"modes within every capacity", "json", two_modes, {{0, 0, 4, 7}, {1, 2, 2, 1}}, true, 7, {}},
        {"a mode it does not have", "json", two_modes, {{0, 0, 4, 7}, {1, 3, 2, 1}}, false, 7,
         {"activities[1] is given mode 3, which it does not have (modes 1..2)"}},
        {"nonrenewable and doubly constrained totals", "json", two_modes, {{0, 0, 2, 3}, {1, 1, 1, 1}}, false, 3,
         {"resource 2: the chosen modes need 6, above its capacity 5", "resource 3: the chosen modes need 3, above its capacity 2"}},
        {"every kind at once", "json", two_modes, {{0, 0, 0, 2}, {1, 1, 1, 1}}, false, 2,
         {"resource 1: 3 used in period 0 by activities 1 and 2, above its capacity 2",
          "resource 2: the chosen modes need 6, above its capacity 5",
          "resource 3: 3 used in period 0 by activities 1 and 2, above its capacity 2",
          "resource 3: the chosen modes need 3, above its capacity 2"}},
    };
    // clang-format on
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        const instance source = read_as(expected.layout, expected.instance);
        const schedule_report report = verify_schedule(source, expected.plan, find_format(expected.layout)->naming);
        EXPECT_EQ(report.feasible, expected.feasible);
        EXPECT_EQ(report.makespan, expected.makespan);
        EXPECT_EQ(texts(report), expected.violations);
    }
}

// Horizons of 10^8 periods and a million activities cost no period walk, and
// the violations kept are counted past the limit.
TEST(verify_schedule, sweeps_events_not_periods) {
    constexpr std::int32_t activities = 100000;
    instance source;
    source.activity_count = activities;
    source.resource_count = 1;
    source.capacities.push_back(1);
    schedule plan;
    for (std::int32_t activity = 0; activity < activities; ++activity) {
        source.durations.push_back(100000000);
        source.demands.push_back(activity == 0 || activity + 1 == activities ? 0 : 1);
        source.successor_counts.push_back(0);
        plan.starts.push_back(activity % 2 == 0 ? 0 : 50000000);
    }
    const schedule_report report = verify_schedule(source, plan, activity_naming{}, resource_labels::numbers, 3);
    EXPECT_FALSE(report.feasible);
    EXPECT_EQ(report.makespan, 150000000);
    EXPECT_EQ(report.violations.size(), 3u);
    EXPECT_EQ(report.violation_count, 3u);
    const std::string_view first = report.violations[0].text.view();
    EXPECT_EQ(first.find("resource 1: 49999 used in periods 0\xe2\x80\x93"
                         "49999999 by activities 3, 5, 7, "),
              0u)
        << first;
}

TEST(read_schedule, takes_minizinc_outputs_and_plain_schedules) {
    const instance rcpsp = read_as("rcp", small);
    const struct {
        const char* name;
        std::string text;
        std::size_t solutions;
        std::vector<std::int64_t> starts; // of the last, every activity
        std::int64_t reported;            // -1: none
        bool optimal;
    } cases[] = {
        {"default output, several solutions",
         "Start times = [2, 0, 4]\nmakespan = 5\n----------\n"
         "Start times = [0, 2, 2]\nmakespan = 5\n----------\n==========\n",
         2,
         {0, 0, 2, 2, 5},
         5,
         true},
        {"dzn output", "s = [0, 2, 2];\nobjective = 5;\n----------\n", 1, {0, 0, 2, 2, 5}, 5, false},
        {"json output",
         "{\n  \"s\" : [0, 2, 2],\n  \"objective\" : 5\n}\n----------\n==========\n",
         1,
         {0, 0, 2, 2, 5},
         5,
         true},
        {"plain, every activity", "{\"starts\": [0, 0, 2, 2, 5]}", 1, {0, 0, 2, 2, 5}, -1, false},
        {"names it does not know, and comments",
         "% a comment\nx = {1, 2};\nt = \"text\";\ns = [0, 2, 2];\n----------\n",
         1,
         {0, 0, 2, 2, 5},
         -1,
         false},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        schedule_file file;
        const read_failure failure = read_schedule(expected.text, file);
        ASSERT_FALSE(failure) << describe(failure).view();
        ASSERT_EQ(file.solutions.size(), expected.solutions);
        EXPECT_EQ(file.optimal, expected.optimal);
        schedule plan;
        read_failure why;
        ASSERT_TRUE(to_schedule(rcpsp, file, file.solutions.back(), plan, why)) << describe(why).view();
        EXPECT_EQ(plan.starts, expected.starts);
        EXPECT_EQ(file.solutions.back().reported.value_or(-1), expected.reported);
    }
    schedule_file none;
    ASSERT_FALSE(read_schedule("=====UNSATISFIABLE=====\n", none));
    EXPECT_TRUE(none.unsatisfiable);
    EXPECT_TRUE(none.solutions.empty());
}

TEST(read_schedule, refuses_malformed_schedules_at_their_place) {
    const instance rcpsp = read_as("rcp", small);
    const std::string modes_instance =
        R"({"capacities": [5], "activities": [{"duration": 0, "demands": [0], "successors": [1]},
        {"modes": [{"duration": 2, "demands": [1]}, {"duration": 4, "demands": [1]}], "successors": [2]},
        {"duration": 0, "demands": [0], "successors": []}]})";
    const instance modes = read_as("json", modes_instance);
    const struct {
        const char* name;
        const instance& source;
        std::string text;
        const char* message;
    } cases[] = {
        {"not an integer", rcpsp, "s = [0, x, 2];\n",
         "Invalid input at line 1, column 9: expected an integer, found \"x\", which is not an integer."},
        {"a start time of 1.5", rcpsp, "s = [0, 1.5, 2];\n",
         "Invalid input at line 1, column 9: expected an integer, found \"1.5\", which is not an integer."},
        {"a start time past 10^15, where sums could overflow", rcpsp, "s = [0, 1000000000000001, 2];\n",
         "Invalid input at line 1, column 9: expected an integer, found \"1000000000000001\", which is outside "
         "-10^15..10^15, the values a schedule can hold."},
        {"one past the 64-bit range", rcpsp, "s = [0, -9223372036854775809, 2];\n",
         "Invalid input at line 1, column 9: expected an integer, found \"-9223372036854775809\", which is outside "
         "the signed 64-bit range."},
        {"an array not closed", rcpsp, "s = [0, 0",
         "Invalid input at line 1, column 10: expected \",\" or \"]\", found the end of the file."},
        {"nothing", rcpsp, "\n",
         "Invalid input at line 2, column 1: expected a solution (\"Start times = [...]\", \"s = [...];\", "
         "{\"starts\": [...]}), found the end of the file."},
        {"one start too few", rcpsp, "\n\ns = [0, 0];\n",
         "Invalid input at line 3, column 5: expected 3 start times, one per task (the dummies left out), found "
         "\"[\", an array of another size."},
        {"a plain schedule without the dummies", rcpsp, "{\"starts\": [0, 0, 2]}",
         "Invalid input at line 1, column 12: expected 5 start times, one per activity (the dummies included), "
         "found \"[\", an array of another size."},
        {"mrun with two trues for a task", modes, "start = [0];\nmrun = [true, true];\n",
         "Invalid input at line 2, column 8: expected one true in mrun for each task, task 1 too, found \"[\", an "
         "array with several for it."},
        {"mrun with none", modes, "start = [0];\nmrun = [false, false];\n",
         "Invalid input at line 2, column 8: expected one true in mrun for each task, task 1 too, found \"[\", an "
         "array with none for it."},
        {"mrun of another length", modes, "start = [0];\nmrun = [true];\n",
         "Invalid input at line 2, column 8: expected mrun with 2 Booleans, one per mode (n_opt), found \"[\", an "
         "array of another size."},
        {"mrun of something else", modes, "start = [0];\nmrun = [1, 0];\n",
         "Invalid input at line 2, column 9: expected true or false, found \"1\"."},
        {"no mrun for modes", modes, "start = [0];\n",
         "Invalid input at line 1, column 9: expected mrun beside the start times, for an instance with modes, "
         "found \"[\", without it."},
        {"plain modes of another length", modes, "{\"starts\": [0, 0, 2], \"modes\": [1, 2]}",
         "Invalid input at line 1, column 32: expected 3 modes, one per activity, found \"[\", an array of another "
         "size."},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        schedule_file file;
        read_failure failure = read_schedule(expected.text, file);
        if (!failure) {
            schedule plan;
            ASSERT_FALSE(file.solutions.empty());
            EXPECT_FALSE(to_schedule(expected.source, file, file.solutions.back(), plan, failure));
        }
        EXPECT_EQ(describe(failure).view(), expected.message);
    }
}

TEST(reference_table, reads_values_bounds_and_psplib_tables) {
    reference_table table;
    message_text why;
    ASSERT_TRUE(table.read("problem,optimum\nj301_1.sm,43\nj601_5.sm,76..79\nj1201_2.sm,..105\n", "", why))
        << why.view();
    ASSERT_NE(table.find("j301_1"), nullptr);
    EXPECT_TRUE(table.find("j301_1")->proven());
    EXPECT_EQ(table.find("j601_5")->lower, std::optional<std::int64_t>(76));
    EXPECT_EQ(table.find("j1201_2")->lower, std::nullopt);
    EXPECT_EQ(table.find("j1201_2")->upper, std::optional<std::int64_t>(105));
    reference_table psplib;
    ASSERT_TRUE(psplib.read("Par  Inst  Makespan  CPU-Time[sec]\n=====\n   1     1      43      0.1\n", "j30", why));
    EXPECT_EQ(psplib.find("j301_1")->upper, std::optional<std::int64_t>(43));
    EXPECT_FALSE(reference_table().read("problem,optimum\nj301_1.sm,x\n", "", why));
    EXPECT_EQ(why.view(), "line 2: expected an optimum (43), bounds (40..43) or an upper bound (..43)");
    reference_table shipped;
    ASSERT_TRUE(shipped.read(builtin_references(), "", why));
    EXPECT_EQ(shipped.find("j3048_10")->upper.value_or(0), shipped.find("j3048_10")->lower.value_or(-1));
}

} // namespace
} // namespace converter
