// Whether a schedule that a solver gave back keeps to its instance: the time
// lags (or precedences), the capacities per period and over the project.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/validation.h"
#include "instance/instance.h"
#include "instance/messages.h"

namespace converter {

// One start per activity and, for an instance with modes, one mode per
// activity (from 1); `modes` empty for a single-mode instance.
struct schedule {
    std::vector<std::int64_t> starts;
    std::vector<std::int64_t> modes;
};

// One way a schedule fails its instance: where it is, for a picture to show
// it there, and what the finding says.
struct schedule_violation {
    enum class kind {
        mode,         // `activity` is given a mode it does not have
        start,        // `activity` starts before time 0
        arc,          // `successor` starts too early for the arc from `activity`
        renewable,    // `resource` is over its capacity in periods `from`..`to`
        nonrenewable, // the chosen modes need more of `resource` than it has
    };
    kind what = kind::start;
    std::size_t activity = 0;  // from 0
    std::size_t successor = 0; // from 0
    std::size_t resource = 0;  // from 0
    // renewable: the first and the last period over the capacity; arc: the
    // earliest start the arc allows the successor, and its start.
    std::int64_t from = 0;
    std::int64_t to = 0;
    message_text text;
};

struct schedule_report {
    bool feasible = true;
    std::int64_t makespan = 0;                  // the latest finish
    std::vector<schedule_violation> violations; // the first `limit`, in the order below
    std::uint64_t violation_count = 0;          // all of them
};

// How resources are named: "resource 2", or as PSPLIB labels them, "R 2",
// "N 1", "D 1", numbered within their kind.
enum class resource_labels { numbers, psplib };

// Where each activity's chosen mode is in the stores (in `durations`, and
// times R in `demands`), or no_mode where `plan` gives it a mode it does not
// have. `plan` must hold one entry per activity (modes too, with modes).
// Throws std::bad_alloc when memory runs out.
inline constexpr std::size_t no_mode = static_cast<std::size_t>(-1);
std::vector<std::size_t> chosen_modes(const instance& source, const schedule& plan);

// The use of resources over time, swept from the start and finish events of
// the activities that have a chosen mode (see chosen_modes) of positive
// duration: a finish at t comes before a start at t, so that the two share no
// period, and periods are never walked one by one. O(N log N) to make, O(N)
// a sweep. Throws std::bad_alloc when memory runs out.
class use_sweep {
public:
    use_sweep(const instance& source, const schedule& plan, const std::vector<std::size_t>& chosen);

    // Calls `each(time, next, used)` at each time an event is at, in time
    // order: `used` is what the activities running from `time` on demand of
    // `resource`, `next` the time of the next event (`time` after the last).
    template <typename visitor> void sweep(std::size_t resource, visitor each) const {
        std::int64_t used = 0;
        for (std::size_t at = 0; at < events_.size();) {
            const std::int64_t time = events_[at].time;
            for (; at < events_.size() && events_[at].time == time; ++at) {
                const std::int64_t demand = source_.demands[chosen_[events_[at].activity] * resources_ + resource];
                used += events_[at].starts ? demand : -demand;
            }
            each(time, at < events_.size() ? events_[at].time : time, used);
        }
    }

private:
    struct event {
        std::int64_t time;
        std::size_t activity;
        bool starts;
    };
    const instance& source_;
    const std::vector<std::size_t>& chosen_;
    std::size_t resources_;
    std::vector<event> events_;
};

// Appends "resource " and the label of `resource` (from 0) as `labels` says.
message_text& append_resource(message_text& text, const instance& source, std::size_t resource, resource_labels labels);

// Checks `plan` against `source` (as a successful read leaves it, with
// `plan.starts` and, with modes, `plan.modes` of one entry per activity:
// the caller has checked their counts). A schedule is feasible when
//   - every start is 0 or more, and every mode one of its activity's;
//   - every arc i -> j holds S_j >= S_i + lag, the lag being the arc's own
//     with general lags (a negative one a maximal lag) and else i's duration
//     in its chosen mode: "job 11 starts at 11, before job 2 ends at 12";
//   - per renewable (and doubly constrained) resource, the demands of the
//     activities running in each period t (S <= t < S + d; one of duration 0
//     uses nothing) keep within its capacity: "resource R 2: 14 used in
//     periods 10-12 by jobs 4, 7 and 9, above its capacity 12", one finding
//     per stretch of periods of the same use;
//   - per nonrenewable (and doubly constrained) resource, the chosen modes'
//     demands together keep within it: "resource N 1: the chosen modes need
//     46, above its capacity 42".
// A mode outside its activity's range is named and the activity then left
// out of the other checks. Periods are never walked one by one: the use is
// swept from start and finish events, so horizons of 10^8 cost nothing.
// O(N log N + arcs) time, O(N) memory. Throws std::bad_alloc when memory
// runs out.
schedule_report verify_schedule(const instance& source, const schedule& plan, const activity_naming& naming,
                                resource_labels labels = resource_labels::numbers, std::size_t limit = 20);

} // namespace converter
