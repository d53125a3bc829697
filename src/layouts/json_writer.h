// The writer of the JSON layout (`json`), for Python, JavaScript, R and the web:
//
//   {"capacities": [10, 8], "activities": [
//     {"duration": 0, "demands": [0, 0], "successors": [1, 2, 3]},
//     ...
//     {"duration": 0, "demands": [0, 0], "successors": []}
//   ]}
//
// With general time lags (see has_general_lags), each activity also has
// "lags" after "successors": one per successor, in the same order. An activity
// with several modes has "modes" in place of "duration" and "demands":
//     {"modes": [{"duration": 2, "demands": [0, 3]}, {"duration": 6, ...}], "successors": [6, 8]},
// and when some resource is not renewable, "kinds" follows "capacities", one
// per resource: "renewable", "nonrenewable" or "doubly constrained". PSPLIB's
// header values, when held, come first under "psplib" ({"basedata": ...,
// "seed", "horizon", "release_date", "due_date", "tardiness_cost",
// "mpm_time"}, those held).
// Every activity, the dummies included, one per line in the instance's order;
// successors as 0-based indices into "activities", in the instance's order,
// whatever their value (repeated, outside the array, negative); keys in this
// order; every line ended by "\n" (CR LF through a text-mode stream on
// Windows). The counts are the arrays' lengths, so a negative count can't be
// written: has_no_negative_count refuses it. `schema/instance.schema.json` describes
// the layout.
#pragma once

#include <string_view>

#include "instance/instance.h"
#include "layouts/output_buffer.h"

namespace converter {

// `source` must have no negative count (see has_no_negative_count, which the
// table of layouts asks for this layout).
void write_json(output_buffer& buffer, const instance& source);

// One line of a JSON Lines file of a whole set (--bundle): the same object with
// "name" first, `name` as a JSON string (quotes, backslashes and control
// characters escaped), and no line end inside:
//   {"name": "j30/j301_1.sm", "capacities": [10], "activities": [{"duration": 0, ...}, ...]}
// The JSON reader reads each line back (and passes "name" over).
void write_json_line(output_buffer& buffer, const instance& source, std::string_view name);

} // namespace converter
