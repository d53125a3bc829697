#include "layouts/dot_writer.h"

#include <string_view>

namespace converter {
namespace {

// Past this many arcs dot's ranking and crossing passes take from seconds to
// minutes (1,229 arcs: 5.3 s; 4,710: 112 s); with the limits, 0.5 s and 4.8 s.
constexpr std::int64_t large_network_arcs = 1000;

// "v, v, v": `count` values from `values`.
void put_list(output_buffer& buffer, const std::int32_t* values, std::size_t count) {
    put_fields(buffer, count, [values, first = true](char* field) mutable {
        if (!first) {
            std::memcpy(field, ", ", 2);
            field += 2;
        }
        first = false;
        return put_int(field, *values++);
    });
}

// The drawing's title: the source's name, then the capacities.
void put_label(output_buffer& buffer, const instance& source, std::size_t resources) {
    put_text(buffer, "  labelloc=t;\n  label=\"");
    constexpr std::size_t piece = 128;
    const std::string& name = source.source_name;
    for (std::size_t start = 0; start < name.size(); start += piece) {
        char* out = buffer.room(2 * piece);
        for (std::size_t index = start; index < name.size() && index < start + piece; ++index) {
            // A dot string holds any byte but its quote, and a backslash starts an escape.
            if (name[index] == '"' || name[index] == '\\') *out++ = '\\';
            *out++ = name[index];
        }
        buffer.commit(out);
    }
    if (!name.empty()) put_text(buffer, "\\n");
    if (resources == 0) {
        put_text(buffer, "no resources\";\n");
        return;
    }
    put_text(buffer, "capacities ");
    put_list(buffer, source.capacities.begin(), resources);
    if (has_other_kinds(source)) {
        // Each resource's kind: R renewable, N nonrenewable, D doubly constrained.
        put_text(buffer, "\\nkinds ");
        for (std::size_t resource = 0; resource < resources; ++resource) {
            char* out = buffer.room(3);
            if (resource != 0) {
                std::memcpy(out, ", ", 2);
                out += 2;
            }
            *out++ = "RND"[static_cast<std::size_t>(kind_of(source, resource)) - 1];
            buffer.commit(out);
        }
    }
    put_text(buffer, "\";\n");
}

// A dummy: one mode (at `mode` in `durations`), of duration 0 and no demands.
bool is_dummy(const instance& source, std::size_t activity, std::size_t mode, std::size_t resources) {
    if (modes_of(source, activity) != 1 || source.durations[mode] != 0) return false;
    for (std::size_t resource = 0; resource < resources; ++resource)
        if (source.demands[mode * resources + resource] != 0) return false;
    return true;
}

} // namespace

void write_dot(output_buffer& buffer, const instance& source) {
    const std::size_t activities = source.activity_count > 0 ? static_cast<std::size_t>(source.activity_count) : 0;
    const std::size_t resources = source.resource_count > 0 ? static_cast<std::size_t>(source.resource_count) : 0;
    put_text(buffer, "digraph project {\n"
                     "  rankdir=LR;\n");
    put_label(buffer, source, resources);
    std::int64_t arcs = 0;
    for (std::size_t activity = 0; activity < activities; ++activity)
        arcs += source.successor_counts[activity] > 0 ? source.successor_counts[activity] : 0;
    if (arcs > large_network_arcs) put_text(buffer, "  nslimit=2;\n  nslimit1=2;\n  mclimit=0.1;\n");
    put_text(buffer, "  node [shape=box, fontname=\"Helvetica\", fontsize=10];\n");
    std::size_t first_mode = 0;
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const auto number = static_cast<std::int64_t>(activity + 1);
        // An activity with several modes shows their count and its shortest
        // mode, the first among equals.
        const std::int32_t modes = modes_of(source, activity);
        std::size_t mode = first_mode;
        for (std::size_t other = first_mode + 1; other < first_mode + static_cast<std::size_t>(modes); ++other)
            if (source.durations[other] < source.durations[mode]) mode = other;
        const std::int32_t* const demand = source.demands.begin() + mode * resources;
        const std::size_t own_first_mode = first_mode;
        first_mode += static_cast<std::size_t>(modes > 0 ? modes : 0);
        char* out = buffer.room(96);
        std::memcpy(out, "  ", 2);
        out = put_wide(out + 2, number);
        if ((activity == 0 || activity + 1 == activities) && is_dummy(source, activity, own_first_mode, resources)) {
            constexpr std::string_view point = " [shape=point, width=0.12, label=\"\"];\n";
            std::memcpy(out, point.data(), point.size());
            buffer.commit(out + point.size());
            continue;
        }
        std::memcpy(out, " [label=\"", 9);
        out = put_wide(out + 9, number);
        if (modes != 1) {
            std::memcpy(out, "\\n", 2);
            out = put_int(out + 2, modes);
            constexpr std::string_view shortest = " modes, shortest:";
            std::memcpy(out, shortest.data(), shortest.size());
            out += shortest.size();
        }
        std::memcpy(out, "\\nd ", 4);
        out = put_int(out + 4, source.durations[mode]);
        if (resources != 0) {
            std::memcpy(out, "\\n", 2);
            out += 2;
        }
        buffer.commit(out);
        put_list(buffer, demand, resources);
        put_text(buffer, "\"];\n");
    }
    const std::int32_t* successor = source.successors.begin();
    std::size_t arc = 0;
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        for (std::int32_t index = 0; index < count; ++index, ++arc) {
            char* out = buffer.room(96);
            std::memcpy(out, "  ", 2);
            out = put_wide(out + 2, static_cast<std::int64_t>(activity + 1));
            std::memcpy(out, " -> ", 4);
            out = put_wide(out + 4, std::int64_t{*successor++} + 1);
            // A lag other than the duration is labelled; a maximal lag (an
            // arc back, of a negative lag) is drawn dashed.
            const std::int32_t lag = has_general_lags(source) ? source.lags[arc] : 0;
            if (has_general_lags(source) && lag != source.durations[activity]) {
                std::memcpy(out, " [label=\"", 9);
                out = put_int(out + 9, lag);
                constexpr std::string_view dashed = "\", style=dashed]", plain = "\"]";
                const std::string_view end = lag < 0 ? dashed : plain;
                std::memcpy(out, end.data(), end.size());
                out += end.size();
            }
            std::memcpy(out, ";\n", 2);
            buffer.commit(out + 2);
        }
    }
    put_text(buffer, "}\n");
}

} // namespace converter
