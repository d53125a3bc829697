#include "analysis/schedule_check.h"

#include <algorithm>

namespace converter {
namespace {

// Keeps the first `limit` violations' texts and counts them all.
class violation_list {
public:
    violation_list(schedule_report& report, std::size_t limit) : report_(report), limit_(limit) {}
    // The text of a new violation of kind `what` at the places given, or
    // nullptr past the limit.
    message_text* add(schedule_violation::kind what, std::size_t activity, std::size_t successor = 0,
                      std::size_t resource = 0, std::int64_t from = 0, std::int64_t to = 0) {
        report_.feasible = false;
        ++report_.violation_count;
        if (report_.violations.size() == limit_) return nullptr;
        schedule_violation& violation = report_.violations.emplace_back();
        violation.what = what;
        violation.activity = activity;
        violation.successor = successor;
        violation.resource = resource;
        violation.from = from;
        violation.to = to;
        return &violation.text;
    }

private:
    schedule_report& report_;
    std::size_t limit_;
};

} // namespace

message_text& append_resource(message_text& text, const instance& source, std::size_t resource,
                              resource_labels labels) {
    text.append("resource ");
    if (labels == resource_labels::numbers) return text.append_number(static_cast<std::int64_t>(resource + 1));
    const resource_kind kind = kind_of(source, resource);
    std::int64_t within = 0;
    for (std::size_t other = 0; other <= resource; ++other) within += kind_of(source, other) == kind;
    return text.append(kind == resource_kind::renewable      ? "R "
                       : kind == resource_kind::nonrenewable ? "N "
                                                             : "D ")
        .append_number(within);
}

std::vector<std::size_t> chosen_modes(const instance& source, const schedule& plan) {
    const auto activities = static_cast<std::size_t>(source.activity_count > 0 ? source.activity_count : 0);
    std::vector<std::size_t> chosen(activities, no_mode);
    for (std::size_t activity = 0, first = 0; activity < activities; ++activity) {
        const std::int32_t count = modes_of(source, activity);
        const std::int64_t mode = has_modes(source) ? plan.modes[activity] : 1;
        if (mode >= 1 && mode <= count) chosen[activity] = first + static_cast<std::size_t>(mode - 1);
        first += static_cast<std::size_t>(count > 0 ? count : 0);
    }
    return chosen;
}

use_sweep::use_sweep(const instance& source, const schedule& plan, const std::vector<std::size_t>& chosen)
    : source_(source), chosen_(chosen),
      resources_(static_cast<std::size_t>(source.resource_count > 0 ? source.resource_count : 0)) {
    for (std::size_t activity = 0; activity < chosen.size(); ++activity) {
        if (chosen[activity] == no_mode || source.durations[chosen[activity]] <= 0) continue;
        events_.push_back({plan.starts[activity], activity, true});
        events_.push_back({plan.starts[activity] + source.durations[chosen[activity]], activity, false});
    }
    std::sort(events_.begin(), events_.end(), [](const event& left, const event& right) {
        return left.time != right.time ? left.time < right.time : left.starts < right.starts;
    });
}

schedule_report verify_schedule(const instance& source, const schedule& plan, const activity_naming& naming,
                                resource_labels labels, std::size_t limit) {
    schedule_report report;
    violation_list violations(report, limit);
    const auto activities = static_cast<std::size_t>(source.activity_count > 0 ? source.activity_count : 0);
    const auto resources = static_cast<std::size_t>(source.resource_count > 0 ? source.resource_count : 0);
    const std::vector<std::size_t> chosen = chosen_modes(source, plan);
    constexpr std::size_t none = no_mode;
    for (std::size_t activity = 0; activity < activities; ++activity)
        if (chosen[activity] == none)
            if (message_text* text = violations.add(schedule_violation::kind::mode, activity))
                append_activity(*text, source, naming, static_cast<std::int64_t>(activity))
                    .append(" is given mode ")
                    .append_number(has_modes(source) ? plan.modes[activity] : 1)
                    .append(", which it does not have (modes 1..")
                    .append_number(modes_of(source, activity))
                    .append(")");
    const auto duration = [&](std::size_t activity) { return std::int64_t{source.durations[chosen[activity]]}; };
    const auto demand = [&](std::size_t activity, std::size_t resource) {
        return std::int64_t{source.demands[chosen[activity] * resources + resource]};
    };
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int64_t start = plan.starts[activity];
        if (start < 0)
            if (message_text* text = violations.add(schedule_violation::kind::start, activity))
                append_activity(*text, source, naming, static_cast<std::int64_t>(activity))
                    .append(" starts at ")
                    .append_number(start)
                    .append(", before time 0");
        if (chosen[activity] != none) report.makespan = std::max(report.makespan, start + duration(activity));
    }

    // The arcs, in file order.
    const bool lagged = has_general_lags(source);
    for (std::size_t activity = 0, arc = 0; activity < activities; ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        for (std::int32_t index = 0; index < count; ++index, ++arc) {
            const std::int32_t successor = source.successors[arc];
            if (successor < 0 || static_cast<std::size_t>(successor) >= activities) continue; // a --check finding
            const auto next = static_cast<std::size_t>(successor);
            if (chosen[activity] == none || chosen[next] == none) continue;
            const std::int64_t lag = lagged ? std::int64_t{source.lags[arc]} : duration(activity);
            const std::int64_t earliest = plan.starts[activity] + lag;
            if (plan.starts[next] >= earliest) continue;
            message_text* text =
                violations.add(schedule_violation::kind::arc, activity, next, 0, earliest, plan.starts[next]);
            if (text == nullptr) continue;
            append_activity(*text, source, naming, successor).append(" starts at ").append_number(plan.starts[next]);
            if (!lagged) {
                append_activity(text->append(", before "), source, naming, static_cast<std::int64_t>(activity))
                    .append(" ends at ")
                    .append_number(earliest);
                continue;
            }
            text->append(", before ")
                .append_number(earliest)
                .append(", which the time lag ")
                .append_number(lag)
                .append(" of ")
                .append_number(activity_number(source, naming, static_cast<std::int64_t>(activity)))
                .append(" -> ")
                .append_number(activity_number(source, naming, successor))
                .append(" asks (");
            append_activity(*text, source, naming, static_cast<std::int64_t>(activity))
                .append(" starts at ")
                .append_number(plan.starts[activity])
                .append(")");
        }
    }

    const use_sweep use(source, plan, chosen);
    for (std::size_t resource = 0; resource < resources; ++resource) {
        const std::int64_t capacity = source.capacities[resource];
        const resource_kind kind = kind_of(source, resource);
        if (kind != resource_kind::nonrenewable)
            use.sweep(resource, [&](std::int64_t time, std::int64_t next, std::int64_t used) {
                if (used <= capacity || next == time) return;
                const std::int64_t last = next - 1;
                message_text* text = violations.add(schedule_violation::kind::renewable, 0, 0, resource, time, last);
                if (text == nullptr) return;
                append_resource(*text, source, resource, labels)
                    .append(": ")
                    .append_number(used)
                    .append(last == time ? " used in period " : " used in periods ")
                    .append_number(time);
                if (last != time) text->append("\xe2\x80\x93").append_number(last);
                text->append(" by ").append(naming.word != nullptr ? naming.plural : "activities").append(" ");
                // The activities running then, named as the file names them.
                std::vector<std::int64_t> running;
                for (std::size_t activity = 0; activity < activities; ++activity)
                    if (chosen[activity] != none && demand(activity, resource) > 0 && duration(activity) > 0 &&
                        plan.starts[activity] <= time && time < plan.starts[activity] + duration(activity))
                        running.push_back(activity_number(source, naming, static_cast<std::int64_t>(activity)));
                constexpr std::size_t named = 12;
                for (std::size_t index = 0; index < running.size() && index < named; ++index)
                    text->append(index == 0                                               ? ""
                                 : index + 1 == running.size() && running.size() <= named ? " and "
                                                                                          : ", ")
                        .append_number(running[index]);
                if (running.size() > named) text->append(", ...");
                text->append(", above its capacity ").append_number(capacity);
            });
        if (kind == resource_kind::renewable) continue;
        std::int64_t total = 0;
        for (std::size_t activity = 0; activity < activities; ++activity)
            if (chosen[activity] != none) total += demand(activity, resource);
        if (total > capacity)
            if (message_text* text = violations.add(schedule_violation::kind::nonrenewable, 0, 0, resource))
                append_resource(*text, source, resource, labels)
                    .append(": the chosen modes need ")
                    .append_number(total)
                    .append(", above its capacity ")
                    .append_number(capacity);
    }
    return report;
}

} // namespace converter
