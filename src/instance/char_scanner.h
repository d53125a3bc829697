// Bytes one at a time, for the layouts whose tokens white space does not
// delimit (JSON, MiniZinc data).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "instance/byte_source.h"
#include "instance/read_failure.h"
#include "instance/token_reader.h"

namespace converter {

// White space as JSON and MiniZinc data have it: blank, tab, LF, CR.
inline constexpr struct space_table {
    bool is_space[256] = {};
    constexpr space_table() {
        for (const char c : {' ', '\t', '\n', '\r'}) is_space[static_cast<unsigned char>(c)] = true;
    }
} json_spaces;
inline bool is_json_space(int c) { return c >= 0 && c < 256 && json_spaces.is_space[c]; }

// The bytes a number (or a mistaken true, null, 1.0e5) is written with.
inline constexpr struct word_table {
    bool is_word[256] = {};
    constexpr word_table() {
        for (int c = 0; c < 256; ++c)
            is_word[c] = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
                         c == '+' || c == '-';
    }
} words;
inline bool is_word_byte(int c) { return c >= 0 && c < 256 && words.is_word[c]; }

// Bytes from a source through a buffer of its own, with the line count and the
// place of every byte read, so that a failure is placed without reading again.
class char_scanner {
public:
    // Check ready() before anything else: false when the buffer could not be obtained.
    explicit char_scanner(byte_source source)
        : source_(source), buffer_(static_cast<char*>(std::malloc(capacity))), next_(buffer_), end_(buffer_) {}
    char_scanner(const char_scanner&) = delete;
    char_scanner& operator=(const char_scanner&) = delete;
    ~char_scanner() { std::free(buffer_); }

    bool ready() const { return buffer_ != nullptr; }
    int error() const { return error_; }

    // The byte `ahead` places on (up to 63), or -1 at the end of the input.
    int peek(std::size_t ahead = 0) {
        if (static_cast<std::size_t>(end_ - next_) <= ahead && !fill(ahead + 1)) return -1;
        return static_cast<unsigned char>(next_[ahead]);
    }

    // Past the next byte. A line end is an LF, a CR LF or a lone CR.
    void advance() {
        const char taken = *next_++;
        if (taken == '\n' || (taken == '\r' && peek() != '\n')) {
            ++line_ends_;
            line_start_ = offset();
        }
    }

    void skip_space() {
        for (;;) {
            while (next_ != end_ && is_json_space(*next_)) advance();
            if (next_ != end_ || !fill(1)) return;
        }
    }

    std::uint64_t offset() const { return buffer_offset_ + static_cast<std::uint64_t>(next_ - buffer_); }

    // Past a UTF-8 byte-order mark at the very start of the input, which
    // editors on Windows write; the byte after it is column 1.
    void skip_byte_order_mark() {
        if (offset() == 0 && peek(2) != -1 && std::memcmp(next_, byte_order_mark, 3) == 0) {
            next_ += 3;
            line_start_ = 3;
        }
    }

    // The fast path of an integer: an optional minus and up to ten digits,
    // without a leading zero, ending in neither a digit nor a byte a number
    // could go on with, within 32 bits. False, having read nothing, for
    // anything else (read_int then judges it the careful way).
    bool next_short_int(std::int32_t& value) {
        if (end_ - next_ < 16 && !fill(16)) return false;
        const char* const end = scan_int(next_, value);
        if (end == nullptr) return false;
        next_ = const_cast<char*>(end);
        return true;
    }

    // The fast path of a list of integers: values and "," or the `closing`
    // byte, with white space between them, for as long as the buffer holds 64
    // bytes ahead and nothing unusual comes (a comment, a value the fast path of
    // an integer would not take). Hands each value to `push`, which returns 1
    // when it took it, 0 to leave it to the careful path (unread), -1 when
    // memory ran out. Returns 1 at the closing byte (not taken), 0 where the
    // careful path must go on (before a value), -1 when memory ran out.
    template <typename value_sink> int next_int_list(value_sink push, char closing) {
        for (;;) {
            if (end_ - next_ < 64 && !fill(64)) return 0;
            // Line ends are counted locally and kept only with the value.
            std::uint64_t line_ends = line_ends_, line_start = line_start_;
            const char* cursor = skip_blanks(next_, end_ - 32, line_ends, line_start);
            std::int32_t value = 0;
            cursor = scan_int(cursor, value);
            if (cursor == nullptr) return 0;
            if (*cursor != ',' && *cursor != closing) {
                cursor = skip_blanks(cursor, end_ - 32, line_ends, line_start);
                if (*cursor != ',' && *cursor != closing) return 0;
            }
            const int taken = push(value);
            if (taken <= 0) return taken;
            line_ends_ = line_ends;
            line_start_ = line_start;
            if (*cursor == closing) {
                next_ = const_cast<char*>(cursor);
                return 1;
            }
            next_ = const_cast<char*>(cursor + 1);
        }
    }

    // Past white space (lines counted), then takes `c` if it comes next.
    bool take_after_blanks(char c) {
        if (end_ - next_ < 64 && !fill(64)) {
            skip_space();
            if (peek() != static_cast<unsigned char>(c)) return false;
            advance();
            return true;
        }
        const char* const cursor = skip_blanks(next_, end_ - 32, line_ends_, line_start_);
        next_ = const_cast<char*>(cursor);
        if (*cursor != c) return false;
        ++next_;
        return true;
    }

    // Takes `text` (a key in its quotes, say) when the input goes on with it.
    bool next_is(std::string_view text) {
        if (static_cast<std::size_t>(end_ - next_) < text.size() && !fill(text.size())) return false;
        if (std::memcmp(next_, text.data(), text.size()) != 0) return false;
        next_ += text.size();
        return true;
    }

    void place(read_failure& failure) const {
        failure.offset = offset();
        failure.line_ends_before = line_ends_;
        failure.line_start = line_start_;
    }

    // Places `failure` at the next byte and quotes what starts there, read
    // ahead but not taken: with `strings`, a string in double quotes whole; a
    // word (a number, true, 1.0; with `names`, also with "_" after its start);
    // else the one byte. At the end of the input it is the end of the file (or
    // the read error); otherwise `what`.
    void describe_next(read_failure& failure, read_failure::kind what, bool strings, bool names) {
        place(failure);
        const int first = peek();
        if (first == -1) {
            failure.what = error_ != 0 ? read_failure::kind::read_error : read_failure::kind::end_of_file;
            return;
        }
        failure.what = what;
        char text[read_failure::found_limit];
        std::size_t size = 0;
        bool cut = false;
        const bool string = strings && first == '"';
        if (string || is_word_byte(first)) {
            bool escaped = false; // in a string, the byte after a backslash
            for (std::size_t ahead = 0;; ++ahead) {
                const int c = peek(ahead);
                if (string ? c == -1 || (ahead > 0 && c == '"' && !escaped)
                           : c == -1 || !(is_word_byte(c) || (names && c == '_'))) {
                    if (string && c == '"' && size < sizeof text) text[size++] = '"';
                    break;
                }
                escaped = !escaped && c == '\\';
                if (size == sizeof text) {
                    cut = true;
                    break;
                }
                text[size++] = static_cast<char>(c);
            }
        } else {
            text[size++] = static_cast<char>(first);
        }
        failure.set_found(text, size, cut);
    }

    // A place kept cheaply, for a failure found after reading on.
    struct mark {
        std::uint64_t offset, line_ends, line_start;
    };
    mark here() const { return {offset(), line_ends_, line_start_}; }
    static void place(read_failure& failure, const mark& at) {
        failure.offset = at.offset;
        failure.line_ends_before = at.line_ends;
        failure.line_start = at.line_start;
    }

private:
    static constexpr std::size_t capacity = std::size_t{1} << 16;

    // The integer at `cursor`, with 16 bytes readable from it: an optional
    // minus and up to ten digits without a leading zero, followed by no byte a
    // number could go on with, within 32 bits. Returns where it ends, or
    // nullptr for anything else. Seven digits at once, as the rcp reader does.
    static const char* scan_int(const char* cursor, std::int32_t& value) {
        const bool negative = *cursor == '-';
        cursor += negative;
        const char* const digits = cursor;
        if (static_cast<unsigned char>(*cursor - '0') > 9 ||
            (*cursor == '0' && static_cast<unsigned char>(cursor[1] - '0') < 10))
            return nullptr;
        std::uint32_t short_value = 0;
        std::uint64_t magnitude = 0;
        const std::size_t short_digits = detail::scan_short_number(cursor, short_value);
        if (short_digits < 7) {
            magnitude = short_value;
            cursor += short_digits;
        } else {
            while (static_cast<unsigned char>(*cursor - '0') < 10 && cursor - digits < 10)
                magnitude = magnitude * 10 + static_cast<unsigned char>(*cursor++ - '0');
        }
        if (is_word_byte(static_cast<unsigned char>(*cursor)) || magnitude > 2147483647u + (negative ? 1u : 0u))
            return nullptr;
        value = static_cast<std::int32_t>(negative ? 0 - magnitude : magnitude);
        return cursor;
    }

    // Past blanks and line ends (counted into the two), up to `limit`.
    const char* skip_blanks(const char* cursor, const char* limit, std::uint64_t& line_ends,
                            std::uint64_t& line_start) const {
        // Mostly blanks, or nothing, come before a value: one, or a few
        // where columns are aligned. Other white space takes the loop below.
        while (cursor < limit && *cursor == ' ') ++cursor;
        if (cursor >= limit || !json_spaces.is_space[static_cast<unsigned char>(*cursor)]) return cursor;
        for (; cursor < limit && json_spaces.is_space[static_cast<unsigned char>(*cursor)]; ++cursor)
            if (*cursor == '\n' || (*cursor == '\r' && cursor[1] != '\n')) {
                ++line_ends;
                line_start = buffer_offset_ + static_cast<std::uint64_t>(cursor + 1 - buffer_);
            }
        return cursor;
    }

    // Keeps the unread bytes and reads until `wanted` of them are there or the
    // input has ended.
    bool fill(std::size_t wanted) {
        const auto kept = static_cast<std::size_t>(end_ - next_);
        buffer_offset_ += static_cast<std::uint64_t>(next_ - buffer_);
        std::memmove(buffer_, next_, kept);
        next_ = buffer_;
        end_ = buffer_ + kept;
        while (static_cast<std::size_t>(end_ - next_) < wanted && !ended_) {
            const std::size_t count =
                source_.read(source_.context, end_, capacity - static_cast<std::size_t>(end_ - buffer_), error_);
            if (count == 0) ended_ = true;
            end_ += count;
        }
        return static_cast<std::size_t>(end_ - next_) >= wanted;
    }

    byte_source source_;
    char* buffer_;
    char* next_;
    char* end_;
    std::uint64_t buffer_offset_ = 0;
    std::uint64_t line_ends_ = 0;
    std::uint64_t line_start_ = 0;
    bool ended_ = false;
    int error_ = 0;
};

} // namespace converter
