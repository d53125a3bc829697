// The token reader under read_instance: splits a byte stream into
// white-space-separated tokens and converts each to a signed 32-bit integer.
//
// Tokens: an optional sign and decimal digits, any number of leading zeros, the
// value within the signed 32-bit range. White space is what isspace() sees in the
// "C" locale (blank, tab, LF, vertical tab, form feed, CR). Every failure is filled
// into a read_failure with its byte offset, the line ends before that offset and
// the offset of its line's start, so that a failure can be placed on any input,
// rewindable or not, without reading anything after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "instance/byte_source.h"
#include "instance/compiler.h"
#include "instance/instance.h"
#include "instance/read_failure.h"

namespace converter {

namespace detail {

// White space as the C library's isspace sees it in the "C" locale.
constexpr struct space_table {
    bool is_space[256] = {};
    constexpr space_table() {
        for (const char c : {' ', '\t', '\n', '\v', '\f', '\r'}) is_space[static_cast<unsigned char>(c)] = true;
    }
} spaces;
constexpr bool is_space(char c) { return spaces.is_space[static_cast<unsigned char>(c)]; }
constexpr bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Reads the run of decimal digits at `digits`, at most 7 of them (any such number
// fits in 32 bits): stores their value and returns how many were read. A run of 8
// digits or more returns 7, so the caller, which checks that the token ends after
// the digits, sends such tokens the slow way. At least 8 bytes must be readable.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ && !defined(CONVERTER_PORTABLE_SCAN)
// Eight bytes at once: find the first non-digit, then combine the digits pairwise.
CONVERTER_ALWAYS_INLINE std::size_t scan_short_number(const char* digits, std::uint32_t& value) {
    std::uint64_t bytes;
    std::memcpy(&bytes, digits, sizeof bytes);
    // Each byte minus '0' is a digit's value when below 10. A borrow or carry out
    // of a non-digit byte can spoil only the bytes after it, which don't count.
    const std::uint64_t values = bytes - 0x3030303030303030u;
    const std::uint64_t non_digits =
        (((values + 0x7676767676767676u) | values) & 0x8080808080808080u) | (std::uint64_t{1} << 63);
    const auto bits = static_cast<unsigned>(__builtin_ctzll(non_digits)) & 56u;
    // Digits to the top bytes, leading positions zero, then pairs, fours and
    // eights, each by one multiplication: (n * (10 * 2^8 + 1)) >> 8 puts each
    // pair's value in the pair's low byte. What overflows lands only in the
    // bits the mask clears. Without digits the value is of no use and 0 is
    // returned; the shift is masked so that it stays defined.
    std::uint64_t number = values << ((64 - bits) & 63);
    number = ((number * (10 * 256 + 1)) >> 8) & 0x00FF00FF00FF00FFu;
    number = ((number * (100 * 65536 + 1)) >> 16) & 0x0000FFFF0000FFFFu;
    number = (number * ((std::uint64_t{10000} << 32) + 1)) >> 32;
    value = static_cast<std::uint32_t>(number);
    return bits / 8;
}
#else
CONVERTER_ALWAYS_INLINE std::size_t scan_short_number(const char* digits, std::uint32_t& value) {
    std::uint32_t number = 0;
    std::size_t count = 0;
    for (; count < 7 && is_digit(digits[count]); ++count)
        number = number * 10 + static_cast<std::uint32_t>(digits[count] - '0');
    value = number;
    return count;
}
#endif

} // namespace detail

// Reads tokens from a byte_source through one 64 KiB buffer. The buffer always
// ends in a NUL sentinel, which is neither white space nor a digit, so the
// scanning loops need no bounds test; a NUL in the data is told apart from the
// sentinel by its position.
class token_reader {
public:
    // Check ready() before anything else: false when the buffer could not be
    // obtained.
    explicit token_reader(byte_source source);
    token_reader(const token_reader&) = delete;
    token_reader& operator=(const token_reader&) = delete;
    ~token_reader();

    bool ready() const { return buffer_ != nullptr; }

    std::uint64_t offset() const { return offset_of(next_); }

    // Reads the next integer into `value`. On failure fills the kind, the place
    // and the found text of `failure` and returns false; nothing is read after
    // the failing token, and a token is judged as soon as its verdict and the
    // text a message quotes are known (so an endless token ends too).
    CONVERTER_ALWAYS_INLINE bool next(std::int32_t& value, read_failure& failure) {
        const char* cursor = next_;
        std::uint32_t magnitude = 0;
        if (const std::size_t digit_count = short_number_at(cursor, fast_limit(), magnitude);
            CONVERTER_LIKELY(digit_count != 0)) {
            token_start_ = cursor;
            value = static_cast<std::int32_t>(magnitude);
            next_ = const_cast<char*>(cursor + digit_count + 1);
            return true;
        }
        next_ = const_cast<char*>(cursor);
        return next_other(value, failure);
    }

    // The fast path of a time lag, "[d]" with a number of up to seven digits
    // and white space after it: reads it into `value`, or returns false having
    // read nothing of it (next_word then takes it).
    CONVERTER_ALWAYS_INLINE bool next_short_lag(std::int32_t& value) {
        while (detail::is_space(*next_)) ++next_;
        if (end_ - next_ < lookahead || *next_ != '[') return false;
        const char* cursor = next_ + 1;
        const bool negative = *cursor == '-';
        if (negative) ++cursor;
        std::uint32_t magnitude = 0;
        const std::size_t digit_count = detail::scan_short_number(cursor, magnitude);
        if (digit_count == 0 || cursor[digit_count] != ']' || !detail::is_space(cursor[digit_count + 1])) return false;
        value = static_cast<std::int32_t>(negative ? 0 - magnitude : magnitude);
        next_ = const_cast<char*>(cursor + digit_count + 2);
        return true;
    }

    // Reads up to `count` integers and stores each minus `minus` (-1, 0 or 1) in
    // `out`. Returns how many it stored: fewer than `count` when next() failed
    // (`failure` says why) or when a value minus `minus` would not fit in 32 bits
    // (`failure` stays empty; that value's token is the last token; with -1,
    // the largest value has no successor). The loop
    // keeps its position in registers and hands every token the short path
    // can't take to next().
    std::size_t next_values(std::int32_t* out, std::size_t count, std::int32_t minus, read_failure& failure) {
        const char* cursor = next_;
        std::uintptr_t limit = fast_limit();
        for (std::size_t index = 0; index != count; ++index) {
            std::uint32_t magnitude = 0;
            if (const std::size_t digit_count = short_number_at(cursor, limit, magnitude);
                CONVERTER_LIKELY(digit_count != 0)) {
                out[index] = static_cast<std::int32_t>(magnitude) - minus;
                cursor += digit_count + 1;
                continue;
            }
            next_ = const_cast<char*>(cursor);
            std::int32_t value = 0;
            if (!next(value, failure)) return index;
            const std::int64_t shifted = static_cast<std::int64_t>(value) - minus;
            if (shifted < std::numeric_limits<std::int32_t>::min() ||
                shifted > std::numeric_limits<std::int32_t>::max())
                return index;
            out[index] = value - minus;
            cursor = next_;
            limit = fast_limit();
        }
        next_ = const_cast<char*>(cursor);
        return count;
    }

    // Reads the next token whatever its form (for layouts with tokens that are
    // not plain integers): `word` views its first read_failure::found_limit
    // bytes as written, valid until the next call, and `cut` says whether it
    // goes on (then the rest of it is not read). At the end of the input fills
    // `failure` as next() does and returns false. describe_last_token places
    // and quotes it.
    bool next_word(std::string_view& word, bool& cut, read_failure& failure);

    // Reads on to the end of the input, counting the tokens left (any run of
    // bytes that are not white space) into `trailing`, the first placed and
    // quoted, and another_instance when it is an integer. A read error on the
    // way fills `failure` as next() would.
    void count_remaining(trailing_tokens& trailing, read_failure& failure);

    // The byte that ended the token next() read last, when it was white space
    // that next() took with it; -1 otherwise (the input ended right after it).
    // Valid until the next read.
    int byte_after_last_token() const {
        return token_start_ != nullptr && next_ > token_start_ && detail::is_space(next_[-1])
                   ? static_cast<unsigned char>(next_[-1])
                   : -1;
    }

    // Fills `failure` with the place and the text, as written, of the token that
    // next() read last, for a failure that judges its value rather than its form.
    void describe_last_token(read_failure& failure) const;

private:
    static constexpr std::size_t buffer_size = std::size_t{1} << 16;
    static constexpr std::ptrdiff_t lookahead = 32;
    // The sentinel and the bytes after it that an 8-byte load at the last byte
    // may touch; kept zero so that no load sees uninitialised memory.
    static constexpr std::size_t slack = 16;

    // The last position from which `lookahead` bytes are in the buffer, as a
    // number: the buffer may hold fewer bytes than that.
    std::uintptr_t fast_limit() const { return reinterpret_cast<std::uintptr_t>(end_) - lookahead; }

    std::uint64_t offset_of(const char* position) const {
        return buffer_offset_ + static_cast<std::uint64_t>(position - buffer_);
    }

    // The common token: up to seven digits and one byte of white space, well
    // inside the buffer. Skips the white space before `cursor` and returns the
    // number of digits at it, their value in `magnitude`; 0 for any other
    // token, to be read by next_other from `cursor`. The scan itself tells a
    // digit from anything else, and more white space than the one byte that
    // ended the last token is rare.
    // `limit` is fast_limit(), passed so that a loop can keep it in a register.
    CONVERTER_ALWAYS_INLINE static std::size_t short_number_at(const char*& cursor, std::uintptr_t limit,
                                                               std::uint32_t& magnitude) {
        using detail::is_space;
        if (CONVERTER_UNLIKELY(reinterpret_cast<std::uintptr_t>(cursor) > limit)) return 0;
        std::size_t digit_count = detail::scan_short_number(cursor, magnitude);
        if (digit_count == 0 && is_space(*cursor)) {
            do ++cursor;
            while (is_space(*cursor));
            if (reinterpret_cast<std::uintptr_t>(cursor) > limit) return 0;
            digit_count = detail::scan_short_number(cursor, magnitude);
        }
        return digit_count != 0 && is_space(cursor[digit_count]) ? digit_count : 0;
    }

    // next() for every other token: a sign, white space up to the buffer's
    // end, the end of the input, or anything that is not a short number.
    CONVERTER_NOINLINE bool next_other(std::int32_t& value, read_failure& failure) {
        using detail::is_digit;
        using detail::is_space;
        while (is_space(*next_)) ++next_;
        // A number needs at most 12 bytes with its terminator; keeping more than
        // that in the buffer lets the fast path below ignore chunk boundaries.
        if (end_ - next_ < lookahead && !fill_lookahead()) {
            token_start_ = nullptr;
            token_offset_ = offset();
            return fail_at_end(failure);
        }
        token_start_ = next_;

        const char* cursor = next_;
        std::uint32_t magnitude = 0;
        if (CONVERTER_LIKELY(is_digit(*cursor))) {
            cursor += detail::scan_short_number(cursor, magnitude);
        } else {
            if (*cursor != '-' && *cursor != '+') return next_slowly(value, failure);
            const std::size_t digit_count = detail::scan_short_number(cursor + 1, magnitude);
            if (digit_count == 0) return next_slowly(value, failure);
            cursor += 1 + digit_count;
            if (*next_ == '-') magnitude = 0 - magnitude;
        }
        // The token must end here, at white space (skipped at once) or at the end
        // of the input, where the sentinel stands.
        if (CONVERTER_LIKELY(is_space(*cursor))) {
            ++cursor;
        } else if (cursor != end_ || !at_end_ || error_ != 0) {
            return next_slowly(value, failure);
        }
        value = static_cast<std::int32_t>(magnitude);
        next_ = const_cast<char*>(cursor);
        return true;
    }

    CONVERTER_NOINLINE bool fill_lookahead();
    CONVERTER_NOINLINE bool refill(const char* keep_from);
    CONVERTER_NOINLINE bool next_slowly(std::int32_t& value, read_failure& failure);
    bool fail_at_end(read_failure& failure) const;
    void place(read_failure& failure, std::uint64_t offset) const;

    byte_source source_;
    char* buffer_;
    char* next_;
    char* end_;
    std::uint64_t buffer_offset_ = 0;
    // Line ends in the bytes already moved out of the buffer, and the offset just
    // past the last of them.
    std::uint64_t line_ends_before_buffer_ = 0;
    std::uint64_t line_start_before_buffer_ = 0;
    bool start_checked_ = false;        // for a byte-order mark
    const char* token_start_ = nullptr; // while it is still in the buffer
    std::uint64_t token_offset_ = 0;    // otherwise
    // The start of the last token that took the slow path, as a message quotes it.
    char slow_token_[read_failure::found_limit] = {};
    std::size_t slow_token_size_ = 0;
    bool slow_token_cut_ = false;
    bool at_end_ = false;
    int error_ = 0;
};

// Reads a run of `count` values into `store`, each minus `minus`, as
// next_values does. Returns how many it stored: fewer than `count` where
// next_values stopped, or -1 when memory ran out. Values are stored in batches
// of at most 4096, so that a count a file claims but does not hold obtains no
// memory for itself.
inline std::int64_t read_values(token_reader& tokens, int_store& store, std::int64_t count, std::int32_t minus,
                                read_failure& failure) {
    std::int64_t stored_total = 0;
    while (stored_total < count) {
        const std::size_t batch = count - stored_total < 4096 ? static_cast<std::size_t>(count - stored_total) : 4096;
        std::int32_t* const slots = store.room(batch);
        if (slots == nullptr) return -1;
        const std::size_t stored = tokens.next_values(slots, batch, minus, failure);
        store.added(stored);
        stored_total += static_cast<std::int64_t>(stored);
        if (stored != batch) break;
    }
    return stored_total;
}

} // namespace converter
