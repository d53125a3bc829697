#include "layouts/json_writer.h"

#include <optional>
#include <string_view>
#include <utility>

#include "instance/utf8.h"

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

// The object, each activity on a line of its own, or all on one line.
void put_instance(output_buffer& buffer, const instance& source, bool one_line) {
    const auto activities = static_cast<std::size_t>(source.activity_count);
    const auto resources = static_cast<std::size_t>(source.resource_count);
    put_text(buffer, "\"capacities\": ");
    put_array(buffer, source.capacities.begin(), resources);
    if (has_other_kinds(source)) {
        put_text(buffer, ", \"kinds\": [");
        for (std::size_t resource = 0; resource < resources; ++resource) {
            if (resource != 0) put_text(buffer, ", ");
            const resource_kind kind = kind_of(source, resource);
            put_text(buffer, kind == resource_kind::renewable      ? "\"renewable\""
                             : kind == resource_kind::nonrenewable ? "\"nonrenewable\""
                                                                   : "\"doubly constrained\"");
        }
        put_text(buffer, "]");
    }
    put_text(buffer, one_line ? ", \"activities\": [" : ", \"activities\": [\n");
    const std::int32_t* duration = source.durations.begin();
    const std::int32_t* demand = source.demands.begin();
    const std::int32_t* successor = source.successors.begin();
    const std::int32_t* lag = has_general_lags(source) ? source.lags.begin() : nullptr;
    const std::string_view indent = one_line ? "" : "  ";
    // One mode's duration and demands: "{"duration": 2, "demands": [1, 0]"
    // without its closing brace.
    const auto put_mode = [&buffer, &duration, &demand, resources]() {
        constexpr std::string_view before = "{\"duration\": ", after = ", \"demands\": ";
        char* out = buffer.room(before.size() + longest_int + after.size());
        std::memcpy(out, before.data(), before.size());
        out = put_int(out + before.size(), *duration++);
        std::memcpy(out, after.data(), after.size());
        buffer.commit(out + after.size());
        put_array(buffer, demand, resources);
        demand += resources;
    };
    for (std::size_t activity = 0; activity < activities; ++activity) {
        put_text(buffer, indent);
        const std::int32_t modes = modes_of(source, activity);
        if (modes == 1) {
            put_mode();
        } else {
            put_text(buffer, "{\"modes\": [");
            for (std::int32_t mode = 0; mode < modes; ++mode) {
                if (mode != 0) put_text(buffer, ", ");
                put_mode();
                put_text(buffer, "}");
            }
            put_text(buffer, "]");
        }
        put_text(buffer, ", \"successors\": ");
        const auto count = static_cast<std::size_t>(source.successor_counts[activity]);
        put_array(buffer, successor, count);
        successor += count;
        if (lag != nullptr) {
            put_text(buffer, ", \"lags\": ");
            put_array(buffer, lag, count);
            lag += count;
        }
        const bool last = activity + 1 == activities;
        put_text(buffer, one_line ? (last ? "}" : "}, ") : (last ? "}\n" : "},\n"));
    }
    put_text(buffer, "]}\n");
}

// `text` as a JSON string: quotes, backslashes and control characters escaped,
// well-formed UTF-8 as it is, and each byte that is none (a file name in
// Latin-1, say) as U+FFFD, since JSON text is UTF-8 and its readers refuse
// anything else.
void put_string(output_buffer& buffer, std::string_view text) {
    put_text(buffer, "\"");
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        const auto byte = static_cast<unsigned char>(c);
        char* out = buffer.room(6);
        if (byte >= 0x80) {
            const std::size_t length = utf8_sequence_length(text.data() + at, text.size() - at);
            if (length == 0) {
                std::memcpy(out, "\xEF\xBF\xBD", 3);
                out += 3;
            } else {
                std::memcpy(out, text.data() + at, length);
                out += length;
                at += length - 1;
            }
        } else if (c == '"' || c == '\\') {
            out[0] = '\\';
            out[1] = c;
            out += 2;
        } else if (byte < 0x20) {
            std::memcpy(out, "\\u00", 4);
            out[4] = "0123456789abcdef"[byte >> 4];
            out[5] = "0123456789abcdef"[byte & 15];
            out += 6;
        } else {
            *out++ = c;
        }
        buffer.commit(out);
    }
    put_text(buffer, "\"");
}

// PSPLIB's header values, those held: "psplib": {"basedata": "j30_17.bas", ...},
void put_header(output_buffer& buffer, const project_header& header) {
    put_text(buffer, "\"psplib\": {");
    const char* separator = "";
    if (header.basedata) {
        put_text(buffer, "\"basedata\": ");
        put_string(buffer, *header.basedata);
        separator = ", ";
    }
    const std::pair<const char*, const std::optional<std::int64_t>*> values[] = {
        {"seed", &header.seed},
        {"horizon", &header.horizon},
        {"release_date", &header.release_date},
        {"due_date", &header.due_date},
        {"tardiness_cost", &header.tardiness_cost},
        {"mpm_time", &header.mpm_time}};
    for (const auto& [key, value] : values) {
        if (!*value) continue;
        put_text(buffer, separator);
        put_text(buffer, "\"");
        put_text(buffer, key);
        put_text(buffer, "\": ");
        buffer.commit(put_wide(buffer.room(field_room), **value));
        separator = ", ";
    }
    put_text(buffer, "}, ");
}

} // namespace

void write_json(output_buffer& buffer, const instance& source) {
    put_text(buffer, "{");
    if (!source.header.empty()) put_header(buffer, source.header);
    if (source.capacities_line_ended) put_text(buffer, "\"sch\": {\"capacities_line_ended\": true}, ");
    put_instance(buffer, source, false);
}

void write_json_line(output_buffer& buffer, const instance& source, std::string_view name) {
    put_text(buffer, "{\"name\": ");
    put_string(buffer, name);
    put_text(buffer, ", ");
    if (!source.header.empty()) put_header(buffer, source.header);
    if (source.capacities_line_ended) put_text(buffer, "\"sch\": {\"capacities_line_ended\": true}, ");
    put_instance(buffer, source, true);
}

} // namespace converter
