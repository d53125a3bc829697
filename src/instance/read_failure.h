// Why a reader stopped, with everything its message needs, in memory of its
// own: a failure can be reported when memory has run out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace converter {

// The value the reader was looking for when it failed; activity, resource and
// successor numbers are 1-based, as the input file counts them. A reader of
// another layout words it in its own terms with `phrase`, a static text in
// which "{a}" stands for `activity` and "{n}" for `number`
// ("the duration of job {a}"); `what` is then ignored.
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
    const char* phrase = nullptr;
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
        unexpected,             // a token other than the one expected; `reason`, if any, says why
        end_of_line,            // the line ended before the value (layouts whose lines carry meaning)
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
    // For unexpected: a static text appended after the quoted token, as in
    // `found "2", which is not 1`, or nullptr.
    const char* reason = nullptr;

    // The failure of a reader whose memory ran out.
    static read_failure out_of_memory_failure() {
        read_failure failure;
        failure.what = kind::out_of_memory;
        return failure;
    }

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

// The UTF-8 byte-order mark that every reader skips at the start of a file.
inline constexpr char byte_order_mark[] = "\xEF\xBB\xBF";

// What follows the last activity record, counted only when asked for: the
// white-space-separated tokens of any form, and the line (from 1) of the first.
struct trailing_tokens {
    std::uint64_t count = 0;
    std::uint64_t first_line = 0;
    // Whether they start as another instance does (an integer in the layouts
    // of numbers, any line but a separator in sm): a file of several
    // instances joined. `first` then places and quotes the first token.
    bool another_instance = false;
    read_failure first;
};

} // namespace converter
