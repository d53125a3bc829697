#include "layouts/sch_writer.h"

#include "instance/compiler.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace converter {
namespace {

// Room kept per field: the longest, a lag, is a tab, "[-2147483648]", 14 bytes;
// the two spare bytes leave space for the line end after a full run of fields.
constexpr std::size_t field_room = 16;

constexpr char digit_pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
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

// Exactly 4 digits, with leading zeros.
CONVERTER_ALWAYS_INLINE char* put_four(char* out, std::uint32_t below_10000) {
    put_pair(out, below_10000 / 100);
    put_pair(out + 2, below_10000 % 100);
    return out + 4;
}

// One branch per size class and two digits per step: no loop, no digit count.
CONVERTER_ALWAYS_INLINE char* put_unsigned(char* out, std::uint32_t value) {
    if (value < 10000) return put_small(out, value);
    if (value < 100000000) return put_four(put_small(out, value / 10000), value % 10000);
    const std::uint32_t low = value % 100000000;
    return put_four(put_four(put_small(out, value / 100000000), low / 10000), low % 10000);
}

CONVERTER_ALWAYS_INLINE char* put_int(char* out, std::int32_t value) {
    if (value >= 0) return put_unsigned(out, static_cast<std::uint32_t>(value));
    *out = '-';
    return put_unsigned(out + 1, 0u - static_cast<std::uint32_t>(value));
}

// The header's N - 2 needs 33 bits; its magnitude still fits in 32 unsigned ones.
char* put_wide(char* out, std::int64_t value) {
    if (value >= std::numeric_limits<std::int32_t>::min()) return put_int(out, static_cast<std::int32_t>(value));
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
        : sink_(sink), context_(context), begin_(static_cast<char*>(std::malloc(buffer_size + field_room))),
          next_(begin_.get()), end_(begin_.get() + buffer_size) {}

    bool ready() const { return begin_ != nullptr; }

    // Where to write next, with room for at least `bytes` bytes.
    char* room(std::size_t bytes) {
        if (static_cast<std::size_t>(end_ - next_) < bytes) flush();
        return next_;
    }
    // How many fields fit from `cursor` on.
    std::size_t fields_after(const char* cursor) const { return static_cast<std::size_t>(end_ - cursor) / field_room; }
    void commit(char* cursor) { next_ = cursor; }

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
    static constexpr std::size_t buffer_size = std::size_t{1} << 16;

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

// Writes `values[0..count)`, each after a tab.
void put_values(output_buffer& buffer, const std::int32_t* values, std::size_t count) {
    put_fields(buffer, count, [values](char* out) mutable { return put_tab(out, *values++); });
}

// Writes `count` copies of `text`, `length` bytes of it, each with a fixed-size
// copy that compiles to a couple of moves.
void put_copies(output_buffer& buffer, const char (&text)[field_room], std::size_t length, std::size_t count) {
    put_fields(buffer, count, [&text, length](char* out) {
        std::memcpy(out, text, field_room);
        return out + length;
    });
}

// "i\t1\tvalue", the start of every line of both sections.
void put_line_start(output_buffer& buffer, std::size_t activity, std::int32_t value) {
    char* out = put_int(buffer.room(2 * field_room), static_cast<std::int32_t>(activity));
    std::memcpy(out, "\t1", 2);
    buffer.commit(put_tab(out + 2, value));
}

void put_line_end(output_buffer& buffer) {
    char* out = buffer.room(1);
    *out = '\n';
    buffer.commit(out + 1);
}

void write_layout(output_buffer& buffer, const instance& source) {
    const std::int32_t activity_count = source.activity_count;
    const std::int32_t resource_count = source.resource_count;
    const std::size_t activities = activity_count > 0 ? static_cast<std::size_t>(activity_count) : 0;
    const std::size_t resources = resource_count > 0 ? static_cast<std::size_t>(resource_count) : 0;

    char* out = put_wide(buffer.room(2 * field_room), std::int64_t{activity_count} - 2);
    out = put_tab(out, resource_count);
    std::memcpy(out, "\t0\t0\n", 5);
    buffer.commit(out + 5);

    const std::int32_t* successor = source.successors.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t successor_count = source.successor_counts[activity];
        put_line_start(buffer, activity, successor_count);
        if (successor_count > 0) {
            const auto count = static_cast<std::size_t>(successor_count);
            put_values(buffer, successor, count);
            successor += count;
            // Every lag of the line is the same text: format it once.
            char lag[field_room] = {'\t', '['};
            char* lag_end = put_int(lag + 2, source.durations[activity]);
            *lag_end++ = ']';
            put_copies(buffer, lag, static_cast<std::size_t>(lag_end - lag), count);
        }
        put_line_end(buffer);
    }

    const std::int32_t* demand = source.demands.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        put_line_start(buffer, activity, source.durations[activity]);
        put_values(buffer, demand, resources);
        demand += resources;
        put_line_end(buffer);
    }

    for (std::size_t resource = 0; resource < resources; ++resource) {
        out = put_int(buffer.room(field_room), source.capacities[resource]);
        *out = '\t';
        buffer.commit(out + 1);
    }
}

struct file_sink {
    std::FILE* file;
    int error;
};

bool write_file(void* context, const char* bytes, std::size_t count) {
    auto* sink = static_cast<file_sink*>(context);
    if (std::fwrite(bytes, 1, count, sink->file) == count) return true;
    sink->error = errno != 0 ? errno : EIO;
    return false;
}

struct descriptor_sink {
    int descriptor;
    int error;
};

bool write_descriptor(void* context, const char* bytes, std::size_t count) {
    auto* sink = static_cast<descriptor_sink*>(context);
    while (count != 0) {
#ifdef _WIN32
        // In text mode _write turns each LF into CR LF and reports the bytes it took.
        const int written = _write(sink->descriptor, bytes, static_cast<unsigned>(count));
#else
        const ssize_t written = write(sink->descriptor, bytes, count);
#endif
        if (written < 0) {
            if (errno == EINTR) continue;
            sink->error = errno != 0 ? errno : EIO;
            return false;
        }
        if (written == 0) {
            sink->error = ENOSPC;
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

bool append_text(void* context, const char* bytes, std::size_t count) {
    static_cast<std::string*>(context)->append(bytes, count);
    return true;
}

} // namespace

write_failure write_converted(std::FILE* output, const instance& source) {
    file_sink sink{output, 0};
    output_buffer buffer(write_file, &sink);
    if (!buffer.ready()) return write_failure{0, true, 0};
    write_layout(buffer, source);
    if (buffer.flush() && std::fflush(output) != 0) sink.error = errno != 0 ? errno : EIO;
    return write_failure{sink.error, false, buffer.written()};
}

write_failure write_converted_to_descriptor(int output, const instance& source) {
    descriptor_sink sink{output, 0};
    output_buffer buffer(write_descriptor, &sink);
    if (!buffer.ready()) return write_failure{0, true, 0};
    write_layout(buffer, source);
    buffer.flush();
    return write_failure{sink.error, false, buffer.written()};
}

void write_converted(std::string& output, const instance& source) {
    output_buffer buffer(append_text, &output);
    if (!buffer.ready()) throw std::bad_alloc();
    write_layout(buffer, source);
    buffer.flush();
}

} // namespace converter
