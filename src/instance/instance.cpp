#include "instance/instance.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <utility>

namespace converter {

int_store::int_store(int_store&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

int_store& int_store::operator=(int_store&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

int_store::~int_store() { std::free(data_); }

void int_store::release() {
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
}

bool int_store::reserve(std::size_t count) {
    if (count <= capacity_) return true;
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(std::int32_t)) return false;
    // realloc lets the C library extend a large block in place (mremap on Linux),
    // so growing the biggest store never needs the old and the new copy at once.
    void* grown = std::realloc(data_, count * sizeof(std::int32_t));
    if (grown == nullptr) return false;
    data_ = static_cast<std::int32_t*>(grown);
    capacity_ = count;
    return true;
}

bool int_store::grow_for(std::size_t count) {
    if (count > std::numeric_limits<std::size_t>::max() - size_) return false;
    const std::size_t needed = size_ + count;
    const std::size_t doubled = capacity_ < 512 ? 1024 : capacity_ * 2;
    return (doubled > needed && reserve(doubled)) || reserve(needed);
}

void drop_lags_equal_to_durations(instance& source) {
    if (source.lags.empty()) return;
    const std::int32_t* lag = source.lags.begin();
    const auto activities = static_cast<std::size_t>(source.activity_count > 0 ? source.activity_count : 0);
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        for (std::int32_t arc = 0; arc < count; ++arc)
            if (*lag++ != source.durations[activity]) return;
    }
    source.lags.release();
}

void drop_single_modes_and_renewable_kinds(instance& source) {
    bool single = true;
    for (const std::int32_t count : source.mode_counts) single = single && count == 1;
    if (single) source.mode_counts.release();
    bool renewable = true;
    for (const std::int32_t kind : source.resource_kinds)
        renewable = renewable && kind == static_cast<std::int32_t>(resource_kind::renewable);
    if (renewable) source.resource_kinds.release();
}

std::vector<std::size_t> first_modes(const instance& source) {
    const auto activities = static_cast<std::size_t>(source.activity_count > 0 ? source.activity_count : 0);
    std::vector<std::size_t> first(activities + 1);
    std::size_t total = 0;
    for (std::size_t activity = 0; activity < activities; ++activity) {
        first[activity] = total;
        const std::int32_t count = modes_of(source, activity);
        total += count > 0 ? static_cast<std::size_t>(count) : 0;
    }
    first[activities] = total;
    return first;
}

std::vector<std::int32_t> shortest_durations(const instance& source) {
    const auto activities = static_cast<std::size_t>(source.activity_count > 0 ? source.activity_count : 0);
    std::vector<std::int32_t> shortest(activities);
    const std::int32_t* duration = source.durations.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t modes = modes_of(source, activity);
        std::int32_t least = modes > 0 ? *duration : 0;
        for (std::int32_t mode = 0; mode < modes; ++mode, ++duration) least = std::min(least, *duration);
        shortest[activity] = least;
    }
    return shortest;
}

} // namespace converter
