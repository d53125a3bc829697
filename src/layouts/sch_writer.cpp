#include "layouts/sch_writer.h"

#include <cstring>

namespace converter {
namespace {

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

} // namespace

void write_sch(output_buffer& buffer, const instance& source) {
    const std::int32_t activity_count = source.activity_count;
    const std::int32_t resource_count = source.resource_count;
    const std::size_t activities = activity_count > 0 ? static_cast<std::size_t>(activity_count) : 0;
    const std::size_t resources = resource_count > 0 ? static_cast<std::size_t>(resource_count) : 0;

    char* out = put_wide(buffer.room(2 * field_room), std::int64_t{activity_count} - 2);
    out = put_tab(out, resource_count);
    std::memcpy(out, "\t0\t0\n", 5);
    buffer.commit(out + 5);

    const std::int32_t* successor = source.successors.begin();
    const std::int32_t* lag = has_general_lags(source) ? source.lags.begin() : nullptr;
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t successor_count = source.successor_counts[activity];
        put_line_start(buffer, activity, successor_count);
        if (successor_count > 0) {
            const auto count = static_cast<std::size_t>(successor_count);
            put_values(buffer, successor, count);
            successor += count;
            if (lag != nullptr) {
                put_fields(buffer, count, [&lag](char* field) {
                    std::memcpy(field, "\t[", 2);
                    field = put_int(field + 2, *lag++);
                    *field = ']';
                    return field + 1;
                });
            } else {
                // Every lag of the line is the same text: format it once.
                char same_lag[field_room] = {'\t', '['};
                char* lag_end = put_int(same_lag + 2, source.durations[activity]);
                *lag_end++ = ']';
                put_copies(buffer, same_lag, static_cast<std::size_t>(lag_end - same_lag), count);
            }
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

    if (source.capacities_line_ended && resources != 0) {
        // As the public RCPSP/max files end: tabs between, a line end after.
        buffer.commit(put_int(buffer.room(field_room), source.capacities[0]));
        put_values(buffer, source.capacities.begin() + 1, resources - 1);
        put_line_end(buffer);
        return;
    }
    for (std::size_t resource = 0; resource < resources; ++resource) {
        out = put_int(buffer.room(field_room), source.capacities[resource]);
        *out = '\t';
        buffer.commit(out + 1);
    }
}

write_failure write_converted(std::FILE* output, const instance& source) {
    return write_layout(output, write_sch, source);
}

void write_converted(std::string& output, const instance& source) { write_layout(output, write_sch, source); }

} // namespace converter
