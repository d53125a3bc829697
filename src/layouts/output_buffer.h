// What every writer of a layout formats with: numbers two digits a step into a
// 64 KiB buffer of its own, handed to a file, a descriptor or a string when full.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "instance/compiler.h"
#include "instance/instance.h"

namespace converter {

// Room kept per field: the longest, a lag, is a tab, "[-2147483648]", 14 bytes;
// the two spare bytes leave space for the line end after a full run of fields.
inline constexpr std::size_t field_room = 16;
// The longest 32-bit integer as put_int writes it: "-2147483648".
inline constexpr std::size_t longest_int = 11;

inline constexpr char digit_pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                      "8081828384858687888990919293949596979899";

CONVERTER_ALWAYS_INLINE void put_pair(char* out, std::uint32_t below_100) {
    std::memcpy(out, digit_pairs + 2 * below_100, 2);
}

// 1 to 4 digits, no leading zeros.
CONVERTER_ALWAYS_INLINE char* put_small(char* out, std::uint32_t below_10000) {
    if (below_10000 < 100) {
        if (below_10000 < 10) {
            *out = static_cast<char>('0' + below_10000);
            return out + 1;
        }
        put_pair(out, below_10000);
        return out + 2;
    }
    const std::uint32_t high = below_10000 / 100;
    if (high < 10) {
        *out++ = static_cast<char>('0' + high);
    } else {
        put_pair(out, high);
        out += 2;
    }
    put_pair(out, below_10000 % 100);
    return out + 2;
}

// Exactly `digits` digits (3 to 9) of `value`, below 10^digits, with leading
// zeros: one multiplication turns the value into a 32.32 fixed-point number
// whose integer part is the first two digits, and each multiplication of the
// fraction by 100 then brings the next two into the integer part. With P =
// 10^(digits - 2), the fraction is rounded up by more than 0 and at most
// 1 + value / 2^25 units of 2^-32, less than the 2^32 / P at which a digit
// would change, so every digit comes out exact.
template <int digits> CONVERTER_ALWAYS_INLINE char* put_fixed_digits(char* out, std::uint32_t value) {
    static_assert(digits >= 3 && digits <= 9, "two leading digits, then pairs and a last single digit");
    constexpr std::uint64_t power = [] {
        std::uint64_t result = 1;
        for (int digit = 2; digit < digits; ++digit) result *= 10;
        return result;
    }();
    // value * multiplier < 100 * 2^57 + value, within 64 bits.
    constexpr std::uint64_t multiplier = ((std::uint64_t{1} << 57) + power - 1) / power;
    std::uint64_t fixed = ((value * multiplier) >> 25) + 1;
    put_pair(out, static_cast<std::uint32_t>(fixed >> 32));
    for (int digit = 2; digit + 1 < digits; digit += 2) {
        fixed = (fixed & 0xFFFFFFFFu) * 100;
        put_pair(out + digit, static_cast<std::uint32_t>(fixed >> 32));
    }
    if constexpr (digits % 2 == 1) {
        fixed = (fixed & 0xFFFFFFFFu) * 10;
        out[digits - 1] = static_cast<char>('0' + (fixed >> 32));
    }
    return out + digits;
}

// The digits of `value`, below 10^9: one branch per digit count, a couple of
// multiplications per two digits, no loop, no divisions. Past 10^9,
// `past_billion(out, value)` writes it.
template <typename writer>
CONVERTER_ALWAYS_INLINE char* put_below_billion(char* out, std::uint32_t value, writer past_billion) {
    if (value < 100) {
        if (value < 10) {
            *out = static_cast<char>('0' + value);
            return out + 1;
        }
        put_pair(out, value);
        return out + 2;
    }
    if (value < 1000000) {
        if (value < 10000) return value < 1000 ? put_fixed_digits<3>(out, value) : put_fixed_digits<4>(out, value);
        return value < 100000 ? put_fixed_digits<5>(out, value) : put_fixed_digits<6>(out, value);
    }
    if (value < 100000000) return value < 10000000 ? put_fixed_digits<7>(out, value) : put_fixed_digits<8>(out, value);
    if (value < 1000000000) return put_fixed_digits<9>(out, value);
    return past_billion(out, value);
}

CONVERTER_ALWAYS_INLINE char* put_ten_digits(char* out, std::uint32_t value) {
    put_pair(out, value / 100000000); // 10 to 42
    return put_fixed_digits<8>(out + 2, value % 100000000);
}

CONVERTER_ALWAYS_INLINE char* put_unsigned(char* out, std::uint32_t value) {
    return put_below_billion(out, value, put_ten_digits);
}

// A negative value is, taken as unsigned, 2^31 or more: the sign is looked at
// only past the short numbers' tests.
CONVERTER_ALWAYS_INLINE char* put_int(char* out, std::int32_t value) {
    return put_below_billion(out, static_cast<std::uint32_t>(value), [](char* at, std::uint32_t bits) {
        if (bits < 0x80000000u) return put_ten_digits(at, bits);
        *at = '-';
        return put_unsigned(at + 1, 0u - bits);
    });
}

// Sixteen blanks, for right-aligned fields: blanks over the whole field in one
// fixed-size copy, then the digits in place over them.
inline constexpr char blanks16[] = "                ";

// How many characters put_wide (and put_int) writes for `value`.
CONVERTER_ALWAYS_INLINE std::size_t printed_length(std::int64_t value) {
    std::size_t length = 1;
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    if (value < 0) {
        magnitude = 0 - magnitude;
        length = 2;
    }
    if (magnitude < 10) return length;
    if (magnitude < 100) return length + 1;
    if (magnitude < 1000) return length + 2;
    if (magnitude < 10000) return length + 3;
    for (magnitude /= 10000, length += 3; magnitude != 0; magnitude /= 10) ++length;
    return length;
}

// Values whose magnitude fits in 32 unsigned bits (the sch header's N - 2, a
// 0-based successor plus one).
CONVERTER_ALWAYS_INLINE char* put_wide(char* out, std::int64_t value) {
    if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max())
        return put_int(out, static_cast<std::int32_t>(value));
    if (value > 0) return put_unsigned(out, static_cast<std::uint32_t>(value));
    *out = '-';
    return put_unsigned(out + 1, static_cast<std::uint32_t>(-value));
}

// Formats into a fixed buffer and hands full buffers to a sink. Writers ask for
// room, write through a local cursor (which the compiler keeps in a register) and
// commit the cursor afterwards.
class output_buffer {
public:
    using sink_function = bool (*)(void* context, const char* bytes, std::size_t count);

    // Check ready() before anything else: false when the buffer could not be obtained.
    output_buffer(sink_function sink, void* context)
        : sink_(sink), context_(context), begin_(static_cast<char*>(std::malloc(buffer_size + spare_room))),
          next_(begin_.get()), end_(begin_.get() + buffer_size) {}

    bool ready() const { return begin_ != nullptr; }

    // The most room() can make at once.
    static constexpr std::size_t largest_room = std::size_t{1} << 16;

    // Where to write next, with room for at least `bytes` bytes (at most
    // largest_room).
    char* room(std::size_t bytes) {
        CONVERTER_ASSERT(bytes <= buffer_size);
        if (static_cast<std::size_t>(end_ - next_) < bytes) flush();
        return next_;
    }
    // How many fields fit from `cursor` on.
    std::size_t fields_after(const char* cursor) const { return static_cast<std::size_t>(end_ - cursor) / field_room; }
    // Ends a write at `cursor`, which must lie within the room asked for. A
    // writer that went past the end is a fault (checked in debug builds); in a
    // release build the bytes it left in the spare room after the end are
    // handed on at once, so that the cursor never stays past the end.
    void commit(char* cursor) {
        CONVERTER_ASSERT(cursor >= next_ && cursor <= end_);
        next_ = cursor;
        if (next_ > end_) {
            // Past the spare room the heap is already overwritten: stop before
            // anything is written from it.
            if (next_ > end_ + spare_room) std::abort();
            flush();
        }
    }

    // Writes out what is buffered; returns false once the sink has failed.
    bool flush() {
        const auto count = static_cast<std::size_t>(next_ - begin_.get());
        if (count != 0 && !failed_) {
            failed_ = !sink_(context_, begin_.get(), count);
            if (!failed_) written_ += count;
        }
        next_ = begin_.get();
        return !failed_;
    }
    std::uint64_t written() const { return written_; }

private:
    static constexpr std::size_t buffer_size = largest_room;
    // Allocated after the end: what a field written from the end's last bytes
    // may overwrite (a lag's text is copied as a whole field_room), and the margin of
    // commit's release-build check.
    static constexpr std::size_t spare_room = 4 * field_room;

    struct free_memory {
        void operator()(char* memory) const { std::free(memory); }
    };

    sink_function sink_;
    void* context_;
    std::unique_ptr<char, free_memory> begin_;
    char* next_;
    char* const end_;
    std::uint64_t written_ = 0;
    bool failed_ = false;
};

CONVERTER_ALWAYS_INLINE char* put_tab(char* out, std::int32_t value) {
    *out = '\t';
    return put_int(out + 1, value);
}

// Writes `count` fields with `put_field(out)`, which writes one at `out` and
// returns where it ended; room is made once per run of fields that fits.
template <typename field_writer> void put_fields(output_buffer& buffer, std::size_t count, field_writer put_field) {
    while (count != 0) {
        char* out = buffer.room(field_room);
        const std::size_t fit = buffer.fields_after(out);
        const std::size_t batch = fit < count ? fit : count;
        for (std::size_t field = 0; field != batch; ++field) out = put_field(out);
        buffer.commit(out);
        count -= batch;
    }
}

// Writes `text` as it is.
inline void put_text(output_buffer& buffer, std::string_view text) {
    char* out = buffer.room(text.size());
    std::memcpy(out, text.data(), text.size());
    buffer.commit(out + text.size());
}

// Writes "\n", which a text-mode stream on Windows stores as CR LF.
inline void put_line_end(output_buffer& buffer) {
    char* out = buffer.room(1);
    *out = '\n';
    buffer.commit(out + 1);
}

// Writes `values[0..count)`, each after a tab.
inline void put_values(output_buffer& buffer, const std::int32_t* values, std::size_t count) {
    put_fields(buffer, count, [values](char* out) mutable { return put_tab(out, *values++); });
}

struct write_failure {
    int system_error = 0;            // errno of the write that failed; 0 when all went well
    bool out_of_memory = false;      // memory ran out (the buffer, or a writer's own work); the output is short
    std::uint64_t bytes_written = 0; // what reached the file: each LF as CR LF where the stream stores it so
    explicit operator bool() const { return system_error != 0 || out_of_memory; }
};

// Writes one layout of `source` into a buffer; may throw std::bad_alloc.
using layout_writer = void (*)(output_buffer& buffer, const instance& source);

// Runs `write` into `output` and flushes it. Stops writing at the first failed
// write and returns its errno; the file is then short. Never throws. A stream
// in text mode on Windows stores each LF as CR LF, and bytes_written counts both.
write_failure write_layout(std::FILE* output, layout_writer write, const instance& source);
// The same to an open file descriptor, whose writes go straight to the system
// (on Windows, a descriptor of the C runtime; in text mode it stores CR LF).
write_failure write_layout_to_descriptor(int output, layout_writer write, const instance& source);
// `error`, the errno of a failed write to `descriptor`, as EPIPE when the
// write met a pipe whose reader is gone (on Windows the C runtime says EINVAL
// for that).
int closed_pipe_as_epipe(int error, int descriptor);
// The descriptor of a stream, for closed_pipe_as_epipe.
inline int descriptor_of(std::FILE* stream) {
#ifdef _WIN32
    return _fileno(stream);
#else
    return fileno(stream);
#endif
}
// Writes all of `bytes` to the descriptor, again after a short or interrupted
// write; returns 0, or the errno of the write that failed (ENOSPC for a write
// that took nothing).
int write_all(int descriptor, const char* bytes, std::size_t count);
// A sink for output_buffer that appends to the std::string `context` points to.
bool append_to_string(void* context, const char* bytes, std::size_t count);
// Appends the layout to `output`; throws std::bad_alloc when memory runs out.
void write_layout(std::string& output, layout_writer write, const instance& source);

} // namespace converter
