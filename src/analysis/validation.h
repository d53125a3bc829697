// Checks that an instance the reader accepted is a proper project, which the
// converter itself never asks: it converts successors as given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "instance/instance.h"
#include "instance/messages.h"

namespace converter {

// How the input names its activities, so that findings speak its terms.
struct activity_naming {
    // "activity", "job", "task"; nullptr for JSON's "activities[i]".
    const char* word = "activity";
    const char* plural = "activities";
    // The number the file gives the instance's first activity that it holds
    // (1 in rcp and sm, 0 in sch and JSON, task 1 in dzn).
    std::int64_t first = 1;
};

// Activity `activity` (from 0) as `naming` says it: "job 4", "activities[3]",
// "the dummy start added by the reader" when the reader added it.
message_text& append_activity(message_text& text, const instance& source, const activity_naming& naming,
                              std::int64_t activity);
// Its number alone, as the file's successor lists write it.
std::int64_t activity_number(const instance& source, const activity_naming& naming, std::int64_t activity);

// One problem of an instance. `activity` is the activity's place in the
// instance from 1, or 0 when the finding is about a resource or the instance as
// a whole; `text` then starts with "resource K: " or stands alone, and
// otherwise with the activity as the input names it ("job 4: ", "activities[2]:
// ", "the dummy end added by the reader: ").
// What a finding says of the instance:
//   - invalid: the data contradict themselves or the layout (a successor
//     outside the activities, an arc listed twice, a negative count, a
//     precedence cycle, no dummy start);
//   - infeasible: well-formed, and no schedule can exist (a cycle of time lags
//     adding up to more than 0, an activity with no mode that fits, totals of
//     nonrenewable demands above their capacity, a single mode above a
//     capacity); each such text ends in "so that no schedule exists";
//   - note: well-formed and worth knowing, but no proof (a mode that can't be
//     chosen, a search that gave up at its budget: "not decided: ...").
enum class finding_level { invalid, infeasible, note };
inline constexpr std::size_t finding_levels = 3;

// "invalid", "infeasible", "note".
const char* level_name(finding_level level);

struct finding {
    std::int64_t activity = 0;
    finding_level level = finding_level::invalid;
    message_text text;
};

struct validation_report {
    std::vector<finding> findings; // the first `limit` findings, in the order below
    std::uint64_t total = 0;       // all findings, the ones not kept included
    // All findings by level (indexed by finding_level), the ones not kept included.
    std::uint64_t by_level[finding_levels] = {};

    std::uint64_t count(finding_level level) const { return by_level[static_cast<std::size_t>(level)]; }
    // Whether a finding says the instance is invalid or infeasible, which
    // notes alone never do.
    bool refutes() const { return count(finding_level::invalid) != 0 || count(finding_level::infeasible) != 0; }
};

// Finds the problems below, and gives them in file order: first those about
// the instance as a whole (what follows the last activity, too few activities,
// then each resource's), then those about activities, by activity, each
// activity's in the order listed:
//   - with `trailing` and a count above 0: the file goes on after the last
//     activity ("the file goes on after the last activity (line L): K more
//     values"), as two instances in one file do;
//   - fewer than two activities (no room for a dummy start and end);
//   - per resource: a negative capacity;
//   - with a nonrenewable or doubly constrained resource, and every activity
//     with a mode within all capacities: such a resource whose capacity is
//     below the sum of every activity's smallest demand of it, after modes that
//     can't keep within those capacities beside every other activity's
//     smallest demands have been set aside (up to 32 rounds), or else an
//     activity that keeps no mode once they are; else, with two such
//     resources or more, that no choice of one mode per activity keeps within
//     all their capacities at once (decided within a fixed amount of work,
//     past which a note says it was not decided). Each proves that no
//     schedule exists, and without a deadline the last one decides it: modes
//     within the per-period capacities can always be run one after another;
//   - per activity: a negative duration, a negative demand, a demand above its
//     resource's capacity (each of these per mode, "mode M: " after the
//     activity when it has several), no mode within all capacities (with
//     several modes), a negative successor count, a successor outside the
//     activities, the activity as its own successor, a successor listed twice;
//   - the first activity not a dummy start (duration 0, no demands), the last not
//     a dummy end (duration 0, no demands, no successors), "one mode, " put
//     before "duration" when some activity has several;
//   - one precedence cycle, at its first activity, its activities named in order
//     (arcs outside the activities and self-arcs are left out of it, having
//     findings of their own); with general time lags, one whose lags add up to
//     more than 0, or a note when the search gave up at its budget;
//   - an activity that can't be reached from the first, then one from which
//     the last can't be reached (when N >= 2).
// Each finding has its level (see finding_level): a demand above a capacity
// is infeasible in an activity of one mode and a note in one of several.
// Keeps the first `limit` findings and counts the rest. Activities, successors
// and cycles are named as `naming` says, and the first and last activity as
// added by the reader when `source.dummies_added`. Linear time and memory in N
// plus the successors (times log `limit`); no recursion. `source` must be as a
// successful read leaves it. Throws std::bad_alloc when memory runs out.
// The findings as a table (`--check --csv`): "file,level,element,message",
// then per finding its file, its level, the element it is about in the
// file's own terms ("job 4", "resource 2", "resources 3 and 4", empty for the
// instance as a whole) and the rest of its text, each as a CSV field, with a
// line end.
const char* findings_csv_header();
void append_findings_csv_row(std::string& rows, std::string_view file, const finding& item);

validation_report validate(const instance& source, std::size_t limit = 20, const trailing_tokens* trailing = nullptr,
                           const activity_naming& naming = {});

} // namespace converter
