// A verified schedule drawn as an SVG picture: a Gantt chart of the
// activities and the use of each resource over time, with the violations
// where they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "analysis/schedule_check.h"

namespace converter {

// What the picture's title says besides the makespan and the verdict.
struct picture_title {
    std::string_view instance;  // the instance's name
    std::string_view reference; // "43", "40..45"; empty without a reference
    std::string_view gap;       // "2.33" (%); empty without one
};

// Past this many activities the picture leaves the Gantt chart out and shows
// the resource profiles alone, saying so.
inline constexpr std::size_t gantt_activity_limit = 5000;

// Appends to `svg` a standalone SVG 1.1 document (UTF-8, LF line ends) of
// `plan`, as verify_schedule checked it against `source` into `report` (with
// `naming` and `labels` as given to it):
//   - a title: the instance, the makespan, "feasible" or "infeasible" with
//     the count of violations, and the reference and gap when given;
//   - a time axis with ticks at steps of 1, 2 or 5 times a power of ten;
//   - one row per activity in the instance's order, labelled by its number in
//     the file (and its mode when it has several), its bar from its start to
//     its finish (a mark for a duration of 0) with the times as its <title>;
//     rows shrink down to 1 pixel for large instances, labels dropped below
//     10 pixels, and past gantt_activity_limit activities the chart is left
//     out;
//   - per renewable or doubly constrained resource, its use over time as a
//     step area (from the start and finish events: one point per change,
//     changes closer than a quarter pixel merged to their highest use) under
//     its capacity as a dashed line;
//   - per nonrenewable or doubly constrained resource, one bar of what the
//     chosen modes need against its capacity.
// The violations kept in `report` are drawn in red where they are, their
// text as the element's <title>: an arc from the point where the successor
// could start at the earliest to where it starts, a bar outlined (a mode it
// lacks, a start before 0), a nonrenewable total's excess over the capacity.
// Every stretch of periods over a capacity is shaded red on its profile,
// whether its violation was kept or not. Text from `title` and the findings is
// escaped for XML, and a byte that is not well-formed UTF-8 becomes U+FFFD.
// O(N log N) time; the size grows with the activities drawn, not with the
// horizon. Throws std::bad_alloc when memory runs out.
void draw_schedule(const instance& source, const schedule& plan, const schedule_report& report,
                   const activity_naming& naming, resource_labels labels, const picture_title& title, std::string& svg);

} // namespace converter
