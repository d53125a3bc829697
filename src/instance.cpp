#include "instance.h"

#include "compiler.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace converter {

// ---------------------------------------------------------------------------
// int_store

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

// ---------------------------------------------------------------------------
// Tokens

namespace {

// White space as the C library's isspace sees it in the "C" locale.
constexpr struct space_table {
    bool is_space[256] = {};
    constexpr space_table() {
        for (const char c : {' ', '\t', '\n', '\v', '\f', '\r'}) is_space[static_cast<unsigned char>(c)] = true;
    }
} spaces;
constexpr bool is_space(char c) { return spaces.is_space[static_cast<unsigned char>(c)]; }
constexpr bool is_digit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// A pull source of bytes: fills up to `capacity` bytes and returns how many it
// gave, 0 at the end or on an error (then `error` holds errno, never 0).
struct byte_source {
    std::size_t (*read)(void* context, char* buffer, std::size_t capacity, int& error);
    void* context;
};

std::size_t read_file(void* context, char* buffer, std::size_t capacity, int& error) {
    auto* file = static_cast<std::FILE*>(context);
    const std::size_t count = std::fread(buffer, 1, capacity, file);
    if (count == 0 && std::ferror(file)) error = errno != 0 ? errno : EIO;
    return count;
}

struct text_cursor {
    std::string_view text;
};

std::size_t read_text(void* context, char* buffer, std::size_t capacity, int&) {
    auto* cursor = static_cast<text_cursor*>(context);
    const std::size_t count = cursor->text.size() < capacity ? cursor->text.size() : capacity;
    if (count == 0) return 0; // an empty view may have no data pointer at all
    std::memcpy(buffer, cursor->text.data(), count);
    cursor->text.remove_prefix(count);
    return count;
}

constexpr std::int64_t int32_max = std::numeric_limits<std::int32_t>::max();

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
    if (bits == 0) return 0;
    // Digits to the top bytes, leading positions zero, then pairs, fours, eights.
    std::uint64_t number = values << (64 - bits);
    number = (number * 10 + (number >> 8)) & 0x00FF00FF00FF00FFu;
    number = (number * 100 + (number >> 16)) & 0x0000FFFF0000FFFFu;
    number = (number * 10000 + (number >> 32)) & 0xFFFFFFFFu;
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

// Splits the input into white-space-separated tokens and converts each to a
// 32-bit integer. The buffer always ends in a NUL sentinel, which is neither white
// space nor a digit, so the scanning loops need no bounds test; a NUL in the data
// is told apart from the sentinel by its position.
class token_reader {
public:
    explicit token_reader(byte_source source)
        : source_(source), buffer_(new char[buffer_size + slack]), next_(buffer_.get()), end_(buffer_.get()) {
        std::memset(end_, 0, slack);
    }

    std::uint64_t offset() const { return offset_of(next_); }
    // Offset of the token that next() read last, whichever way it was read. The
    // short path of next_values() leaves it alone.
    std::uint64_t token_offset() const { return token_start_ != nullptr ? offset_of(token_start_) : token_offset_; }

    // Reads the next integer into `value`. On failure fills the kind, offset and
    // found text of `failure` and returns false.
    CONVERTER_ALWAYS_INLINE bool next(std::int32_t& value, read_failure& failure) {
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
            cursor += scan_short_number(cursor, magnitude);
        } else {
            if (*cursor != '-' && *cursor != '+') return next_slowly(value, failure);
            const std::size_t digit_count = scan_short_number(cursor + 1, magnitude);
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

    // Reads up to `count` integers and stores each minus `minus` (0 or 1) in
    // `out`. Returns how many it stored: fewer than `count` when next() failed
    // (`failure` says why) or when a value minus `minus` would not fit in 32 bits
    // (`failure` stays empty; token_offset() is that value's). The loop keeps its
    // position in registers and hands every token the short path can't take to
    // next().
    std::size_t next_values(std::int32_t* out, std::size_t count, std::int32_t minus, read_failure& failure) {
        const char* cursor = next_;
        for (std::size_t index = 0; index != count; ++index) {
            while (is_space(*cursor)) ++cursor;
            std::uint32_t magnitude = 0;
            if (CONVERTER_LIKELY(end_ - cursor >= lookahead && is_digit(*cursor))) {
                const std::size_t digit_count = scan_short_number(cursor, magnitude);
                if (CONVERTER_LIKELY(is_space(cursor[digit_count]))) {
                    out[index] = static_cast<std::int32_t>(magnitude) - minus;
                    cursor += digit_count + 1;
                    continue;
                }
            }
            next_ = const_cast<char*>(cursor);
            std::int32_t value = 0;
            if (!next(value, failure)) return index;
            if (static_cast<std::int64_t>(value) - minus < std::numeric_limits<std::int32_t>::min()) return index;
            out[index] = value - minus;
            cursor = next_;
        }
        next_ = const_cast<char*>(cursor);
        return count;
    }

private:
    static constexpr std::size_t buffer_size = std::size_t{1} << 16;
    static constexpr std::ptrdiff_t lookahead = 32;
    // The sentinel and the bytes after it that an 8-byte load at the last byte
    // may touch; kept zero so that no load sees uninitialised memory.
    static constexpr std::size_t slack = 16;

    std::uint64_t offset_of(const char* position) const {
        return buffer_offset_ + static_cast<std::uint64_t>(position - buffer_.get());
    }

    // Near the end of the buffer: reads on until `lookahead` bytes follow the next
    // token's start or the input has ended. Returns false if no token is left.
    CONVERTER_NOINLINE bool fill_lookahead() {
        for (;;) {
            if (at_end_) return next_ != end_;
            refill(next_);
            while (is_space(*next_)) ++next_;
            if (end_ - next_ >= lookahead) return true;
        }
    }

    // Keeps the bytes from `keep_from` on, moved to the start of the buffer, and
    // reads more after them. Returns false when nothing more could be read.
    CONVERTER_NOINLINE bool refill(const char* keep_from) {
        if (at_end_) return false;
        char* const begin = buffer_.get();
        const auto kept = static_cast<std::size_t>(end_ - keep_from);
        buffer_offset_ += static_cast<std::uint64_t>(keep_from - begin);
        std::memmove(begin, keep_from, kept);
        const std::size_t count = source_.read(source_.context, begin + kept, buffer_size - kept, error_);
        next_ = begin;
        end_ = begin + kept + count;
        std::memset(end_, 0, slack);
        if (count == 0) at_end_ = true;
        return count != 0;
    }

    bool fail_at_end(read_failure& failure) const {
        failure.what = error_ != 0 ? read_failure::kind::read_error : read_failure::kind::end_of_file;
        failure.system_error = error_;
        failure.offset = token_offset_;
        return false;
    }

    // Handles every token the fast path does not: long ones (leading zeros),
    // malformed ones and out-of-range ones, across any number of refills.
    CONVERTER_NOINLINE bool next_slowly(std::int32_t& value, read_failure& failure) {
        // The refills below may move the token's start out of the buffer.
        token_offset_ = offset_of(token_start_);
        token_start_ = nullptr;
        std::string found;
        std::uint64_t length = 0;
        std::uint64_t digit_count = 0;
        std::uint64_t significant_digits = 0;
        std::uint64_t magnitude = 0;
        bool negative = false;
        bool malformed = false;
        for (;;) {
            for (; next_ != end_ && !is_space(*next_); ++next_, ++length) {
                const char c = *next_;
                if (found.size() < read_failure::found_limit) found.push_back(c);
                if (length == 0 && (c == '-' || c == '+')) {
                    negative = c == '-';
                } else if (is_digit(c)) {
                    ++digit_count;
                    if (significant_digits != 0 || c != '0') {
                        // Eleven significant digits are already out of range.
                        if (significant_digits < 11) magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
                        ++significant_digits;
                    }
                } else {
                    malformed = true;
                }
            }
            if (next_ != end_ || !refill(next_)) break;
        }
        if (next_ == end_ && error_ != 0) return fail_at_end(failure);
        failure.offset = token_offset_;
        failure.found = std::move(found);
        failure.found_length = length;
        if (malformed || digit_count == 0) {
            failure.what = read_failure::kind::not_an_integer;
            return false;
        }
        if (significant_digits > 10 || magnitude > static_cast<std::uint64_t>(int32_max) + (negative ? 1 : 0)) {
            failure.what = read_failure::kind::out_of_range;
            return false;
        }
        value = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                                   : static_cast<std::int64_t>(magnitude));
        return true;
    }

    byte_source source_;
    std::unique_ptr<char[]> buffer_;
    char* next_;
    char* end_;
    std::uint64_t buffer_offset_ = 0;
    const char* token_start_ = nullptr; // while it is still in the buffer
    std::uint64_t token_offset_ = 0;    // otherwise
    bool at_end_ = false;
    int error_ = 0;
};

// ---------------------------------------------------------------------------
// The instance

using value_kind = expected_value::kind;

read_failure failure_of(read_failure::kind what, expected_value expected, std::uint64_t offset, std::int64_t value) {
    read_failure failure;
    failure.what = what;
    failure.expected = expected;
    failure.offset = offset;
    failure.found = std::to_string(value);
    failure.found_length = failure.found.size();
    return failure;
}

read_failure out_of_memory() {
    read_failure failure;
    failure.what = read_failure::kind::out_of_memory;
    return failure;
}

std::size_t smaller(std::int64_t claimed, std::uint64_t bound) {
    if (claimed <= 0) return 0;
    const auto wanted = static_cast<std::uint64_t>(claimed);
    return static_cast<std::size_t>(wanted < bound ? wanted : bound);
}

// Reads a run of `count` values into `store`, each minus `minus`. Returns how
// many it stored, fewer than `count` where next_values() stopped, or -1 when
// memory ran out. Values are stored in batches of at most 4096, so that a count
// the file claims but does not hold obtains no memory for itself.
std::int64_t read_run(token_reader& tokens, int_store& store, std::int64_t count, std::int32_t minus,
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

// `input_size` is the size of the whole input in bytes, or 0 when it can't be known.
read_failure read_from(token_reader& tokens, std::uint64_t input_size, instance& result) {
    result = instance{};
    read_failure failure;
    std::int32_t value = 0;
    // Called only on the way out, so the hot loops build no description.
    const auto expected = [&failure](value_kind what, std::int64_t activity = 0, std::int64_t number = 0) {
        failure.expected = {what, activity, number};
        return failure;
    };

    if (!tokens.next(value, failure)) return expected(value_kind::activity_count);
    const std::int32_t activity_count = result.activity_count = value;
    if (!tokens.next(value, failure)) return expected(value_kind::resource_count);
    const std::int32_t resource_count = result.resource_count = value;

    // Reserve what the header claims, but never more than the rest of the input
    // could hold: every value takes at least one digit and one separator, and an
    // activity record at least R + 2 values. Stores still grow past the
    // reservation if needed (an input whose size is unknown, or one that grew).
    const std::uint64_t rest = input_size > tokens.offset() ? input_size - tokens.offset() : 0;
    const std::uint64_t value_bound = input_size == 0 ? 4096 : rest / 2 + 1;
    const std::int64_t resources = resource_count > 0 ? resource_count : 0;
    const std::uint64_t activity_bound = value_bound / static_cast<std::uint64_t>(resources + 2) + 1;
    const std::size_t activities = smaller(activity_count, activity_bound);
    if (!result.capacities.reserve(smaller(resources, value_bound)) || !result.durations.reserve(activities) ||
        !result.demands.reserve(smaller(static_cast<std::int64_t>(activities) * resources, value_bound)) ||
        !result.successor_counts.reserve(activities))
        return out_of_memory();

    for (std::int64_t resource = 1; resource <= resources; ++resource) {
        if (!tokens.next(value, failure)) return expected(value_kind::capacity, 0, resource);
        if (!result.capacities.push_back(value)) return out_of_memory();
    }

    const std::int64_t successor_limit = static_cast<std::int64_t>(activity_count) * activity_count;
    std::int64_t successor_total = 0;
    for (std::int64_t activity = 1; activity <= activity_count; ++activity) {
        if (!tokens.next(value, failure)) return expected(value_kind::duration, activity);
        if (!result.durations.push_back(value)) return out_of_memory();
        const std::int64_t demands_read = read_run(tokens, result.demands, resources, 0, failure);
        if (demands_read < 0) return out_of_memory();
        if (demands_read != resources) return expected(value_kind::demand, activity, demands_read + 1);
        if (!tokens.next(value, failure)) return expected(value_kind::successor_count, activity);
        if (!result.successor_counts.push_back(value)) return out_of_memory();
        const std::int32_t successor_count = value;
        if (successor_count <= 0) continue;
        if (successor_total + successor_count > successor_limit) {
            read_failure too_many =
                failure_of(read_failure::kind::too_many_successors, {value_kind::successor_count, activity},
                           tokens.token_offset(), successor_count);
            too_many.successor_total = successor_total + successor_count;
            too_many.successor_limit = successor_limit;
            return too_many;
        }
        successor_total += successor_count;
        // Stored 0-based; only the most negative number has no 0-based form.
        const std::int64_t successors_read = read_run(tokens, result.successors, successor_count, 1, failure);
        if (successors_read < 0) return out_of_memory();
        if (successors_read != successor_count) {
            const std::int64_t position = successors_read + 1;
            if (failure) return expected(value_kind::successor, activity, position);
            return failure_of(read_failure::kind::successor_out_of_range, {value_kind::successor, activity, position},
                              tokens.token_offset(), std::numeric_limits<std::int32_t>::min());
        }
    }
    return read_failure{};
}

std::uint64_t size_of(std::FILE* file) {
#ifdef _WIN32
    struct _stati64 status;
    if (_fstati64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) return 0;
#else
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return 0;
#endif
    return status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

void advance(text_position& position, const char* bytes, std::size_t count) {
    if (count == 0) return; // `bytes` may be null then
    const char* const end = bytes + count;
    while (const void* found = std::memchr(bytes, '\n', static_cast<std::size_t>(end - bytes))) {
        ++position.line;
        position.column = 1;
        bytes = static_cast<const char*>(found) + 1;
    }
    position.column += static_cast<std::uint64_t>(end - bytes);
}

} // namespace

read_failure read_instance(std::FILE* input, instance& result) {
    token_reader tokens({read_file, input});
    return read_from(tokens, size_of(input), result);
}

read_failure read_instance(std::string_view input, instance& result) {
    text_cursor cursor{input};
    token_reader tokens({read_text, &cursor});
    return read_from(tokens, input.size(), result);
}

text_position locate(std::string_view input, std::uint64_t offset) {
    text_position position;
    advance(position, input.data(), static_cast<std::size_t>(offset < input.size() ? offset : input.size()));
    return position;
}

text_position locate(std::FILE* input, std::uint64_t offset) {
    text_position position;
    std::rewind(input);
    char chunk[1 << 14];
    while (offset != 0) {
        const std::size_t wanted = offset < sizeof chunk ? static_cast<std::size_t>(offset) : sizeof chunk;
        const std::size_t count = std::fread(chunk, 1, wanted, input);
        if (count == 0) break;
        advance(position, chunk, count);
        offset -= count;
    }
    return position;
}

// ---------------------------------------------------------------------------
// Messages

namespace {

std::string describe_expected(const expected_value& expected) {
    const std::string activity = std::to_string(expected.activity);
    const std::string number = std::to_string(expected.number);
    switch (expected.what) {
    case value_kind::activity_count: return "the activity count";
    case value_kind::resource_count: return "the resource count";
    case value_kind::capacity: return "the capacity of resource " + number;
    case value_kind::duration: return "the duration of activity " + activity;
    case value_kind::demand: return "the demand of activity " + activity + " for resource " + number;
    case value_kind::successor_count: return "the successor count of activity " + activity;
    case value_kind::successor: return "successor " + number + " of activity " + activity;
    }
    return {};
}

std::string quote(const read_failure& failure) {
    static const char hex[] = "0123456789abcdef";
    std::string quoted = "\"";
    for (const char c : failure.found) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (byte < 0x20 || byte >= 0x7f) {
            quoted += "\\x";
            quoted += hex[byte >> 4];
            quoted += hex[byte & 15];
        } else {
            quoted += c;
        }
    }
    if (failure.found_length > failure.found.size()) quoted += "...";
    quoted += '"';
    return quoted;
}

} // namespace

std::string describe(const read_failure& failure, text_position position) {
    using kind = read_failure::kind;
    switch (failure.what) {
    case kind::none: return {};
    case kind::out_of_memory: return "Not enough memory for the instance.";
    case kind::read_error:
        return std::string("Reading the input file failed: ") + std::strerror(failure.system_error) + ".";
    default: break;
    }
    std::string message = "Invalid input at line " + std::to_string(position.line) + ", column " +
                          std::to_string(position.column) + ": expected " + describe_expected(failure.expected) +
                          ", found ";
    switch (failure.what) {
    case kind::end_of_file: message += "the end of the file"; break;
    case kind::not_an_integer: message += quote(failure) + ", which is not an integer"; break;
    case kind::out_of_range: message += quote(failure) + ", which is outside the signed 32-bit range"; break;
    case kind::successor_out_of_range:
        message += quote(failure) + ", whose 0-based number is outside the signed 32-bit range";
        break;
    case kind::too_many_successors:
        message += quote(failure) + ", which brings the successor total to " + std::to_string(failure.successor_total) +
                   ", more than " + std::to_string(failure.successor_limit) + " (the activity count squared)";
        break;
    default: break;
    }
    return message + ".";
}

} // namespace converter
