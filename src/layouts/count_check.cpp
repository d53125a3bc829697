#include "layouts/count_check.h"

namespace converter {

bool has_no_negative_count(const instance& source, const activity_naming& naming, message_text& why) {
    if (source.activity_count < 0) {
        why = message_text("the activity count is negative (").append_number(source.activity_count).append(")");
        return false;
    }
    if (source.resource_count < 0) {
        why = message_text("the resource count is negative (").append_number(source.resource_count).append(")");
        return false;
    }
    for (std::size_t activity = 0; activity < static_cast<std::size_t>(source.activity_count); ++activity)
        if (source.successor_counts[activity] < 0) {
            why = message_text();
            append_activity(why, source, naming, static_cast<std::int64_t>(activity))
                .append(" has a negative successor count (")
                .append_number(source.successor_counts[activity])
                .append(")");
            return false;
        }
    return true;
}

bool has_no_general_lags(const instance& source, const activity_naming& naming, const char* layout_name,
                         message_text& why) {
    if (!has_general_lags(source)) return true;
    std::size_t arc = 0;
    for (std::size_t activity = 0; activity < static_cast<std::size_t>(source.activity_count); ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        for (std::int32_t index = 0; index < count; ++index, ++arc) {
            if (source.lags[arc] == source.durations[activity]) continue;
            why = message_text();
            append_activity(why, source, naming, static_cast<std::int64_t>(activity))
                .append(" \xe2\x86\x92 ")
                .append_number(activity_number(source, naming, source.successors[arc]))
                .append(" has the time lag ")
                .append_number(source.lags[arc])
                .append("; the ")
                .append(layout_name)
                .append(" layout holds only lags equal to the durations");
            return false;
        }
    }
    return true;
}

bool has_one_mode_and_renewable_resources(const instance& source, const activity_naming& naming,
                                          const char* layout_name, message_text& why) {
    for (std::size_t activity = 0; activity < source.mode_counts.size(); ++activity)
        if (source.mode_counts[activity] != 1) {
            why = message_text();
            append_activity(why, source, naming, static_cast<std::int64_t>(activity))
                .append(" has ")
                .append_number(source.mode_counts[activity])
                .append(" modes; the ")
                .append(layout_name)
                .append(" layout holds one mode per activity");
            return false;
        }
    for (std::size_t resource = 0; resource < source.resource_kinds.size(); ++resource) {
        const resource_kind kind = kind_of(source, resource);
        if (kind == resource_kind::renewable) continue;
        why =
            message_text("resource ")
                .append_number(static_cast<std::int64_t>(resource + 1))
                .append(kind == resource_kind::nonrenewable ? " is nonrenewable; the " : " is doubly constrained; the ")
                .append(layout_name)
                .append(" layout holds renewable resources only");
        return false;
    }
    return true;
}

} // namespace converter
