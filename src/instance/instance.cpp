#include "instance/instance.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace converter {

namespace {

// What a mapped store's size is rounded up to.
constexpr std::size_t page_bytes = 4096;

#if defined(__linux__)
// A store of a megabyte or more has pages of its own, grown by mremap: the
// kernel moves the pages, never the values. realloc would do so only while the
// C library gives such blocks pages of their own, which glibc stops doing for
// blocks below 32 MB once a large block was freed (its threshold follows the
// largest freed), and a store that can't grow at the top of the heap is then
// copied at every doubling.
constexpr std::size_t mapped_bytes = std::size_t{1} << 20;

bool is_mapped(std::size_t capacity) { return capacity * sizeof(std::int32_t) >= mapped_bytes; }

void free_block(std::int32_t* block, std::size_t capacity) {
    if (block != nullptr && is_mapped(capacity))
        munmap(block, capacity * sizeof(std::int32_t));
    else
        std::free(block);
}

// A block of at least `count` values holding the `size` values of `block`
// (of `capacity`); sets `count` to what the new block holds. nullptr, with
// `block` untouched, when memory can't be obtained.
std::int32_t* grown_block(std::int32_t* block, std::size_t size, std::size_t capacity, std::size_t& count) {
    const std::size_t bytes = count * sizeof(std::int32_t);
    if (bytes < mapped_bytes) return static_cast<std::int32_t*>(std::realloc(block, bytes));
    const std::size_t mapped = (bytes + page_bytes - 1) / page_bytes * page_bytes;
    void* grown = nullptr;
    if (block != nullptr && is_mapped(capacity)) {
        grown = mremap(block, capacity * sizeof(std::int32_t), mapped, MREMAP_MAYMOVE);
    } else {
        grown = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (grown != MAP_FAILED && size != 0) std::memcpy(grown, block, size * sizeof(std::int32_t));
        if (grown != MAP_FAILED) std::free(block);
    }
    if (grown == MAP_FAILED) return nullptr;
    count = mapped / sizeof(std::int32_t);
    return static_cast<std::int32_t*>(grown);
}
#else
void free_block(std::int32_t* block, std::size_t) { std::free(block); }

// realloc lets the C library extend a large block in place, so growing the
// biggest store seldom needs the old and the new copy at once.
std::int32_t* grown_block(std::int32_t* block, std::size_t, std::size_t, std::size_t& count) {
    return static_cast<std::int32_t*>(std::realloc(block, count * sizeof(std::int32_t)));
}
#endif

} // namespace

int_store::int_store(int_store&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

int_store& int_store::operator=(int_store&& other) noexcept {
    if (this != &other) {
        free_block(data_, capacity_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

int_store::~int_store() { free_block(data_, capacity_); }

void int_store::release() {
    free_block(data_, capacity_);
    data_ = nullptr;
    size_ = capacity_ = 0;
}

bool int_store::reserve(std::size_t count) {
    if (count <= capacity_) return true;
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(std::int32_t) - page_bytes) return false;
    std::int32_t* const grown = grown_block(data_, size_, capacity_, count);
    if (grown == nullptr) return false;
    data_ = grown;
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
