// The in-memory project-scheduling instance: the one model every layout is
// read into and written from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace converter {

// A growable array of 32-bit values. Unlike std::vector it never zero-fills, and it
// grows without copying its values where the system allows: with realloc, and on
// Linux a store of a megabyte or more in pages of its own that mremap extends. Every
// failure to obtain memory is reported by a false return; the store is then left
// unchanged.
class int_store {
public:
    int_store() = default;
    int_store(const int_store&) = delete;
    int_store& operator=(const int_store&) = delete;
    int_store(int_store&& other) noexcept;
    int_store& operator=(int_store&& other) noexcept;
    ~int_store();

    // Makes room for at least `count` values in total.
    bool reserve(std::size_t count);
    bool push_back(std::int32_t value) {
        std::int32_t* const slot = room(1);
        if (slot == nullptr) return false;
        *slot = value;
        ++size_;
        return true;
    }
    // For hot loops: makes room for `count` more values and returns where they
    // go (nullptr when memory can't be obtained); `added` then counts those
    // written. Growth is geometric, so appending stays linear.
    std::int32_t* room(std::size_t count) {
        if (capacity_ - size_ < count && !grow_for(count)) return nullptr;
        return data_ + size_;
    }
    void added(std::size_t count) { size_ += count; }
    // Keeps the first `count` values (all of them when there are fewer); the
    // memory stays.
    void truncate(std::size_t count) { size_ = count < size_ ? count : size_; }
    // Frees the memory; the store is empty afterwards.
    void release();

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    const std::int32_t* begin() const { return data_; }
    std::int32_t* data() { return data_; }
    const std::int32_t* end() const { return data_ + size_; }
    std::int32_t operator[](std::size_t index) const { return data_[index]; }

private:
    bool grow_for(std::size_t count);

    std::int32_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// What a PSPLIB file says of its project beyond the instance's values, kept
// when an sm file is read so that the sm writer gives the file back; each
// value only when the file held it, a number only within 32 bits (the writer
// computes or defaults the rest). Not values of the instance: no check or
// measure reads them.
struct project_header {
    std::optional<std::string> basedata; // "j30_17.bas"
    std::optional<std::int64_t> seed, horizon, release_date, due_date, tardiness_cost, mpm_time;
    bool empty() const {
        return !basedata && !seed && !horizon && !release_date && !due_date && !tardiness_cost && !mpm_time;
    }
};

// The kinds of resource: renewable (its capacity available in every period),
// nonrenewable (its capacity over the whole project) and doubly constrained
// (both), numbered as MiniZinc's multi-mode data number them (rtype).
enum class resource_kind : std::int32_t { renewable = 1, nonrenewable = 2, doubly_constrained = 3 };

// One instance. Stores hold exactly the values read, in file order:
//   durations, successor_counts: one per activity (N when the input is valid),
//   or, with modes, durations one per mode (see mode_counts);
//   capacities: R values; demands: R per activity, packed activity by activity,
//   or R per mode with modes;
//   successors: the lists of all activities with a positive successor count,
//   concatenated in activity order, each entry 0-based (the file's value minus 1).
// Counts that are zero or negative are kept as read and only make the matching
// loops run zero times (R <= 0: no capacities, no demands; s <= 0: no successors;
// N <= 0: no activity records).
struct instance {
    std::int32_t activity_count = 0;
    std::int32_t resource_count = 0;
    int_store durations;
    int_store capacities;
    int_store demands;
    int_store successor_counts;
    int_store successors;
    // The time lag of each arc, parallel to `successors`: the start of the
    // successor is at least the start of the activity plus the lag (a negative
    // lag, on an arc back, is a maximal time lag). Empty when every arc's lag is
    // its activity's duration, as every layout without lags has it; readers fill
    // it only when some lag differs (see has_general_lags).
    int_store lags;
    // The number of modes of each activity, its modes' durations and demands
    // then following one another in `durations` and `demands`, activity by
    // activity. Empty when every activity has one mode, the single-mode case,
    // as readers leave it then (see has_modes). Never held together with lags.
    int_store mode_counts;
    // The kind of each resource (resource_kind's values), in resource order.
    // Empty when every resource is renewable, as readers leave it then.
    int_store resource_kinds;
    // The stem of the file the instance was read from ("J301_1"), in UTF-8,
    // for the layouts that name their source; empty when it came from
    // elsewhere. Not a value of the instance: readers leave it empty.
    std::string source_name;
    // Whether the reader added the first and the last activity, dummies the
    // file does not hold (MiniZinc data hold only the tasks).
    bool dummies_added = false;
    // How the sch file read ended: its capacities as the public RCPSP/max files
    // write them ("c1<tab>...<tab>cR" and a line end) rather than as converter
    // does (each capacity followed by a tab, no line end). A property of the
    // file, not a value: the sch writer writes the form read.
    bool capacities_line_ended = false;
    // PSPLIB's header values, as an sm file (or JSON written from one) held them.
    project_header header;
};

// Empties `lags` when every arc's lag is its activity's duration, so that an
// instance read from a layout with lags is held as one without them would be.
// `lags` must hold one value per successor.
void drop_lags_equal_to_durations(instance& source);

// Empties `mode_counts` when every activity has one mode and
// `resource_kinds` when every resource is renewable, so that a single-mode
// renewable instance is held alike whatever layout it was read from.
void drop_single_modes_and_renewable_kinds(instance& source);

// Whether some activity has a number of modes other than 1.
inline bool has_modes(const instance& source) { return !source.mode_counts.empty(); }

// Whether some resource is not renewable.
inline bool has_other_kinds(const instance& source) { return !source.resource_kinds.empty(); }

inline resource_kind kind_of(const instance& source, std::size_t resource) {
    return source.resource_kinds.empty() ? resource_kind::renewable
                                         : static_cast<resource_kind>(source.resource_kinds[resource]);
}

// The number of modes of `activity`.
inline std::int32_t modes_of(const instance& source, std::size_t activity) {
    return source.mode_counts.empty() ? 1 : source.mode_counts[activity];
}

// The place of each activity's first mode in `durations` (and, times R, in
// `demands`), with the total after the last: N + 1 values. Throws
// std::bad_alloc when memory runs out.
std::vector<std::size_t> first_modes(const instance& source);

// The duration of each activity's shortest mode, one per activity (an
// activity without modes: 0). Throws std::bad_alloc when memory runs out.
std::vector<std::int32_t> shortest_durations(const instance& source);

// Whether some arc's time lag differs from its activity's duration.
inline bool has_general_lags(const instance& source) { return !source.lags.empty(); }

// The lag of the arc at `arc` (an index into `successors`) out of `activity`.
inline std::int32_t lag_of(const instance& source, std::size_t arc, std::size_t activity) {
    return source.lags.empty() ? source.durations[activity] : source.lags[arc];
}

} // namespace converter
