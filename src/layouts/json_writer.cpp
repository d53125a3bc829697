#include "layouts/json_writer.h"

#include <string_view>

namespace converter {
namespace {

// "[a, b, c]"
void put_array(output_buffer& buffer, const std::int32_t* values, std::size_t count) {
    put_text(buffer, "[");
    if (count != 0) {
        buffer.commit(put_int(buffer.room(field_room), *values));
        put_fields(buffer, count - 1, [values](char* out) mutable {
            std::memcpy(out, ", ", 2);
            return put_int(out + 2, *++values);
        });
    }
    put_text(buffer, "]");
}

} // namespace

void write_json(output_buffer& buffer, const instance& source) {
    const auto activities = static_cast<std::size_t>(source.activity_count);
    const auto resources = static_cast<std::size_t>(source.resource_count);
    put_text(buffer, "{\"capacities\": ");
    put_array(buffer, source.capacities.begin(), resources);
    put_text(buffer, ", \"activities\": [\n");
    const std::int32_t* demand = source.demands.begin();
    const std::int32_t* successor = source.successors.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        constexpr std::string_view before = "  {\"duration\": ", after = ", \"demands\": ";
        char* out = buffer.room(before.size() + longest_int + after.size());
        std::memcpy(out, before.data(), before.size());
        out = put_int(out + before.size(), source.durations[activity]);
        std::memcpy(out, after.data(), after.size());
        buffer.commit(out + after.size());
        put_array(buffer, demand, resources);
        demand += resources;
        put_text(buffer, ", \"successors\": ");
        const auto count = static_cast<std::size_t>(source.successor_counts[activity]);
        put_array(buffer, successor, count);
        successor += count;
        put_text(buffer, activity + 1 == activities ? "}\n" : "},\n");
    }
    put_text(buffer, "]}\n");
}

} // namespace converter
