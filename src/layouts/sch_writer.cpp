#include "layouts/sch_writer.h"

#include <cstring>

namespace converter {
namespace {

// "i\t1\t", the start of every line of both sections, kept as text and
// counted up in place: each line copies it rather than formatting a number.
class line_start {
public:
    // Writes the current start at `out` (16 bytes are written, the start's
    // length counted) and returns where it ends.
    char* put(char* out) const {
        std::memcpy(out, text_, sizeof text_);
        return out + digits_ + 3;
    }
    void next() {
        std::size_t digit = digits_;
        while (digit != 0 && text_[digit - 1] == '9') text_[--digit] = '0';
        if (digit != 0) {
            ++text_[digit - 1];
            return;
        }
        std::memmove(text_ + 1, text_, digits_ + 3);
        text_[0] = '1';
        ++digits_;
    }

private:
    char text_[field_room] = {'0', '\t', '1', '\t'}; // at most 10 digits and the three bytes
    std::size_t digits_ = 1;
};

// Room for a line of `fields` fields written in one go: up to two field_room
// a field (a value and its lag, the lag written as a whole field_room) and
// the line's start. A longer line is written in runs of fields.
constexpr std::size_t line_room(std::size_t fields) { return (fields + 1) * 2 * field_room + 1; }
constexpr std::size_t longest_line_fields = output_buffer::largest_room / (4 * field_room);

char* put_lag(char* out, std::int32_t lag) {
    std::memcpy(out, "\t[", 2);
    out = put_int(out + 2, lag);
    *out = ']';
    return out + 1;
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
    line_start start;
    for (std::size_t activity = 0; activity < activities; ++activity, start.next()) {
        const std::int32_t successor_count = source.successor_counts[activity];
        const std::size_t count = successor_count > 0 ? static_cast<std::size_t>(successor_count) : 0;
        // Every lag of the line is the same text when the lags are the
        // duration: formatted once.
        char same_lag[field_room] = {'\t', '['};
        std::size_t same_lag_length = 0;
        if (lag == nullptr) {
            char* lag_end = put_int(same_lag + 2, source.durations[activity]);
            *lag_end++ = ']';
            same_lag_length = static_cast<std::size_t>(lag_end - same_lag);
        }
        if (count <= longest_line_fields) {
            out = put_int(start.put(buffer.room(line_room(count))), successor_count);
            for (std::size_t index = 0; index != count; ++index) out = put_tab(out, successor[index]);
            if (lag != nullptr) {
                for (std::size_t index = 0; index != count; ++index) out = put_lag(out, lag[index]);
            } else {
                for (std::size_t index = 0; index != count; ++index) {
                    std::memcpy(out, same_lag, field_room);
                    out += same_lag_length;
                }
            }
            *out = '\n';
            buffer.commit(out + 1);
        } else {
            buffer.commit(put_int(start.put(buffer.room(2 * field_room)), successor_count));
            put_values(buffer, successor, count);
            if (lag != nullptr) {
                const std::int32_t* line_lag = lag;
                put_fields(buffer, count, [&line_lag](char* field) { return put_lag(field, *line_lag++); });
            } else {
                put_fields(buffer, count, [&same_lag, same_lag_length](char* field) {
                    std::memcpy(field, same_lag, field_room);
                    return field + same_lag_length;
                });
            }
            put_line_end(buffer);
        }
        successor += count;
        if (lag != nullptr) lag += count;
    }

    const std::int32_t* demand = source.demands.begin();
    start = line_start{};
    const bool demands_in_one_go = resources <= longest_line_fields;
    for (std::size_t activity = 0; activity < activities; ++activity, start.next()) {
        if (demands_in_one_go) {
            out = put_int(start.put(buffer.room(line_room(resources))), source.durations[activity]);
            for (std::size_t index = 0; index != resources; ++index) out = put_tab(out, demand[index]);
            *out = '\n';
            buffer.commit(out + 1);
        } else {
            buffer.commit(put_int(start.put(buffer.room(2 * field_room)), source.durations[activity]));
            put_values(buffer, demand, resources);
            put_line_end(buffer);
        }
        demand += resources;
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
