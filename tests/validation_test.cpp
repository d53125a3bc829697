#include "analysis/validation.h"
#include "layouts/formats.h"
#include "layouts/json_reader.h"
#include "layouts/rcp_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace converter {
namespace {

std::vector<std::string> findings_of(const instance& source, std::size_t limit = 20) {
    const validation_report report = validate(source, limit);
    std::vector<std::string> texts;
    for (const finding& item : report.findings) texts.emplace_back(item.text.view());
    if (report.total > report.findings.size())
        texts.push_back("+" + std::to_string(report.total - report.findings.size()));
    return texts;
}

instance rcp(std::string_view input) {
    instance source;
    EXPECT_FALSE(read_instance(input, source));
    return source;
}

std::vector<std::string> findings_of(std::string_view input) {
    instance source;
    const read_failure failure = read_instance(input, source);
    if (failure) return {"unreadable: " + std::string(describe(failure).view())};
    return findings_of(source);
}

TEST(validate, finds_each_kind_of_problem) {
    // clang-format off
    const struct {
        const char* name;
        std::string input;
        std::vector<std::string> findings;
    } cases[] = {
        {"a proper project", "5 2 10 8  0 0 0 3 2 3 4  3 4 2 1 5  2 3 5 1 5  4 1 1 1 5  0 0 0 0", {}},
        {"no resources", "3 0  0 1 2  4 1 3  0 0", {}},
        {"fewer than two activities", "1 0 0 0", {"the activity count is 1; a project needs at least a dummy start and a dummy end"}},
        {"no activities", "0 1 5", {"the activity count is 0; a project needs at least a dummy start and a dummy end"}},
        {"successor outside 1..N", "3 0  0 2 2 4  1 1 3  0 0",
         {"activity 1: successor 4 is outside 1..3"}},
        {"successor 0", "3 0  0 2 2 0  1 1 3  0 0", {"activity 1: successor 0 is outside 1..3"}},
        {"own successor", "3 0  0 1 2  1 2 2 3  0 0", {"activity 2: is its own successor"}},
        {"successor listed twice", "3 0  0 1 2  1 2 3 3  0 0", {"activity 2: lists successor 3 twice"}},
        {"negative values", "3 1 -4  0 0 1 2  -1 -2 1 3  0 0 0",
         {"resource 1: negative capacity -4", "activity 2: negative duration -1",
          "activity 2: negative demand -2 for resource 1"}},
        {"demand above capacity", "3 2 5 5  0 0 0 1 2  1 6 5 1 3  0 0 0 0",
         {"activity 2: demand 6 for resource 1 is above its capacity 5, so that no schedule exists"}},
        {"negative successor count", "3 0  0 1 2  1 -1  0 0",
         {"activity 1: activity 3 can't be reached from it", "activity 2: negative successor count -1",
          "activity 2: activity 3 can't be reached from it", "activity 3: can't be reached from activity 1"}},
        {"no dummy start or end", "3 1 5  1 0 1 2  1 1 1 3  2 3 1 1",
         {"activity 1: not a dummy start (duration 0, no demands)",
          "activity 1: on a precedence cycle of 3 activities: 1 -> 2 -> 3 -> 1",
          "activity 3: not a dummy end (duration 0, no demands, no successors)"}},
        {"a cycle in the middle", "5 0  0 1 2  1 1 3  1 1 4  1 2 2 5  0 0",
         {"activity 2: on a precedence cycle of 3 activities: 2 -> 3 -> 4 -> 2"}},
        {"unreachable both ways", "4 0  0 1 4  1 0  1 1 4  0 0",
         {"activity 2: can't be reached from activity 1", "activity 2: activity 4 can't be reached from it",
          "activity 3: can't be reached from activity 1"}},
    };
    // clang-format on
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(findings_of(expected.input), expected.findings);
    }
}

// A chain of a million activities and a cycle through all of them: neither may
// recurse deeply, and the cycle's text names its start and how long it is.
TEST(validate, handles_long_chains_and_long_cycles) {
    constexpr std::int32_t activities = 1000000;
    instance chain;
    chain.activity_count = activities;
    for (std::int32_t activity = 0; activity < activities; ++activity) {
        ASSERT_TRUE(chain.durations.push_back(activity == 0 || activity == activities - 1 ? 0 : 1));
        const bool last = activity == activities - 1;
        ASSERT_TRUE(chain.successor_counts.push_back(last ? 0 : 1));
        if (!last) {
            ASSERT_TRUE(chain.successors.push_back(activity + 1));
        }
    }
    EXPECT_EQ(findings_of(chain), std::vector<std::string>{});

    instance cycle;
    cycle.activity_count = activities;
    for (std::int32_t activity = 0; activity < activities; ++activity) {
        ASSERT_TRUE(cycle.durations.push_back(0));
        ASSERT_TRUE(cycle.successor_counts.push_back(1));
        ASSERT_TRUE(cycle.successors.push_back((activity + 1) % activities));
    }
    EXPECT_EQ(findings_of(cycle),
              (std::vector<std::string>{"activity 1: on a precedence cycle of 1000000 activities: 1 -> 2 -> 3 -> 4 "
                                        "-> 5 -> 6 -> 7 -> 8 -> 9 -> 10 -> 11 -> 12 -> ... -> 1",
                                        "activity 1000000: not a dummy end (duration 0, no demands, no successors)"}));
}

TEST(validate, keeps_the_first_findings_and_counts_the_rest) {
    std::string input = "30 0 0 29";
    for (int successor = 2; successor <= 30; ++successor) input += " " + std::to_string(successor + 100);
    for (int activity = 2; activity <= 30; ++activity) input += " 0 0";
    instance source;
    ASSERT_FALSE(read_instance(input, source));
    const std::vector<std::string> findings = findings_of(source, 3);
    ASSERT_EQ(findings.size(), 4u);
    EXPECT_EQ(findings[0], "activity 1: successor 102 is outside 1..30");
    // 29 out of range, 29 activities unreachable from the first, 29 that can't reach the last.
    EXPECT_EQ(findings[3], "+" + std::to_string(29 + 29 + 29 - 3));

    // The first in file order, though found after others: activity 2's.
    const std::vector<std::string> late = findings_of(rcp("3 0  0 1 3  1 0  0 0"), 2);
    EXPECT_EQ(late, (std::vector<std::string>{"activity 2: can't be reached from activity 1",
                                              "activity 2: activity 3 can't be reached from it"}));
}

TEST(validate, names_activities_as_the_input_does) {
    // Activity 2 lists the last twice and is on a cycle with 3; activity 4 is
    // cut off both ways: in rcp's numbers, then in each layout's own.
    instance source = rcp("5 0  0 1 2  1 3 3 5 5  1 1 2  1 0  0 0");
    const activity_naming sch{"activity", "activities", 0}, json{nullptr, "activities", 0}, sm{"job", "jobs", 1};
    const struct {
        const char* name;
        activity_naming naming;
        bool dummies_added;
        std::vector<std::string> findings;
    } cases[] = {
        {"rcp",
         {},
         false,
         {"activity 2: lists successor 5 twice", "activity 2: on a precedence cycle of 2 activities: 2 -> 3 -> 2",
          "activity 4: can't be reached from activity 1", "activity 4: activity 5 can't be reached from it"}},
        {"sch",
         sch,
         false,
         {"activity 1: lists successor 4 twice", "activity 1: on a precedence cycle of 2 activities: 1 -> 2 -> 1",
          "activity 3: can't be reached from activity 0", "activity 3: activity 4 can't be reached from it"}},
        {"json",
         json,
         false,
         {"activities[1]: lists successor 4 twice", "activities[1]: on a precedence cycle of 2 activities: 1 -> 2 -> 1",
          "activities[3]: can't be reached from activities[0]",
          "activities[3]: activities[4] can't be reached from it"}},
        {"sm",
         sm,
         false,
         {"job 2: lists successor 5 twice", "job 2: on a precedence cycle of 2 jobs: 2 -> 3 -> 2",
          "job 4: can't be reached from job 1", "job 4: job 5 can't be reached from it"}},
        {"dzn",
         {"task", "tasks", 1},
         true,
         {"task 1: lists successor 4 twice", "task 1: on a precedence cycle of 2 tasks: 1 -> 2 -> 1",
          "task 3: can't be reached from the dummy start added by the reader",
          "task 3: the dummy end added by the reader can't be reached from it"}},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        source.dummies_added = expected.dummies_added;
        const validation_report report = validate(source, 20, nullptr, expected.naming);
        std::vector<std::string> texts;
        for (const finding& item : report.findings) texts.emplace_back(item.text.view());
        EXPECT_EQ(texts, expected.findings);
    }
}

} // namespace
} // namespace converter

namespace converter {
namespace {

TEST(validate, finds_values_after_the_last_activity) {
    const std::string proper = "3 0\n0 1 2\n4 1 3\n0 0\n";
    const std::string after_a_chunk(70000, ' ');
    const struct {
        const char* name;
        std::string input;
        std::uint64_t count;
        std::uint64_t first_line;
        std::vector<std::string> findings;
    } cases[] = {
        {"nothing after it", proper + "\n\n", 0, 0, {}},
        {"a second instance",
         proper + "\n" + proper,
         10,
         6,
         {"the file goes on after the last activity (line 6): 10 more values"}},
        {"one value of any form",
         proper + "x",
         1,
         5,
         {"the file goes on after the last activity (line 5): 1 more value"}},
        {"on the last record's line",
         "3 0 0 1 2 4 1 3 0 0 7",
         1,
         1,
         {"the file goes on after the last activity (line 1): 1 more value"}},
        {"beyond a chunk, with CR LF",
         proper + after_a_chunk + "\r\n\r\n1" + after_a_chunk + "22\r\n",
         2,
         7,
         {"the file goes on after the last activity (line 7): 2 more values"}},
        {"a token cut by a chunk boundary counts once",
         proper + std::string(65536 - proper.size() - 2, ' ') + "123456",
         1,
         5,
         {"the file goes on after the last activity (line 5): 1 more value"}},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        instance source;
        trailing_tokens trailing;
        ASSERT_FALSE(read_instance(expected.input, source, &trailing));
        EXPECT_EQ(trailing.count, expected.count);
        EXPECT_EQ(trailing.first_line, expected.first_line);
        const validation_report report = validate(source, 20, &trailing);
        std::vector<std::string> texts;
        for (const finding& item : report.findings) texts.emplace_back(item.text.view());
        EXPECT_EQ(texts, expected.findings);
    }
}

} // namespace
} // namespace converter

namespace converter {
namespace {

// A project of two resources in JSON: a dummy start, the activities given,
// each a successor of the start and a predecessor of the dummy end.
std::vector<std::string> multi_mode_findings(const std::string& resources, const std::vector<std::string>& middle) {
    std::string text = "{" + resources + ", \"activities\": [{\"duration\": 0, \"demands\": [0, 0], \"successors\": [";
    for (std::size_t activity = 1; activity <= middle.size(); ++activity)
        text += (activity > 1 ? ", " : "") + std::to_string(activity);
    text += "]}";
    for (const std::string& activity : middle)
        text += ", {" + activity + ", \"successors\": [" + std::to_string(middle.size() + 1) + "]}";
    text += ", {\"duration\": 0, \"demands\": [0, 0], \"successors\": []}]}";
    text_cursor cursor{text};
    instance source;
    const read_failure failure = read_json(text_source(&cursor), source);
    if (failure) return {"unreadable: " + std::string(describe(failure).view())};
    return findings_of(source);
}

std::string modes(const std::string& list) { return "\"modes\": [" + list + "]"; }

TEST(validate, finds_modes_and_totals_that_no_schedule_can_keep_to) {
    const std::string renewable_and_total = R"("capacities": [5, 10], "kinds": ["renewable", "nonrenewable"])";
    const std::string two_totals = R"("capacities": [5, 5], "kinds": ["nonrenewable", "nonrenewable"])";
    const std::string a = R"({"duration": 1, "demands": [6, 4]})", b = R"({"duration": 2, "demands": [3, 5]})";
    // clang-format off
    const struct {
        const char* name;
        std::string resources;
        std::vector<std::string> middle;
        std::vector<std::string> findings;
    } cases[] = {
        {"one mode above a renewable capacity", renewable_and_total, {modes(a + ", " + b), modes(b + ", " + b)},
         {"activity 2: mode 1: demand 6 for resource 1 is above its capacity 5"}},
        {"no mode fits", renewable_and_total, {modes(a + ", " + a)},
         {"activity 2: mode 1: demand 6 for resource 1 is above its capacity 5",
          "activity 2: mode 2: demand 6 for resource 1 is above its capacity 5",
          "activity 2: no mode fits the capacities: each demands more than some resource's capacity, so that no "
          "schedule exists"}},
        {"a doubly constrained resource is held per period too",
         R"("capacities": [5, 10], "kinds": ["doubly constrained", "renewable"])", {modes(b + ", " + a)},
         {"activity 2: mode 2: demand 6 for resource 1 is above its capacity 5"}},
        {"smallest demands above a nonrenewable capacity", R"("capacities": [5, 9], "kinds": ["renewable", "nonrenewable"])", {modes(b + ", " + b), modes(b + ", " + b)},
         {"resource 2 (nonrenewable): capacity 9 is below 10, the sum of every activity's smallest demand of it, so that no schedule exists"}},
        {"a single-mode activity above a nonrenewable capacity", R"("capacities": [5, 3], "kinds": ["renewable", "nonrenewable"])",
         {R"("duration": 1, "demands": [1, 4])"},
         {"activity 2: demand 4 for resource 2 is above its capacity 3, so that no schedule exists"}},
        {"modes set aside raise the sums", two_totals,
         {R"("duration": 1, "demands": [0, 4])",
          modes(R"({"duration": 1, "demands": [0, 2]}, {"duration": 1, "demands": [4, 0]})"),
          modes(R"({"duration": 1, "demands": [2, 0]}, {"duration": 1, "demands": [0, 2]})")},
         {"resource 1 (nonrenewable): capacity 5 is below 6, the sum of every activity's smallest demand of it in the modes that can keep within the capacities, so that no schedule exists"}},
        {"every mode set aside", R"("capacities": [4, 4], "kinds": ["nonrenewable", "nonrenewable"])",
         {modes(R"({"duration": 1, "demands": [3, 0]}, {"duration": 1, "demands": [0, 3]})"),
          R"("duration": 1, "demands": [2, 2])"},
         {"activity 2: no mode is left once the modes that can't keep within the capacities of the resources counted over the whole project are set aside, so that no schedule exists"}},
        {"three activities, room for two: no sum alone says so", two_totals,
         {modes(R"({"duration": 1, "demands": [4, 0]}, {"duration": 1, "demands": [0, 4]})"),
          modes(R"({"duration": 1, "demands": [4, 0]}, {"duration": 1, "demands": [0, 4]})"),
          modes(R"({"duration": 1, "demands": [4, 0]}, {"duration": 1, "demands": [0, 4]})")},
         {"resources 1 and 2, counted over the whole project: no choice of one mode per activity keeps within all their capacities, so that no schedule exists"}},
        {"two activities, room for two, a worse mode beside each", two_totals,
         {modes(R"({"duration": 1, "demands": [4, 0]}, {"duration": 1, "demands": [0, 4]}, {"duration": 1, "demands": [4, 4]})"),
          modes(R"({"duration": 1, "demands": [4, 0]}, {"duration": 1, "demands": [0, 4]})")},
         {}},
        {"one choice of three", R"("capacities": [5, 5], "kinds": ["nonrenewable", "doubly constrained"])",
         {modes(R"({"duration": 1, "demands": [3, 1]}, {"duration": 1, "demands": [1, 3]})"),
          modes(R"({"duration": 1, "demands": [3, 1]}, {"duration": 1, "demands": [1, 3]})"),
          R"("duration": 1, "demands": [1, 1])"},
         {}},
    };
    // clang-format on
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(multi_mode_findings(expected.resources, expected.middle), expected.findings);
    }
}

TEST(validate, wants_dummies_of_one_mode) {
    const std::string text =
        R"({"capacities": [5], "activities": [)"
        R"({"modes": [{"duration": 0, "demands": [0]}, {"duration": 0, "demands": [0]}], "successors": [1]},)"
        R"({"duration": 0, "demands": [0], "successors": []}]})";
    text_cursor cursor{text};
    instance source;
    ASSERT_FALSE(read_json(text_source(&cursor), source));
    EXPECT_EQ(findings_of(source),
              std::vector<std::string>{"activity 1: not a dummy start (one mode, duration 0, no demands)"});
}

// Each finding's level, over the layouts and the three problem classes: what
// contradicts the data or the layout is invalid, a proof that no schedule
// exists infeasible, anything else a note; notes alone refute nothing.
TEST(validate, gives_each_finding_its_level) {
    const std::string two_modes =
        R"("modes": [{"duration": 1, "demands": [9, 1]}, {"duration": 2, "demands": [1, 1]}])";
    const std::string no_mode = R"("modes": [{"duration": 1, "demands": [9, 1]}, {"duration": 2, "demands": [9, 1]}])";
    const auto project = [](const std::string& kinds, const std::string& middle) {
        return "{\"capacities\": [5, 5]" + kinds +
               ", \"activities\": [{\"duration\": 0, \"demands\": [0, 0], \"successors\": [1]}, {" + middle +
               ", \"successors\": [2]}, {\"duration\": 0, \"demands\": [0, 0], \"successors\": []}]}";
    };
    const std::string sch_head = "2\t1\t0\t0\n0\t1\t1\t1\t[0]\n1\t1\t1\t2\t[3]\n";
    const std::string sch_tail = "3\t1\t0\n0\t1\t0\t0\n1\t1\t3\t2\n2\t1\t1\t1\n3\t1\t0\t0\n4\n";
    // clang-format off
    const struct {
        const char* name;
        const char* layout;
        std::string input;
        std::vector<std::string> findings;
        bool refutes;
    } cases[] = {
        {"a proper project", "rcp", "3 1 5  0 0 1 2  2 3 1 3  0 0 0", {}, false},
        {"a successor outside", "rcp", "3 1 5  0 0 1 4  2 3 1 3  0 0 0",
         {"invalid: activity 1: successor 4 is outside 1..3", "invalid: activity 1: activity 3 can't be reached from it",
          "invalid: activity 2: can't be reached from activity 1", "invalid: activity 3: can't be reached from activity 1"},
         true},
        {"an arc listed twice", "rcp", "3 1 5  0 0 2 2 2  2 3 1 3  0 0 0",
         {"invalid: activity 1: lists successor 2 twice"}, true},
        {"a precedence cycle", "rcp", "4 0  0 1 2  1 1 3  1 2 2 4  0 0",
         {"invalid: activity 2: on a precedence cycle of 2 activities: 2 -> 3 -> 2"}, true},
        {"a single mode above a capacity", "rcp", "3 1 5  0 0 1 2  2 6 1 3  0 0 0",
         {"infeasible: activity 2: demand 6 for resource 1 is above its capacity 5, so that no schedule exists"}, true},
        {"a maximal lag within reach", "sch", sch_head + "2\t1\t2\t1\t3\t[-3]\t[1]\n" + sch_tail, {}, false},
        {"a maximal lag too tight", "sch", sch_head + "2\t1\t2\t1\t3\t[-2]\t[1]\n" + sch_tail,
         {"infeasible: activity 1: on a cycle of 2 activities whose time lags add up to 1, more than 0, so that no "
          "schedule exists: 1 -> 2 -> 1"}, true},
        {"a mode that can't be chosen", "json", project("", two_modes),
         {"note: activities[1]: mode 1: demand 9 for resource 1 is above its capacity 5"}, false},
        {"no mode that fits", "json", project("", no_mode),
         {"note: activities[1]: mode 1: demand 9 for resource 1 is above its capacity 5",
          "note: activities[1]: mode 2: demand 9 for resource 1 is above its capacity 5",
          "infeasible: activities[1]: no mode fits the capacities: each demands more than some resource's capacity, "
          "so that no schedule exists"}, true},
        {"nonrenewable totals", "json", project(R"(, "kinds": ["renewable", "nonrenewable"])", R"("duration": 1, "demands": [1, 6])"),
         {"infeasible: activities[1]: demand 6 for resource 2 is above its capacity 5, so that no schedule exists"}, true},
        {"nonrenewable totals of modes", "json",
         project(R"(, "kinds": ["renewable", "nonrenewable"])",
                 R"("modes": [{"duration": 1, "demands": [1, 6]}, {"duration": 2, "demands": [1, 7]}])"),
         {"note: activities[1]: mode 1: demand 6 for resource 2 is above its capacity 5",
          "note: activities[1]: mode 2: demand 7 for resource 2 is above its capacity 5",
          "infeasible: activities[1]: no mode fits the capacities: each demands more than some resource's capacity, "
          "so that no schedule exists"}, true},
    };
    // clang-format on
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        text_cursor cursor{expected.input};
        instance source;
        const layout_format& layout = *find_format(expected.layout);
        const read_failure failure = layout.read(text_source(&cursor), source, nullptr);
        ASSERT_FALSE(failure) << describe(failure).view();
        const validation_report report = validate(source, 20, nullptr, layout.naming);
        std::vector<std::string> texts;
        for (const finding& item : report.findings)
            texts.push_back(std::string(level_name(item.level)) + ": " + std::string(item.text.view()));
        EXPECT_EQ(texts, expected.findings);
        EXPECT_EQ(report.refutes(), expected.refutes);
    }
}

// Searches that could take minutes on a small crafted file stop at their
// budget and say so as a note, which refutes nothing.
TEST(validate, says_when_a_search_gave_up) {
    // A chain whose arcs back of lag -1 make every cycle add up to 0, the
    // chain running against the activities' order: the label-correcting
    // search needs activities x arcs steps.
    constexpr std::int32_t tasks = 40000;
    instance lags;
    lags.activity_count = tasks + 2;
    for (std::int32_t activity = 0; activity < tasks + 2; ++activity) {
        const bool dummy = activity == 0 || activity == tasks + 1;
        lags.durations.push_back(dummy ? 0 : 1);
        const auto arc = [&](std::int32_t to, std::int32_t lag) {
            lags.successors.push_back(to);
            lags.lags.push_back(lag);
        };
        std::int32_t count = 0;
        if (activity == 0) {
            arc(tasks, 0);
            ++count;
        } else if (!dummy) {
            if (activity > 1) arc(activity - 1, 1), ++count;
            if (activity < tasks) arc(activity + 1, -1), ++count;
            if (activity == 1) arc(tasks + 1, 1), ++count;
        }
        lags.successor_counts.push_back(count);
    }
    const validation_report lag_report = validate(lags, 20);
    ASSERT_EQ(lag_report.findings.size(), 1u);
    EXPECT_EQ(lag_report.findings[0].level, finding_level::note);
    EXPECT_EQ(lag_report.findings[0].text.view(),
              "not decided: whether the time lags hold a cycle that adds up to more than 0 (the search stops after "
              "looking at 100000000 arcs)");
    EXPECT_FALSE(lag_report.refutes());
    // Three activities of 3,000 modes each on six nonrenewable resources, no
    // mode below another in every resource: the sums of two activities'
    // choices are counted before they are made.
    constexpr std::int32_t modes = 3000, resources = 6, jobs = 3;
    instance choices;
    choices.activity_count = jobs + 2;
    choices.resource_count = resources;
    for (std::int32_t resource = 0; resource < resources; ++resource) {
        choices.capacities.push_back(1000000);
        choices.resource_kinds.push_back(static_cast<std::int32_t>(resource_kind::nonrenewable));
    }
    for (std::int32_t activity = 0; activity < jobs + 2; ++activity) {
        const bool dummy = activity == 0 || activity == jobs + 1;
        choices.mode_counts.push_back(dummy ? 1 : modes);
        for (std::int32_t mode = 0; mode < (dummy ? 1 : modes); ++mode) {
            choices.durations.push_back(dummy ? 0 : 1);
            for (std::int32_t resource = 0; resource < resources; ++resource)
                choices.demands.push_back(dummy ? 0 : resource % 2 == 0 ? mode : modes - mode);
        }
        choices.successor_counts.push_back(activity == jobs + 1 ? 0 : 1);
        if (activity != jobs + 1) choices.successors.push_back(activity + 1);
    }
    const validation_report mode_report = validate(choices, 20);
    ASSERT_EQ(mode_report.findings.size(), 1u);
    EXPECT_EQ(mode_report.findings[0].level, finding_level::note);
    EXPECT_EQ(mode_report.findings[0].text.view(),
              "not decided: whether some choice of one mode per activity keeps within the capacities of resources 1, "
              "2, 3, 4, 5 and 6, counted over the whole project (the search stops after 50000000 steps)");
}

} // namespace
} // namespace converter
