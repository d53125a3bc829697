#include "analysis/instance_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "analysis/csv_field.h"
#include "analysis/precedence_graph.h"
#include "analysis/time_lags.h"

namespace converter {
namespace {

// Each activity's values as the measures read them: with one mode each, the
// instance's own stores; with modes, its shortest duration and, per resource,
// its smallest and its largest demand over its modes.
struct activity_values {
    const std::int32_t* durations = nullptr;
    const std::int32_t* smallest = nullptr; // N * R
    const std::int32_t* largest = nullptr;  // N * R
    std::vector<std::int32_t> shortest_store, smallest_store, largest_store;

    activity_values(const instance& source, std::size_t activities, std::size_t resources) {
        if (!has_modes(source)) {
            durations = source.durations.begin();
            smallest = largest = source.demands.begin();
            return;
        }
        shortest_store = shortest_durations(source);
        smallest_store.resize(activities * resources);
        largest_store.resize(activities * resources);
        const std::int32_t* demand = source.demands.begin();
        for (std::size_t activity = 0; activity < activities; ++activity) {
            const std::int32_t modes = modes_of(source, activity);
            for (std::int32_t mode = 0; mode < modes; ++mode, demand += resources)
                for (std::size_t resource = 0; resource < resources; ++resource) {
                    std::int32_t& least = smallest_store[activity * resources + resource];
                    std::int32_t& most = largest_store[activity * resources + resource];
                    least = mode == 0 ? demand[resource] : std::min(least, demand[resource]);
                    most = mode == 0 ? demand[resource] : std::max(most, demand[resource]);
                }
        }
        durations = shortest_store.data();
        smallest = smallest_store.data();
        largest = largest_store.data();
    }
};

bool per_period(const instance& source, std::size_t resource) {
    return kind_of(source, resource) != resource_kind::nonrenewable;
}
bool over_the_project(const instance& source, std::size_t resource) {
    return kind_of(source, resource) != resource_kind::renewable;
}

// The mean resource strength of the resources held per period over the
// schedule `start`: one sort of the start and end events of activities that
// take time, then one sweep that keeps every resource's running total.
std::optional<double> resource_strength(const instance& source, const activity_values& values,
                                        const std::vector<std::int64_t>& start, std::size_t resources) {
    const std::size_t activities = start.size();
    struct event {
        std::int64_t time;
        std::uint32_t activity;
        bool is_start;
    };
    std::vector<event> events;
    events.reserve(2 * activities);
    for (std::size_t activity = 0; activity < activities; ++activity) {
        if (values.durations[activity] <= 0) continue;
        const auto index = static_cast<std::uint32_t>(activity);
        events.push_back({start[activity], index, true});
        events.push_back({start[activity] + values.durations[activity], index, false});
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
                std::max<std::int64_t>(largest[resource], values.smallest[activity * resources + resource]);
    for (const event& item : events) {
        const std::int32_t* demand = values.largest + std::size_t{item.activity} * resources;
        for (std::size_t resource = 0; resource < resources; ++resource) {
            load[resource] += item.is_start ? demand[resource] : -std::int64_t{demand[resource]};
            if (item.is_start) peak[resource] = std::max(peak[resource], load[resource]);
        }
    }
    double total = 0;
    std::size_t counted = 0;
    for (std::size_t resource = 0; resource < resources; ++resource) {
        if (!per_period(source, resource)) continue;
        ++counted;
        const std::int64_t spread = peak[resource] - largest[resource];
        total += spread == 0 ? 1.0
                             : static_cast<double>(source.capacities[resource] - largest[resource]) /
                                   static_cast<double>(spread);
    }
    if (counted == 0) return std::nullopt;
    return total / static_cast<double>(counted);
}

// The share of (activity, resource) pairs, j in 2..N-1 and k as `counts` says,
// with a positive demand, each activity's modes averaged.
std::optional<double> resource_factor(const instance& source, std::size_t activities, std::size_t resources,
                                      bool (*counts)(const instance&, std::size_t)) {
    std::vector<char> counted_resource(resources);
    std::size_t counted = 0;
    for (std::size_t resource = 0; resource < resources; ++resource) {
        counted_resource[resource] = counts(source, resource) ? 1 : 0;
        counted += counted_resource[resource] != 0;
    }
    if (activities <= 2 || counted == 0) return std::nullopt;
    // Whole counts while every activity has one mode, so that the ratio is the
    // one division of single-mode sets.
    double used = 0;
    const std::int32_t* demand = source.demands.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t modes = modes_of(source, activity);
        std::int64_t positive = 0;
        for (std::int32_t mode = 0; mode < modes; ++mode, demand += resources)
            if (activity != 0 && activity + 1 != activities)
                for (std::size_t resource = 0; resource < resources; ++resource)
                    positive += counted_resource[resource] != 0 && demand[resource] > 0;
        used += modes == 1 ? static_cast<double>(positive) : static_cast<double>(positive) / static_cast<double>(modes);
    }
    return used / (static_cast<double>(activities - 2) * static_cast<double>(counted));
}

// The mean over the resources counted over the project of (C_k - Kmin_k) /
// (Kmax_k - Kmin_k), the sums of the smallest and of the largest demands.
std::optional<double> nonrenewable_strength(const instance& source, const activity_values& values,
                                            std::size_t activities, std::size_t resources) {
    double total = 0;
    std::size_t counted = 0;
    for (std::size_t resource = 0; resource < resources; ++resource) {
        if (!over_the_project(source, resource)) continue;
        ++counted;
        std::int64_t least = 0, most = 0;
        for (std::size_t activity = 0; activity < activities; ++activity) {
            least += values.smallest[activity * resources + resource];
            most += values.largest[activity * resources + resource];
        }
        total += most == least
                     ? 1.0
                     : static_cast<double>(source.capacities[resource] - least) / static_cast<double>(most - least);
    }
    if (counted == 0) return std::nullopt;
    return total / static_cast<double>(counted);
}

std::optional<wide_integer> resource_bound(const instance& source, std::size_t activities, std::size_t resources) {
    for (const std::int32_t duration : source.durations)
        if (duration < 0) return std::nullopt;
    std::optional<wide_integer> bound;
    for (std::size_t resource = 0; resource < resources; ++resource) {
        const std::int64_t capacity = source.capacities[resource];
        if (capacity <= 0 || !per_period(source, resource)) continue;
        wide_integer work = 0;
        // By index: with no activity the stores may hold no memory at all.
        std::size_t place = 0;
        for (std::size_t activity = 0; activity < activities; ++activity) {
            const std::int32_t modes = modes_of(source, activity);
            std::int64_t least = 0;
            for (std::int32_t mode = 0; mode < modes; ++mode, ++place) {
                const std::int64_t product =
                    std::int64_t{source.durations[place]} * source.demands[place * resources + resource];
                least = mode == 0 ? product : std::min(least, product);
            }
            work += static_cast<wide_integer>(least);
        }
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
    stats.modes = static_cast<std::int64_t>(source.durations.size());
    for (std::size_t resource = 0; resource < resources; ++resource) {
        stats.nonrenewable += kind_of(source, resource) == resource_kind::nonrenewable;
        stats.doubly_constrained += kind_of(source, resource) == resource_kind::doubly_constrained;
    }

    if (stats.activities > 0)
        stats.network_complexity = static_cast<double>(stats.arcs) / static_cast<double>(stats.activities);
    stats.resource_factor = resource_factor(source, activities, resources, per_period);
    stats.nonrenewable_factor = resource_factor(source, activities, resources, over_the_project);

    const activity_values values(source, activities, resources);
    // With general time lags, the starts are the longest paths from time 0.
    const std::vector<std::int64_t> start =
        has_general_lags(source) ? earliest_starts_with_lags(source).earliest : earliest_starts(source);
    if (activities > 0 && !start.empty()) {
        stats.critical_path = start[activities - 1] + values.durations[activities - 1];
        stats.resource_strength = resource_strength(source, values, start, resources);
    }
    stats.nonrenewable_strength = nonrenewable_strength(source, values, activities, resources);
    stats.resource_bound = resource_bound(source, activities, resources);
    return stats;
}

const char* stats_csv_header() {
    return "file,activities,resources,arcs,network_complexity,resource_factor,resource_strength,critical_path,"
           "resource_bound,modes,nonrenewable,doubly_constrained,nonrenewable_factor,nonrenewable_strength";
}

std::string stats_csv_row(const std::string& file, const instance_stats& stats) {
    std::string row;
    append_csv_field(row, file);
    row += ',' + std::to_string(stats.activities) + ',' + std::to_string(stats.resources) + ',' +
           std::to_string(stats.arcs);
    append_ratio(row, stats.network_complexity);
    append_ratio(row, stats.resource_factor);
    append_ratio(row, stats.resource_strength);
    append_integer(row, stats.critical_path ? std::optional<wide_integer>(*stats.critical_path) : std::nullopt);
    append_integer(row, stats.resource_bound);
    row += ',' + std::to_string(stats.modes) + ',' + std::to_string(stats.nonrenewable) + ',' +
           std::to_string(stats.doubly_constrained);
    append_ratio(row, stats.nonrenewable_factor);
    append_ratio(row, stats.nonrenewable_strength);
    return row;
}

} // namespace converter
