// The in-memory project-scheduling instance and its reader for the input layout.
//
// Input layout: signed decimal integers separated by any white space (blank, tab,
// CR, LF, vertical tab, form feed); line structure carries no meaning. In order:
//   N (activity count), R (resource count), R capacities, then N activity records,
//   each: duration, R demands, successor count s, s successor numbers (1-based).
// Nothing after the last activity record is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace converter {

// A growable array of 32-bit values. Unlike std::vector it never zero-fills, and it
// grows with realloc so that large stores can be extended in place. Every failure to
// obtain memory is reported by a false return; the store is then left unchanged.
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
    // Frees the memory; the store is empty afterwards.
    void release();

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    const std::int32_t* begin() const { return data_; }
    const std::int32_t* end() const { return data_ + size_; }
    std::int32_t operator[](std::size_t index) const { return data_[index]; }

private:
    bool grow_for(std::size_t count);

    std::int32_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// One instance. Stores hold exactly the values read, in file order:
//   durations, successor_counts: one per activity (N when the input is valid);
//   capacities: R values; demands: R per activity, packed activity by activity;
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
};

// The value the reader was looking for when it failed; activity, resource and
// successor numbers are 1-based, as the input file counts them.
struct expected_value {
    enum class kind {
        activity_count,
        resource_count,
        capacity,        // number = resource
        duration,        // activity
        demand,          // activity, number = resource
        successor_count, // activity
        successor,       // activity, number = position in the activity's list
    };
    kind what = kind::activity_count;
    std::int64_t activity = 0;
    std::int64_t number = 0;
};

// Line and column, both counted from 1; the column counts bytes.
struct text_position {
    std::uint64_t line = 1;
    std::uint64_t column = 1;
};

// Why reading stopped. Holds no allocated memory, so a failure can be reported
// when memory has run out.
struct read_failure {
    enum class kind {
        none,
        not_an_integer,         // the token is not entirely an optional sign and decimal digits
        out_of_range,           // the value does not fit in a signed 32-bit integer
        successor_out_of_range, // a successor whose 0-based number does not fit in 32 bits
        end_of_file,            // the input ended before the value
        too_many_successors,    // the successor total would exceed N x N
        out_of_memory,          // a store or the reader's buffer could not be obtained or grown
        read_error,             // the stream reported an error; system_error holds errno
    };
    static constexpr std::size_t found_limit = 40;

    kind what = kind::none;
    expected_value expected;
    // Byte offset of the offending token, or of the end of the input for
    // end_of_file; the line ends before it, and the offset of the first byte of
    // its line. Meaningful when has_offset().
    std::uint64_t offset = 0;
    std::uint64_t line_ends_before = 0;
    std::uint64_t line_start = 0;
    // The offending token as written: its first `found_limit` bytes at most, and
    // whether it goes on after them.
    char found[found_limit] = {};
    std::size_t found_size = 0;
    bool found_cut = false;
    // For too_many_successors: the total the successor count would bring, and N x N.
    std::int64_t successor_total = 0;
    std::int64_t successor_limit = 0;
    int system_error = 0;

    explicit operator bool() const { return what != kind::none; }
    bool has_offset() const { return what != kind::none && what != kind::out_of_memory && what != kind::read_error; }
    text_position position() const { return {line_ends_before + 1, offset - line_start + 1}; }
    std::string_view found_text() const { return {found, found_size}; }
    void set_found(const char* text, std::size_t size, bool cut) {
        found_size = size < found_limit ? size : found_limit;
        if (found_size != 0) std::memcpy(found, text, found_size);
        found_cut = cut || size > found_limit;
    }
};

// What follows the last activity record, counted only when asked for: the
// white-space-separated tokens of any form, and the line (from 1) of the first.
struct trailing_tokens {
    std::uint64_t count = 0;
    std::uint64_t first_line = 0;
};

// Reads one instance from `input`, which must be positioned at its start, into
// `result` (whose earlier contents are discarded). Stops at the first failure and
// returns it; `result` then holds what was read so far, and nothing after the
// failing token has been read (so a pipe that stays open does not block it).
// Successor numbers are accepted whatever their value (0 and numbers above N
// included) as long as the number minus 1 fits in 32 bits. Stores grow as the
// values arrive, whatever counts the header claims, so memory follows what the
// input holds. Works on any stream: a file, a pipe, a terminal. The FILE* form
// reads the stream's file descriptor directly, so nothing may have been read
// through the stream's own buffer before (switch it to unbuffered, or don't read
// from it); a stream without a descriptor is read through fread.
// With `trailing`, a successful read goes on to the end of the input and counts
// what follows the instance there (a read error on the way is then the failure).
read_failure read_instance(std::FILE* input, instance& result, trailing_tokens* trailing = nullptr);
read_failure read_instance(std::string_view input, instance& result, trailing_tokens* trailing = nullptr);
// The same from an open file descriptor (on Windows, one the C runtime opened,
// in text mode to read as text-mode streams do).
read_failure read_instance_from_descriptor(int input, instance& result, trailing_tokens* trailing = nullptr);

} // namespace converter
