#include "analysis/instance_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "analysis/precedence_graph.h"
#include "analysis/time_lags.h"

namespace converter {
namespace {

// The mean resource strength over the schedule `start`: one sort of the start
// and end events of activities that take time, then one sweep that keeps every
// resource's running total.
double resource_strength(const instance& source, const std::vector<std::int64_t>& start, std::size_t resources) {
    const std::size_t activities = start.size();
    struct event {
        std::int64_t time;
        std::uint32_t activity;
        bool is_start;
    };
    std::vector<event> events;
    events.reserve(2 * activities);
    for (std::size_t activity = 0; activity < activities; ++activity) {
        if (source.durations[activity] <= 0) continue;
        const auto index = static_cast<std::uint32_t>(activity);
        events.push_back({start[activity], index, true});
        events.push_back({start[activity] + source.durations[activity], index, false});
    }
    // At equal times ends come first: [start, start + d) leaves before the next arrives.
    std::sort(events.begin(), events.end(), [](const event& left, const event& right) {
        if (left.time != right.time) return left.time < right.time;
        return !left.is_start && right.is_start;
    });
    std::vector<std::int64_t> load(resources, 0), peak(resources, 0), largest(resources, 0);
    for (std::size_t activity = 0; activity < activities; ++activity)
        for (std::size_t resource = 0; resource < resources; ++resource)
            largest[resource] =
                std::max<std::int64_t>(largest[resource], source.demands[activity * resources + resource]);
    for (const event& item : events) {
        const std::int32_t* demand = source.demands.begin() + std::size_t{item.activity} * resources;
        for (std::size_t resource = 0; resource < resources; ++resource) {
            load[resource] += item.is_start ? demand[resource] : -std::int64_t{demand[resource]};
            if (item.is_start) peak[resource] = std::max(peak[resource], load[resource]);
        }
    }
    double total = 0;
    for (std::size_t resource = 0; resource < resources; ++resource) {
        const std::int64_t spread = peak[resource] - largest[resource];
        total += spread == 0 ? 1.0
                             : static_cast<double>(source.capacities[resource] - largest[resource]) /
                                   static_cast<double>(spread);
    }
    return total / static_cast<double>(resources);
}

std::optional<wide_integer> resource_bound(const instance& source, std::size_t activities, std::size_t resources) {
    for (std::size_t activity = 0; activity < activities; ++activity)
        if (source.durations[activity] < 0) return std::nullopt;
    std::optional<wide_integer> bound;
    for (std::size_t resource = 0; resource < resources; ++resource) {
        const std::int64_t capacity = source.capacities[resource];
        if (capacity <= 0) continue;
        wide_integer work = 0;
        for (std::size_t activity = 0; activity < activities; ++activity)
            work += static_cast<wide_integer>(std::int64_t{source.durations[activity]} *
                                              source.demands[activity * resources + resource]);
#if defined(__SIZEOF_INT128__)
        // Rounded up, negative work included.
        const wide_integer quotient = work / capacity + (work % capacity > 0 ? 1 : 0);
#else
        const wide_integer quotient = std::ceil(work / capacity);
#endif
        if (!bound || quotient > *bound) bound = quotient;
    }
    return bound;
}

void append_ratio(std::string& row, const std::optional<double>& value) {
    row += ',';
    if (!value) return;
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", *value);
    row += text;
}

void append_integer(std::string& row, const std::optional<wide_integer>& value) {
    row += ',';
    if (!value) return;
#if defined(__SIZEOF_INT128__)
    wide_integer number = *value;
    const bool negative = number < 0;
    wide_unsigned magnitude = negative ? 0 - static_cast<wide_unsigned>(number) : static_cast<wide_unsigned>(number);
    char digits[48];
    char* cursor = digits + sizeof digits;
    do {
        *--cursor = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (negative) *--cursor = '-';
    row.append(cursor, static_cast<std::size_t>(digits + sizeof digits - cursor));
#else
    char text[64];
    std::snprintf(text, sizeof text, "%.0Lf", static_cast<long double>(*value));
    row += text;
#endif
}

} // namespace

instance_stats compute_stats(const instance& source) {
    instance_stats stats;
    stats.activities = source.activity_count;
    stats.resources = source.resource_count;
    stats.arcs = static_cast<std::int64_t>(source.successors.size());
    const std::size_t activities = source.activity_count > 0 ? static_cast<std::size_t>(source.activity_count) : 0;
    const std::size_t resources = source.resource_count > 0 ? static_cast<std::size_t>(source.resource_count) : 0;

    if (stats.activities > 0)
        stats.network_complexity = static_cast<double>(stats.arcs) / static_cast<double>(stats.activities);
    const std::int64_t pairs = (stats.activities - 2) * stats.resources;
    if (stats.activities > 2 && stats.resources > 0) {
        std::int64_t used = 0;
        for (std::size_t activity = 1; activity + 1 < activities; ++activity)
            for (std::size_t resource = 0; resource < resources; ++resource)
                used += source.demands[activity * resources + resource] > 0;
        stats.resource_factor = static_cast<double>(used) / static_cast<double>(pairs);
    }

    // With general time lags, the starts are the longest paths from time 0.
    const std::vector<std::int64_t> start =
        has_general_lags(source) ? earliest_starts_with_lags(source).earliest : earliest_starts(source);
    if (activities > 0 && !start.empty()) {
        stats.critical_path = start[activities - 1] + source.durations[activities - 1];
        if (resources > 0) stats.resource_strength = resource_strength(source, start, resources);
    }
    stats.resource_bound = resource_bound(source, activities, resources);
    return stats;
}

const char* stats_csv_header() {
    return "file,activities,resources,arcs,network_complexity,resource_factor,resource_strength,critical_path,"
           "resource_bound";
}

std::string stats_csv_row(const std::string& file, const instance_stats& stats) {
    std::string row;
    if (file.find_first_of(",\"\r\n") == std::string::npos) {
        row = file;
    } else {
        row = '"';
        for (const char c : file) {
            if (c == '"') row += '"';
            row += c;
        }
        row += '"';
    }
    row += ',' + std::to_string(stats.activities) + ',' + std::to_string(stats.resources) + ',' +
           std::to_string(stats.arcs);
    append_ratio(row, stats.network_complexity);
    append_ratio(row, stats.resource_factor);
    append_ratio(row, stats.resource_strength);
    append_integer(row, stats.critical_path ? std::optional<wide_integer>(*stats.critical_path) : std::nullopt);
    append_integer(row, stats.resource_bound);
    return row;
}

} // namespace converter
