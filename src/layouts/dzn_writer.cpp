#include "layouts/dzn_writer.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "layouts/count_check.h"

namespace converter {
namespace {

void put_number(output_buffer& buffer, std::int64_t value) { buffer.commit(put_wide(buffer.room(field_room), value)); }

// Values after the first, each after ", ".
void put_more(output_buffer& buffer, const std::int32_t* values, std::size_t count, std::size_t stride) {
    put_fields(buffer, count, [values, stride](char* out) mutable {
        std::memcpy(out, ", ", 2);
        values += stride;
        return put_int(out + 2, *values);
    });
}

// "[ a, b, c ]", "[  ]" when empty; with `tight`, "[a, b, c]" and "[]", as
// the multi-mode benchmarks write their lists.
void put_list(output_buffer& buffer, const std::int32_t* values, std::size_t count, bool tight = false) {
    put_text(buffer, tight ? "[" : "[ ");
    if (count != 0) {
        put_number(buffer, values[0]);
        put_more(buffer, values, count - 1, 1);
    }
    put_text(buffer, tight ? "]" : " ]");
}

// Whether mode `mode` (its place in `durations`) has a demand above 0.
bool has_demands(const instance& source, std::size_t mode, std::size_t resources) {
    for (std::size_t resource = 0; resource < resources; ++resource)
        if (source.demands[mode * resources + resource] != 0) return true;
    return false;
}

// Which activities are tasks: [first, first + count), the dummies left out.
struct task_range {
    std::size_t first = 0, count = 0;
    bool dummies = false;
};

// A dummy: one mode (at `mode` in `durations`), of duration 0 and no demands.
bool is_dummy(const instance& source, std::size_t activity, std::size_t mode, std::size_t resources) {
    return modes_of(source, activity) == 1 && source.durations[mode] == 0 && !has_demands(source, mode, resources);
}

task_range tasks_of(const instance& source) {
    const std::size_t activities = source.activity_count > 0 ? static_cast<std::size_t>(source.activity_count) : 0;
    const std::size_t resources = source.resource_count > 0 ? static_cast<std::size_t>(source.resource_count) : 0;
    task_range range{0, activities, false};
    if (activities < 2) return range;
    const std::size_t last = activities - 1;
    if (!is_dummy(source, 0, 0, resources) || !is_dummy(source, last, source.durations.size() - 1, resources) ||
        source.successor_counts[last] > 0)
        return range;
    for (const std::int32_t successor : source.successors)
        if (successor == 0) return range; // the first activity has a predecessor
    return {1, activities - 2, true};
}

// Whether an arc between two tasks has a lag other than its duration: the
// dummies' arcs, which the data leave out, don't count.
bool tasks_have_general_lags(const instance& source, const task_range& tasks) {
    if (!has_general_lags(source)) return false;
    const auto first = static_cast<std::int64_t>(tasks.first),
               end = static_cast<std::int64_t>(tasks.first + tasks.count);
    std::size_t arc = 0;
    for (std::size_t activity = 0; activity < static_cast<std::size_t>(source.activity_count); ++activity)
        for (std::int32_t index = 0; index < source.successor_counts[activity]; ++index, ++arc) {
            const std::int64_t from = static_cast<std::int64_t>(activity), to = source.successors[arc];
            if (from >= first && from < end && to >= first && to < end &&
                source.lags[arc] != source.durations[activity])
                return true;
        }
    return false;
}

// The demands, a row per resource: "[| 1, 2\n      | 3, 4 |]".
void put_demands(output_buffer& buffer, const instance& source, const task_range& tasks) {
    const auto resources = static_cast<std::size_t>(source.resource_count);
    if (resources == 0 || tasks.count == 0) {
        put_text(buffer, "array2d(1..");
        put_number(buffer, source.resource_count);
        put_text(buffer, ", 1..");
        put_number(buffer, static_cast<std::int64_t>(tasks.count));
        put_text(buffer, ", [])");
        return;
    }
    for (std::size_t resource = 0; resource < resources; ++resource) {
        put_text(buffer, resource == 0 ? "[| " : "\n      | ");
        const std::int32_t* row = source.demands.begin() + tasks.first * resources + resource;
        put_number(buffer, *row);
        put_more(buffer, row, tasks.count - 1, resources);
    }
    put_text(buffer, " |]");
}

// What both models' data start with: the counts, the capacities, the
// durations and the demands, the capacities' and durations' names (with what
// stands before them) as the model has them.
void put_head(output_buffer& buffer, const instance& source, const task_range& tasks, std::string_view capacities,
              std::string_view durations) {
    put_text(buffer, "n_res = ");
    put_number(buffer, source.resource_count);
    put_text(buffer, capacities);
    put_list(buffer, source.capacities.begin(), static_cast<std::size_t>(source.resource_count));
    put_text(buffer, ";\nn_tasks = ");
    put_number(buffer, static_cast<std::int64_t>(tasks.count));
    put_text(buffer, durations);
    put_list(buffer, source.durations.begin() + tasks.first, tasks.count);
    put_text(buffer, ";\nrr = ");
    put_demands(buffer, source, tasks);
}

} // namespace

bool dzn_can_hold(const instance& source, const activity_naming& naming, message_text& why) {
    if (!has_no_negative_count(source, naming, why)) return false;
    for (std::size_t resource = 0; resource < source.resource_kinds.size(); ++resource)
        if (kind_of(source, resource) == resource_kind::doubly_constrained) {
            why = message_text("resource ")
                      .append_number(static_cast<std::int64_t>(resource + 1))
                      .append(" is doubly constrained, which MiniZinc's mrcpsp model has no place for");
            return false;
        }
    const task_range tasks = tasks_of(source);
    const bool max_model = tasks_have_general_lags(source, tasks);
    const std::size_t activities = static_cast<std::size_t>(source.activity_count);
    std::vector<std::size_t> listed_by(activities, activities);
    const std::int32_t* successor = source.successors.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        for (std::int32_t index = 0; index < count; ++index, ++successor) {
            if (tasks.dummies && activity == 0) continue; // the source's list is dropped
            const std::int64_t target = *successor;
            if (tasks.dummies && target == static_cast<std::int64_t>(activities - 1)) continue; // the sink
            if (target < static_cast<std::int64_t>(tasks.first) ||
                target >= static_cast<std::int64_t>(tasks.first + tasks.count)) {
                why = message_text();
                append_activity(why, source, naming, static_cast<std::int64_t>(activity))
                    .append(" has successor ")
                    .append_number(activity_number(source, naming, target))
                    .append(", which is not a task of the model");
                return false;
            }
            // Rows of dcons may repeat an arc; a set of successors can't.
            auto& last_lister = listed_by[static_cast<std::size_t>(target)];
            if (last_lister == activity && !max_model) {
                why = message_text();
                append_activity(why, source, naming, static_cast<std::int64_t>(activity))
                    .append(" lists successor ")
                    .append_number(activity_number(source, naming, target))
                    .append(" twice, which a set can't hold");
                return false;
            }
            last_lister = activity;
        }
    }
    return true;
}

namespace {

// An arc between two tasks, numbered as the model numbers them.
struct task_arc {
    std::int32_t from, lag, to;
};

// Data for MiniZinc's rcpsp_max model, as its benchmarks write them: each arc
// between two tasks one row "i, lag, j" of dcons, by i and then j (arcs with
// the same ends in file order), the dummies' arcs left out with them.
void write_dzn_max(output_buffer& buffer, const instance& source, const task_range& tasks) {
    const std::size_t activities = static_cast<std::size_t>(source.activity_count);
    std::vector<task_arc> arcs;
    arcs.reserve(source.successors.size());
    const auto first = static_cast<std::int64_t>(tasks.first);
    const auto end = static_cast<std::int64_t>(tasks.first + tasks.count);
    std::size_t arc = 0;
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        for (std::int32_t index = 0; index < count; ++index, ++arc) {
            const std::int64_t target = source.successors[arc];
            const auto from = static_cast<std::int64_t>(activity);
            if (from < first || from >= end || target < first || target >= end) continue;
            arcs.push_back({static_cast<std::int32_t>(from - first + 1), lag_of(source, arc, activity),
                            static_cast<std::int32_t>(target - first + 1)});
        }
    }
    std::stable_sort(arcs.begin(), arcs.end(), [](const task_arc& left, const task_arc& right) {
        return left.from != right.from ? left.from < right.from : left.to < right.to;
    });
    put_head(buffer, source, tasks, ";\nrcap = ", ";\ndur =  ");
    put_text(buffer, ";\ndcons = ");
    if (arcs.empty()) {
        put_text(buffer, "array2d(1..0, 1..3, [])");
    } else {
        for (std::size_t row = 0; row < arcs.size(); ++row) {
            char* out = buffer.room(3 * longest_int + 16);
            std::memcpy(out, row == 0 ? "[| " : "\n         | ", row == 0 ? 3 : 12);
            out += row == 0 ? 3 : 12;
            out = put_int(out, arcs[row].from);
            std::memcpy(out, ", ", 2);
            out = put_int(out + 2, arcs[row].lag);
            std::memcpy(out, ", ", 2);
            buffer.commit(put_int(out + 2, arcs[row].to));
        }
        put_text(buffer, "\n         |]");
    }
    put_text(buffer, ";\nn_dc = ");
    put_number(buffer, static_cast<std::int64_t>(arcs.size()));
    put_text(buffer, ";\n");
}

// The tasks' successor sets, each ascending, the sink left out, numbered as
// tasks: `open` before the first set, `between` between sets, `empty` for a
// set without members, `close` after the last; `open` and `close` also when
// there is no task.
struct set_words {
    std::string_view open, set_open, between, set_close, close;
};
void put_successor_sets(output_buffer& buffer, const instance& source, const task_range& tasks,
                        const set_words& words) {
    const std::size_t activities = static_cast<std::size_t>(source.activity_count);
    put_text(buffer, words.open);
    std::vector<std::int32_t> set;
    const std::int32_t* successor = source.successors.begin();
    for (std::size_t activity = 0; activity < activities; ++activity) {
        const std::int32_t count = source.successor_counts[activity];
        const std::int32_t* const list = successor;
        successor += count > 0 ? count : 0;
        if (activity < tasks.first || activity >= tasks.first + tasks.count) continue;
        set.clear();
        for (std::int32_t index = 0; index < count; ++index)
            if (!tasks.dummies || list[index] != static_cast<std::int32_t>(activities - 1))
                set.push_back(list[index] - static_cast<std::int32_t>(tasks.first) + 1);
        std::sort(set.begin(), set.end());
        if (activity != tasks.first) put_text(buffer, words.between);
        put_text(buffer, words.set_open);
        if (!set.empty()) {
            put_number(buffer, set[0]);
            put_more(buffer, set.data(), set.size() - 1, 1);
        }
        put_text(buffer, words.set_close);
    }
    put_text(buffer, words.close);
}

// Data for MiniZinc's mrcpsp model, as its benchmarks write PSPLIB's
// multi-mode sets: the tasks' modes numbered from 1 in task order, each
// task's set of them in modes, dur and rreq one entry per mode.
void write_dzn_modes(output_buffer& buffer, const instance& source, const task_range& tasks) {
    const auto resources = static_cast<std::size_t>(source.resource_count);
    put_text(buffer, "n_res = ");
    put_number(buffer, source.resource_count);
    put_text(buffer, ";\nrcap = ");
    put_list(buffer, source.capacities.begin(), resources, true);
    put_text(buffer, ";\nrtype = ");
    std::vector<std::int32_t> kinds(resources);
    for (std::size_t resource = 0; resource < resources; ++resource)
        kinds[resource] = static_cast<std::int32_t>(kind_of(source, resource));
    put_list(buffer, kinds.data(), resources, true);
    put_text(buffer, ";\nn_tasks = ");
    put_number(buffer, static_cast<std::int64_t>(tasks.count));
    // The tasks' modes: [first_mode, end_mode) in durations.
    const std::vector<std::size_t> first = first_modes(source);
    const std::size_t first_mode = first[tasks.first], end_mode = first[tasks.first + tasks.count];
    put_text(buffer, ";\nmodes = [ ");
    for (std::size_t task = 0; task < tasks.count; ++task) {
        const std::size_t activity = tasks.first + task;
        put_text(buffer, task == 0 ? "{" : ", {");
        for (std::size_t mode = first[activity]; mode < first[activity + 1]; ++mode) {
            char* out = buffer.room(field_room + 2);
            if (mode != first[activity]) {
                std::memcpy(out, ", ", 2);
                out += 2;
            }
            buffer.commit(put_wide(out, static_cast<std::int64_t>(mode - first_mode + 1)));
        }
        put_text(buffer, "}");
    }
    put_text(buffer, " ];\n");
    put_successor_sets(buffer, source, tasks, {"succ = [ ", "{", ", ", "}", " ];\n"});
    const std::size_t options = end_mode - first_mode;
    put_text(buffer, "n_opt = ");
    put_number(buffer, static_cast<std::int64_t>(options));
    put_text(buffer, ";\ndur = ");
    put_list(buffer, source.durations.begin() + first_mode, options, true);
    put_text(buffer, ";\nrreq = ");
    if (resources == 0 || options == 0) {
        put_text(buffer, "array2d(1..");
        put_number(buffer, source.resource_count);
        put_text(buffer, ", 1..");
        put_number(buffer, static_cast<std::int64_t>(options));
        put_text(buffer, ", [])");
    } else {
        // Each demand right-aligned to the widest one, at least two columns,
        // after one blank; a row per resource, modes across.
        // The widest is the largest or the most negative.
        std::int32_t lowest = 0, highest = 0;
        for (std::size_t index = first_mode * resources; index < end_mode * resources; ++index) {
            lowest = std::min(lowest, source.demands[index]);
            highest = std::max(highest, source.demands[index]);
        }
        const std::size_t width = std::max({std::size_t{2}, printed_length(lowest), printed_length(highest)});
        const auto put_demand = [width](char* out, std::int32_t value) {
            std::memcpy(out, blanks16, field_room);
            put_int(out + 1 + width - printed_length(value), value);
            return out + 1 + width;
        };
        for (std::size_t resource = 0; resource < resources; ++resource) {
            put_text(buffer, resource == 0 ? "[|" : "\n        |");
            const std::int32_t* demand = source.demands.begin() + first_mode * resources + resource;
            buffer.commit(put_demand(buffer.room(field_room), *demand));
            put_fields(buffer, options - 1, [&demand, resources, &put_demand](char* out) {
                demand += resources;
                *out = ',';
                return put_demand(out + 1, *demand);
            });
        }
        put_text(buffer, " |]");
    }
    put_text(buffer, ";\n");
}

} // namespace

void write_dzn(output_buffer& buffer, const instance& source) {
    const task_range tasks = tasks_of(source);
    if (has_modes(source) || has_other_kinds(source)) {
        write_dzn_modes(buffer, source, tasks);
        return;
    }
    if (tasks_have_general_lags(source, tasks)) {
        write_dzn_max(buffer, source, tasks);
        return;
    }
    put_head(buffer, source, tasks, ";\nrc = ", ";\nd = ");
    put_successor_sets(buffer, source, tasks, {";\nsuc = [ ", "{ ", ",\n       ", " }", " ];\n"});
}

} // namespace converter
