// Schedules as solvers give them back: MiniZinc's output of the benchmark
// models (rcpsp.mzn, mrcpsp.mzn, rcpsp_max.mzn) in its default, dzn and json
// output modes, and a plain JSON schedule, {"starts": [...], "modes": [...]}.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "analysis/schedule_check.h"
#include "instance/instance.h"
#include "instance/messages.h"
#include "instance/read_failure.h"

namespace converter {

// One solution as the file gives it, with the places of its arrays.
struct schedule_solution {
    std::vector<std::int64_t> starts;              // "Start times", "s", "start" (MiniZinc's tasks) or "starts"
    std::vector<char> mode_run;                    // mrcpsp's "mrun": a Boolean per mode, in the data's numbering
    std::vector<std::int64_t> modes;               // the plain layout's "modes", from 1, one per activity
    std::optional<std::int64_t> reported;          // "makespan" or "objective"
    read_failure starts_at, mode_run_at, modes_at; // each array's opening bracket
    bool has_mode_run = false, has_modes = false;
};

struct schedule_file {
    bool plain = false; // the plain JSON layout: every activity, dummies included
    std::vector<schedule_solution> solutions;
    bool optimal = false;       // "=========="
    bool unsatisfiable = false; // "=====UNSATISFIABLE====="
    bool unknown = false;       // "=====UNKNOWN=====" (or "=====ERROR=====")
};

// Reads every solution of `text`: solutions separated by "----------" lines,
// each a set of assignments `name = value;` (default and dzn output), or a
// JSON object (json output, the plain layout), values integers, Booleans or
// arrays of them; names it does not know are passed over. A value that is
// neither, an integer outside -10^15..10^15 (so that times, durations and lags
// add up without overflow), an array not closed, or a file with no solution
// and no status is refused at its place with the reader's usual message.
read_failure read_schedule(std::string_view text, schedule_file& result);

// `solution` of a file read above as a schedule of every activity of
// `source`: MiniZinc's tasks leave the dummies out when the instance has them
// (N - 2 starts for N activities: the source starts at 0, the sink at the
// latest finish), and mrun's Booleans become each task's mode. False with the
// failure at its place in `why` ("expected 30 start times, one per task,
// found "[", an array of 29"; "expected one true in mrun for task 4, found
// "[", an array with 2").
bool to_schedule(const instance& source, const schedule_file& file, const schedule_solution& solution, schedule& plan,
                 read_failure& why);

} // namespace converter
