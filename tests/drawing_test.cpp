// Schedules drawn as SVG: what each picture holds, and what it must not.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drawing/schedule_svg.h"
#include "layouts/formats.h"
#include "test_instances.h"

namespace converter {
namespace {

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

std::string draw(const char* layout, const instance& source, const schedule& plan,
                 const picture_title& title = {"x", {}, {}}) {
    const activity_naming& naming = find_format(layout)->naming;
    const resource_labels labels =
        std::string(layout) == "sm" || std::string(layout) == "mm" ? resource_labels::psplib : resource_labels::numbers;
    const schedule_report report = verify_schedule(source, plan, naming, labels);
    std::string svg;
    draw_schedule(source, plan, report, naming, labels, title, svg);
    return svg;
}

// The dummies, 1 (d 2, r 2) and 2 (d 3, r 2) on one resource of capacity 3,
// and 3 of duration 0.
const char* const small = "5 1 3  0 0 2 2 3  2 2 1 4  3 2 1 5  0 5 1 5  0 0 0";
const char* const two_modes =
    R"({"capacities": [2, 5, 2], "kinds": ["renewable", "nonrenewable", "doubly constrained"], "activities": [
    {"duration": 0, "demands": [0, 0, 0], "successors": [1, 2]},
    {"modes": [{"duration": 2, "demands": [1, 3, 1]}, {"duration": 4, "demands": [1, 1, 1]}], "successors": [3]},
    {"modes": [{"duration": 1, "demands": [2, 3, 2]}, {"duration": 3, "demands": [1, 1, 1]}], "successors": [3]},
    {"duration": 0, "demands": [0, 0, 0], "successors": []}]})";
const char* const lagged = "2\t1\t0\t0\n0\t1\t2\t1\t2\t[0]\t[0]\n1\t1\t2\t2\t3\t[2]\t[2]\n2\t1\t2\t1\t3\t[-4]\t[1]\n"
                           "3\t1\t0\n0\t1\t0\t0\n1\t1\t2\t1\n2\t1\t1\t1\n3\t1\t0\t0\n1\n";

TEST(draw_schedule, draws_each_class_and_its_violations_where_they_are) {
    const struct {
        const char* name;
        const char* layout;
        std::string instance;
        schedule plan;
        std::vector<std::string> held;     // each in the picture
        std::vector<std::string> not_held; // none of them
    } cases[] = {
        {"feasible: bars, labels, a profile under its capacity, no red",
         "rcp",
         small,
         {{0, 0, 2, 2, 5}, {}},
         {"<title>x: makespan 5, feasible</title>", "<title>activity 2: 0 to 2</title>",
          "<title>activity 3: 2 to 5</title>", ">resource 1</text>", ">capacity 3</text>", "stroke-dasharray",
          "font-family=\"sans-serif\""},
         {"#d00000", "<marker"}},
        {"a precedence violated: an arrow from the earliest start to the start",
         "rcp",
         small,
         {{0, 0, 0, 1, 5}, {}},
         {"infeasible (2 violations)",
          "marker-end=\"url(#arrow)\"><title>activity 4 starts at 1, before activity 2 ends at 2",
          "<title>resource 1: 4 used in periods 0\xe2\x80\x93"
          "1 by activities 2 and 3, above its capacity 3</title></rect>"},
         {}},
        {"modes: labelled, a nonrenewable total over its capacity in red",
         "json",
         two_modes,
         {{0, 0, 0, 4}, {1, 1, 1, 1}},
         {">1 m1</text>", ">2 m1</text>", "<title>activities[1], mode 1: 0 to 2</title>",
          "fill=\"#d00000\"><title>resource 2: the chosen modes need 6, above its capacity 5</title>",
          ">6 of 5 over the project</text>", ">3 of 2 over the project</text>"},
         {"<marker"}},
        {"a mode it lacks: the bar outlined",
         "json",
         two_modes,
         {{0, 0, 4, 7}, {1, 3, 2, 1}},
         {"stroke=\"#d00000\" stroke-width=\"2\"><title>activities[1] is given mode 3, which it does not have"},
         {}},
        {"a maximal lag met exactly", "sch", lagged, {{0, 0, 4, 5}, {}}, {"feasible</title>"}, {"#d00000"}},
        {"a maximal lag passed: an arrow back",
         "sch",
         lagged,
         {{0, 0, 5, 6}, {}},
         {"<path d=\"M", "marker-end=\"url(#arrow)\"><title>activity 1 starts at 0, before 1, which the time lag -4"},
         {}},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        const std::string svg = draw(expected.layout, read_as(expected.layout, expected.instance), expected.plan);
        EXPECT_EQ(svg.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0), 0u);
        EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
        for (const std::string& part : expected.held) EXPECT_NE(svg.find(part), std::string::npos) << part;
        for (const std::string& part : expected.not_held) EXPECT_EQ(svg.find(part), std::string::npos) << part;
    }
}

TEST(draw_schedule, escapes_the_title_for_xml) {
    const std::string svg =
        draw("rcp", read_as("rcp", small), {{0, 0, 2, 2, 5}, {}}, {"a&b <c> \"d\"\xff", "40..45", "2.50"});
    EXPECT_NE(svg.find("<title>a&amp;b &lt;c&gt; &quot;d&quot;\xef\xbf\xbd: makespan 5, feasible, reference 40..45, "
                       "gap 2.50 %</title>"),
              std::string::npos);
}

// A chain of `activities` of duration 1, one after another, demanding 1 and 2
// in turn of a resource of capacity 2.
std::string draw_chain(std::size_t activities) {
    instance source;
    source.activity_count = static_cast<std::int32_t>(activities);
    source.resource_count = 1;
    source.capacities.push_back(2);
    schedule plan;
    for (std::size_t activity = 0; activity < activities; ++activity) {
        source.durations.push_back(1);
        source.demands.push_back(static_cast<std::int32_t>(activity % 2 + 1));
        source.successor_counts.push_back(0);
        plan.starts.push_back(static_cast<std::int64_t>(activity));
    }
    std::string svg;
    draw_schedule(source, plan, verify_schedule(source, plan, activity_naming{}), activity_naming{}, {}, {"x", {}, {}},
                  svg);
    return svg;
}

TEST(draw_schedule, shrinks_rows_and_leaves_the_chart_out_past_its_limit) {
    // One row each with labels; without them once rows are thin; no rows
    // past the limit, and the profile's points bounded by the width.
    EXPECT_EQ(occurrences(draw_chain(100), "<rect x="), 100u + 1);
    EXPECT_EQ(occurrences(draw_chain(100), "text-anchor=\"end\">100</text>"), 1u);
    const std::string thin = draw_chain(1000);
    EXPECT_EQ(occurrences(thin, "<title>activity "), 1000u);
    EXPECT_EQ(thin.find("text-anchor=\"end\">1000</text>"), std::string::npos);
    const std::string profiles_only = draw_chain(gantt_activity_limit + 1);
    EXPECT_EQ(occurrences(profiles_only, "<title>activity "), 0u);
    EXPECT_NE(profiles_only.find("5001 activities: past 5000 the chart of activities is left out"), std::string::npos);
    EXPECT_LT(draw_chain(200000).size(), 200000u);
}

} // namespace
} // namespace converter
