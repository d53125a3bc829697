// The writer of the JSON layout (`json`), for Python, JavaScript, R and the web:
//
//   {"capacities": [10, 8], "activities": [
//     {"duration": 0, "demands": [0, 0], "successors": [1, 2, 3]},
//     ...
//     {"duration": 0, "demands": [0, 0], "successors": []}
//   ]}
//
// Every activity, the dummies included, one per line in the instance's order;
// successors as 0-based indices into "activities", in the instance's order,
// whatever their value (repeated, outside the array, negative); keys in this
// order; every line ended by "\n" (CR LF through a text-mode stream on
// Windows). The counts are the arrays' lengths, so a negative count can't be
// written: json_can_hold refuses it. `schema/instance.schema.json` describes
// the layout.
#pragma once

#include "instance/instance.h"
#include "instance/messages.h"
#include "layouts/output_buffer.h"

namespace converter {

// False, with the reason in `why`, for a negative successor, activity or
// resource count.
bool json_can_hold(const instance& source, message_text& why);

// `source` must be one that json_can_hold accepts.
void write_json(output_buffer& buffer, const instance& source);

} // namespace converter
