#include "layouts/rcp_writer.h"

namespace converter {
namespace {

CONVERTER_ALWAYS_INLINE char* put_blank(char* out, std::int32_t value) {
    *out = ' ';
    return put_int(out + 1, value);
}

// Values after the first of a line, each after a blank, plus `plus` (1 for
// successors, stored 0-based), in 64 bits.
void put_blank_values(output_buffer& buffer, const std::int32_t* values, std::size_t count, std::int64_t plus) {
    put_fields(buffer, count, [values, plus](char* out) mutable {
        *out = ' ';
        return put_wide(out + 1, std::int64_t{*values++} + plus);
    });
}

} // namespace

void write_rcp(output_buffer& buffer, const instance& source) {
    const std::size_t activities = source.activity_count > 0 ? static_cast<std::size_t>(source.activity_count) : 0;
    const std::size_t resources = source.resource_count > 0 ? static_cast<std::size_t>(source.resource_count) : 0;

    char* out = put_int(buffer.room(2 * field_room), source.activity_count);
    buffer.commit(put_blank(out, source.resource_count));
    put_line_end(buffer);
    if (resources != 0) {
        buffer.commit(put_int(buffer.room(field_room), source.capacities[0]));
        put_blank_values(buffer, source.capacities.begin() + 1, resources - 1, 0);
    }
    put_line_end(buffer);

    const std::int32_t* demand = source.demands.begin();
    const std::int32_t* successor = source.successors.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        buffer.commit(put_int(buffer.room(field_room), source.durations[activity]));
        put_blank_values(buffer, demand, resources, 0);
        demand += resources;
        const std::int32_t successor_count = source.successor_counts[activity];
        buffer.commit(put_blank(buffer.room(field_room), successor_count));
        if (successor_count > 0) {
            put_blank_values(buffer, successor, static_cast<std::size_t>(successor_count), 1);
            successor += successor_count;
        }
        put_line_end(buffer);
    }
}

} // namespace converter
