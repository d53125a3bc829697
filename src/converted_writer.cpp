#include "converted_writer.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

namespace converter {
namespace {

// Room kept per field: the longest, a lag, is a tab, "[-2147483648]", 14 bytes;
// the two spare bytes leave space for the line end after a full run of fields.
constexpr std::size_t field_room = 16;

constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

unsigned digit_count(std::uint64_t value) {
    unsigned count = 1;
    for (;;) {
        if (value < 10) return count;
        if (value < 100) return count + 1;
        if (value < 1000) return count + 2;
        if (value < 10000) return count + 3;
        value /= 10000;
        count += 4;
    }
}

char* put_unsigned(char* out, std::uint64_t value) {
    char* const end = out + digit_count(value);
    char* cursor = end;
    while (value >= 100) {
        const auto pair = static_cast<std::size_t>(value % 100) * 2;
        value /= 100;
        cursor -= 2;
        std::memcpy(cursor, digit_pairs + pair, 2);
    }
    if (value >= 10) {
        std::memcpy(cursor - 2, digit_pairs + value * 2, 2);
    } else {
        cursor[-1] = static_cast<char>('0' + value);
    }
    return end;
}

char* put_int(char* out, std::int64_t value) {
    if (value >= 0) return put_unsigned(out, static_cast<std::uint64_t>(value));
    *out = '-';
    return put_unsigned(out + 1, 0 - static_cast<std::uint64_t>(value));
}

// Formats into a fixed buffer and hands full buffers to a sink. Callers make room
// with `room_for` before writing a run of fields, so each field costs no test.
class output_buffer {
public:
    using sink_function = bool (*)(void* context, const char* bytes, std::size_t count);

    output_buffer(sink_function sink, void* context)
        : sink_(sink), context_(context), begin_(new char[buffer_size]), next_(begin_.get()),
          end_(begin_.get() + buffer_size) {}

    void make_room(std::size_t bytes) {
        if (static_cast<std::size_t>(end_ - next_) < bytes) flush();
    }
    // Makes room for at least one field and returns how many fields fit.
    std::size_t room_for_fields() {
        make_room(field_room);
        return static_cast<std::size_t>(end_ - next_) / field_room;
    }

    void put(std::int64_t value) { next_ = put_int(next_, value); }
    void put_tab(std::int64_t value) {
        *next_++ = '\t';
        next_ = put_int(next_, value);
    }
    void put_text(const char* text, std::size_t length) {
        std::memcpy(next_, text, length);
        next_ += length;
    }

    // Writes out what is buffered; returns false once the sink has failed.
    bool flush() {
        if (next_ != begin_.get() && !failed_) failed_ = !sink_(context_, begin_.get(), used());
        next_ = begin_.get();
        return !failed_;
    }

private:
    static constexpr std::size_t buffer_size = std::size_t{1} << 16;
    std::size_t used() const { return static_cast<std::size_t>(next_ - begin_.get()); }

    sink_function sink_;
    void* context_;
    std::unique_ptr<char[]> begin_;
    char* next_;
    char* const end_;
    bool failed_ = false;
};

// Writes the tab-separated fields `values[0..count)`, each after a tab.
void put_fields(output_buffer& out, const std::int32_t* values, std::size_t count) {
    while (count != 0) {
        std::size_t batch = out.room_for_fields();
        if (batch > count) batch = count;
        for (const std::int32_t* const end = values + batch; values != end; ++values) out.put_tab(*values);
        count -= batch;
    }
}

void put_line_start(output_buffer& out, std::size_t activity, std::int32_t third_field) {
    out.make_room(2 * field_room);
    out.put(static_cast<std::int64_t>(activity));
    out.put_text("\t1", 2);
    out.put_tab(third_field);
}

void write_layout(output_buffer& out, const instance& source) {
    const std::int32_t activity_count = source.activity_count;
    const std::int32_t resource_count = source.resource_count;
    const std::size_t activities = activity_count > 0 ? static_cast<std::size_t>(activity_count) : 0;
    const std::size_t resources = resource_count > 0 ? static_cast<std::size_t>(resource_count) : 0;

    out.make_room(2 * field_room);
    out.put(std::int64_t{activity_count} - 2);
    out.put_tab(resource_count);
    out.put_text("\t0\t0\n", 5);

    const std::int32_t* successor = source.successors.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t successor_count = source.successor_counts[activity];
        put_line_start(out, activity, successor_count);
        if (successor_count > 0) {
            const auto count = static_cast<std::size_t>(successor_count);
            put_fields(out, successor, count);
            successor += count;
            // Every lag of the line is the same text: format it once.
            char lag[field_room];
            lag[0] = '\t';
            lag[1] = '[';
            char* lag_end = put_int(lag + 2, source.durations[activity]);
            *lag_end++ = ']';
            const auto lag_length = static_cast<std::size_t>(lag_end - lag);
            for (std::size_t left = count; left != 0;) {
                std::size_t batch = out.room_for_fields();
                if (batch > left) batch = left;
                left -= batch;
                while (batch-- != 0) out.put_text(lag, lag_length);
            }
        }
        out.put_text("\n", 1);
    }

    const std::int32_t* demand = source.demands.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        put_line_start(out, activity, source.durations[activity]);
        put_fields(out, demand, resources);
        demand += resources;
        out.put_text("\n", 1);
    }

    for (std::size_t resource = 0; resource < resources; ++resource) {
        out.room_for_fields();
        out.put(source.capacities[resource]);
        out.put_text("\t", 1);
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

bool append_text(void* context, const char* bytes, std::size_t count) {
    static_cast<std::string*>(context)->append(bytes, count);
    return true;
}

} // namespace

write_failure write_converted(std::FILE* output, const instance& source) {
    file_sink sink{output, 0};
    output_buffer out(write_file, &sink);
    write_layout(out, source);
    if (out.flush() && std::fflush(output) != 0) sink.error = errno != 0 ? errno : EIO;
    return write_failure{sink.error};
}

void write_converted(std::string& output, const instance& source) {
    output_buffer out(append_text, &output);
    write_layout(out, source);
    out.flush();
}

} // namespace converter
