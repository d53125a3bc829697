#include "batch/verify.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "analysis/csv_field.h"
#include "analysis/schedule_check.h"
#include "batch/progress.h"
#include "batch/text_output.h"
#include "drawing/schedule_svg.h"
#include "files/compressed_input.h"
#include "files/file_check.h"
#include "files/file_identity.h"
#include "files/input_list.h"
#include "files/reference_table.h"
#include "files/system_path.h"
#include "files/text_file.h"
#include "layouts/schedule_reader.h"

namespace converter::batch {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t violation_limit = 20;

struct pairing {
    fs::path instance;
    fs::path schedule; // "-" for standard input
    fs::path drawing;  // with --draw: the picture's file, "-" for standard output
};

// The name an instance is paired by: its file name without a compression
// suffix and without its extension (j301_1.sm.gz: j301_1).
std::string stem_of(const fs::path& path) {
    const auto stem = without_compression(path.filename()).stem().u8string();
    return std::string(stem.begin(), stem.end());
}

std::string name_of(const fs::path& path) {
    const auto name = path.filename().u8string();
    return std::string(name.begin(), name.end());
}

// The instance a schedule's name belongs to: the longest stem among
// `stems` that, with a dot after it, starts the name (j301_1.minizinc.txt:
// j301_1), not the file's own; `none` without one.
std::size_t owner_of(const std::string& name, const std::map<std::string, std::size_t>& stems, std::size_t own) {
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::size_t best = none, best_length = 0;
    for (std::size_t dot = name.find('.'); dot != std::string::npos; dot = name.find('.', dot + 1)) {
        const auto found = stems.find(name.substr(0, dot));
        if (found != stems.end() && found->second != own && dot > best_length) {
            best = found->second;
            best_length = dot;
        }
    }
    return best;
}

// Pairs the instances of one directory with the schedules of another (or of
// the same one, where a file is a schedule when another's stem starts its
// name); names what has no partner.
std::vector<pairing> pair_directories(const options& request) {
    const std::vector<input_file> instances = list_inputs({request.inputs[0]}, request.listing);
    file_key first, second;
    const bool same = identify(request.inputs[0], first) && identify(request.inputs[1], second) && first == second;
    const std::vector<input_file> schedules = same ? instances : list_inputs({request.inputs[1]}, request.listing);
    std::map<std::string, std::size_t> stems;
    for (std::size_t index = 0; index < instances.size(); ++index)
        if (!instances[index].error) stems.emplace(stem_of(instances[index].path), index);
    std::vector<std::vector<std::size_t>> schedules_of(instances.size());
    std::vector<char> is_schedule(instances.size(), 0);
    std::vector<fs::path> orphans;
    for (std::size_t index = 0; index < schedules.size(); ++index) {
        if (schedules[index].error) continue;
        const std::size_t owner =
            owner_of(name_of(schedules[index].path), stems, same ? index : static_cast<std::size_t>(-1));
        if (owner != static_cast<std::size_t>(-1)) {
            schedules_of[owner].push_back(index);
            if (same) is_schedule[index] = 1;
        } else if (!same) {
            orphans.push_back(schedules[index].path);
        }
    }
    std::vector<pairing> pairs;
    for (std::size_t index = 0; index < instances.size(); ++index) {
        if (is_schedule[index] != 0 || instances[index].error) continue;
        if (schedules_of[index].empty()) {
            print_line(stderr, instances[index].path, "no schedule has this instance's name");
        }
        for (const std::size_t schedule : schedules_of[index])
            pairs.push_back({instances[index].path, schedules[schedule].path, {}});
    }
    for (const fs::path& orphan : orphans) {
        print_line(stderr, orphan, "no instance has this schedule's name");
    }
    return pairs;
}

std::string number_text(std::int64_t value) { return std::to_string(value); }

std::string reference_text(const reference_value& value) {
    if (value.proven()) return number_text(*value.lower);
    return (value.lower ? number_text(*value.lower) : std::string()) + ".." +
           (value.upper ? number_text(*value.upper) : std::string());
}

// What one pair gives: its row, and its violations and findings for
// standard error, made by a job and printed in pair order.
struct pair_result {
    std::string row;
    std::string picture; // drawn for standard output
    std::vector<std::pair<fs::path, std::string>> messages;
    bool sound = false; // feasible, and no finding made
};

// One pair into `result`.
void verify_pair(const pairing& pair, const reference_table& references, instance& scratch, pair_result& result) {
    const auto print_line = [&result](std::FILE*, const fs::path& path, std::string_view text) {
        result.messages.emplace_back(path, std::string(text));
    };
    const std::string schedule_name = pair.schedule == "-" ? std::string("-") : displayed(pair.schedule);
    const fs::path shown_schedule = pair.schedule == "-" ? fs::path("(standard input)") : pair.schedule;
    const file_result read = read_instance_file(pair.instance, scratch);
    if (read.failed) {
        print_line(stderr, pair.instance, read.message.view());
        return;
    }
    std::string text;
    int error = 0;
    if (!read_whole_file(pair.schedule, text, error)) {
        print_line(stderr, shown_schedule,
                   message_text("Can't open the schedule file: ").append(std::strerror(error)).append(".").view());
        return;
    }
    schedule_file file;
    const read_failure failure = read_schedule(text, file);
    if (failure) {
        print_line(stderr, shown_schedule, describe(failure).view());
        return;
    }
    const activity_naming naming = read.layout != nullptr ? read.layout->naming : activity_naming{};
    const resource_labels labels = naming.word != nullptr && std::strcmp(naming.word, "job") == 0
                                       ? resource_labels::psplib
                                       : resource_labels::numbers;
    bool sound = true, feasible = true;
    schedule_report last;
    schedule plan;
    const std::size_t count = file.solutions.size();
    for (std::size_t index = 0; index < count; ++index) {
        const schedule_solution& solution = file.solutions[index];
        // Each line of a file of several solutions says which it is about.
        std::string prefix = count > 1 ? "solution " + std::to_string(index + 1) + ": " : std::string();
        read_failure why;
        if (!to_schedule(scratch, file, solution, plan, why)) {
            print_line(stderr, shown_schedule, prefix + std::string(describe(why).view()));
            return;
        }
        last = verify_schedule(scratch, plan, naming, labels, violation_limit);
        feasible = feasible && last.feasible;
        for (const schedule_violation& violation : last.violations)
            print_line(stderr, shown_schedule, prefix + std::string(violation.text.view()));
        if (last.violation_count > last.violations.size())
            print_line(
                stderr, shown_schedule,
                prefix + "... and " + std::to_string(last.violation_count - last.violations.size()) +
                    (last.violation_count - last.violations.size() == 1 ? " more violation" : " more violations"));
        if (solution.reported && *solution.reported != last.makespan) {
            print_line(stderr, shown_schedule,
                       prefix + "the solver reports the makespan " + number_text(*solution.reported) +
                           ", and the schedule ends at " + number_text(last.makespan));
            sound = false;
        }
    }
    const reference_value* reference = references.find(stem_of(pair.instance));
    const std::string reference_cell = reference != nullptr ? reference_text(*reference) : std::string();
    std::string gap_cell;
    if (reference != nullptr && count != 0 && feasible) {
        // The optimum when proven, else the lower bound: both are `lower`.
        const std::optional<std::int64_t>& bound = reference->lower;
        if (bound && *bound > 0) {
            char gap[32];
            std::snprintf(gap, sizeof gap, "%.2f",
                          100.0 * static_cast<double>(last.makespan - *bound) / static_cast<double>(*bound));
            gap_cell = gap;
        }
        if (reference->lower && last.makespan < *reference->lower) {
            print_line(stderr, shown_schedule,
                       "the makespan " + number_text(last.makespan) + " is below the reference's " +
                           (reference->proven() ? "optimum " : "lower bound ") + number_text(*reference->lower) +
                           ": the reference or the schedule is wrong");
            sound = false;
        }
    }
    if (!pair.drawing.empty() && count != 0) {
        const std::string name = name_of(pair.instance);
        std::string picture;
        draw_schedule(scratch, plan, last, naming, labels, {name, reference_cell, gap_cell}, picture);
        message_text why;
        if (pair.drawing == "-") {
            result.picture = std::move(picture);
        } else if (!write_text_file(pair.drawing, picture, why)) {
            print_line(stderr, pair.drawing, why.view());
            sound = false;
        }
    }
    std::string row;
    append_csv_field(row, displayed(pair.instance));
    row += ',';
    append_csv_field(row, schedule_name);
    row += ',' + std::to_string(count) + ',';
    if (count != 0) row += feasible ? "true" : "false";
    row += ',';
    if (count != 0) row += number_text(last.makespan);
    row += ',';
    if (count != 0 && file.solutions.back().reported) row += number_text(*file.solutions.back().reported);
    row += ',';
    row += file.optimal ? "true" : file.unsatisfiable ? "unsatisfiable" : "false";
    row += ',';
    row += reference_cell;
    row += ',';
    row += gap_cell;
    row += '\n';
    result.row = std::move(row);
    result.sound = sound && feasible;
}

// Gives each pair its picture's file in `directory`, made when missing: the
// schedule's file name without its extension (and compression suffix), or
// the whole name where two schedules would share one, and the instance's for
// standard input. False when the directory can't be made, said.
bool name_drawings(const fs::path& directory, std::vector<pairing>& pairs) {
    std::error_code error;
    fs::create_directories(system_path(directory), error);
    if (error || !fs::is_directory(system_path(directory), error)) {
        write_text(stderr, "converter-batch: Can't make the directory " + displayed(directory) + " for --draw: " +
                               (error ? error.message() : std::string("a file has its name")) + ".\n");
        return false;
    }
    const auto stem = [](const pairing& pair) {
        return pair.schedule == "-" ? stem_of(pair.instance) : stem_of(pair.schedule);
    };
    std::map<std::string, std::size_t> uses;
    for (const pairing& pair : pairs) ++uses[stem(pair)];
    for (pairing& pair : pairs) {
        std::string name = stem(pair);
        if (uses[name] > 1 && pair.schedule != "-") name = name_of(pair.schedule);
        pair.drawing = directory / fs::u8path(name + ".svg");
    }
    return true;
}

} // namespace

int run_verify(const options& request) {
    reference_table references;
    if (request.reference) {
        message_text why;
        std::string text;
        std::string set_name;
        if (*request.reference == "psplib") {
            text = std::string(builtin_references());
        } else {
            const fs::path table = path_from_argument(*request.reference);
            int error = 0;
            if (!read_whole_file(table, text, error)) {
                write_text(stderr, "converter-batch: Can't open the reference table " + displayed(table) + ": " +
                                       std::strerror(error) + ".\n");
                return 2;
            }
            // PSPLIB names its tables by the set: j30opt.sm, j60hrs.sm.
            const std::string name = name_of(table);
            std::size_t end = 0;
            while (end < name.size() && (std::isalpha(static_cast<unsigned char>(name[end])) != 0 || end == 0)) ++end;
            while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end])) != 0) ++end;
            set_name = name.substr(0, end);
        }
        if (!references.read(text, set_name, why)) {
            write_text(stderr, "converter-batch: the reference table " + *request.reference + ", " +
                                   std::string(why.view()) + ".\n");
            return 2;
        }
    }
    std::error_code error;
    const bool directories = fs::is_directory(system_path(request.inputs[0]), error);
    std::vector<pairing> pairs;
    if (directories) {
        if (!fs::is_directory(system_path(request.inputs[1]), error)) {
            write_text(stderr, "converter-batch: --verify of a directory of instances takes a directory of "
                               "schedules, not " +
                                   displayed(request.inputs[1]) + ".\n");
            return 2;
        }
        pairs = pair_directories(request);
    } else {
        pairs.push_back({request.inputs[0], request.inputs[1], {}});
    }
    const bool draws_to_output = request.draw && *request.draw == "-";
    if (draws_to_output && directories) {
        write_text(stderr, "converter-batch: --draw - draws one schedule on standard output; give a directory for "
                           "a set.\n");
        return 2;
    }
    if (request.draw && !draws_to_output && !name_drawings(*request.draw, pairs)) return 2;
    if (draws_to_output) pairs.front().drawing = "-";
    if (!draws_to_output)
        write_text(stdout, "instance,schedule,solutions,feasible,makespan,reported_makespan,optimal,reference,gap\n");
    // Jobs take the pairs in turn; their results are printed in pair order
    // as they come, a few hundred pairs ahead at most. As in a conversion
    // run, the printer looks every few milliseconds and prints what is ready,
    // and is woken by the last pair alone: a wake-up per pair would cost two
    // system calls.
    const clock_type::time_point start = clock_type::now();
    shared_state.total.store(pairs.size());
    shared_state.quiet.store(request.quiet);
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t jobs =
        std::max<std::size_t>(1, std::min<std::size_t>(request.jobs != 0 ? request.jobs : processors, pairs.size()));
    const std::size_t window = jobs * 64;
    struct slot {
        std::atomic<bool> ready{false};
        pair_result result;
    };
    std::vector<slot> slots(window);
    std::atomic<std::size_t> next{0}, printed{0}, waiting_for_room{0};
    std::atomic<bool> printer_waiting{false};
    std::mutex mutex;
    std::condition_variable result_ready, room_ready;
    const auto work = [&] {
        instance scratch;
        for (;;) {
            const std::size_t index = next.fetch_add(1);
            if (index >= pairs.size()) return;
            if (index >= printed.load() + window) {
                std::unique_lock<std::mutex> lock(mutex);
                // The printer may be asleep with every slot full: wake it.
                result_ready.notify_one();
                ++waiting_for_room;
                while (index >= printed.load() + window) room_ready.wait_for(lock, std::chrono::milliseconds(50));
                --waiting_for_room;
            }
            slot& target = slots[index % window];
            target.result = pair_result();
            try {
                verify_pair(pairs[index], references, scratch, target.result);
            } catch (const std::bad_alloc&) {
                target.result = pair_result();
                target.result.messages.emplace_back(pairs[index].schedule, "not enough memory to verify the schedule");
            }
            shared_state.finished.fetch_add(1);
            target.ready.store(true);
            if (index + 1 == pairs.size() && printer_waiting.load()) {
                std::lock_guard<std::mutex> lock(mutex);
                result_ready.notify_one();
            }
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t job = 0; job < jobs; ++job) workers.emplace_back(work);
    std::size_t verified = 0, failed = 0;
    progress_line progress(!request.quiet && !draws_to_output && standard_error_is_terminal(), pairs.size(), start,
                           "schedules");
    for (std::size_t index = 0; index < pairs.size(); ++index) {
        slot& ready = slots[index % window];
        if (!ready.ready.load()) {
            std::unique_lock<std::mutex> lock(mutex);
            printer_waiting.store(true);
            while (!ready.ready.load())
                if (result_ready.wait_for(lock, std::chrono::milliseconds(4)) == std::cv_status::timeout) {
                    lock.unlock();
                    progress.update(verified, failed);
                    lock.lock();
                }
            printer_waiting.store(false);
        }
        const pair_result result = std::move(ready.result);
        ready.ready.store(false);
        printed.store(index + 1);
        if (waiting_for_room.load() != 0) {
            std::lock_guard<std::mutex> lock(mutex);
            room_ready.notify_all();
        }
        if (!result.messages.empty()) progress.erase();
        for (const auto& [path, text] : result.messages) print_line(stderr, path, text);
        write_text(stdout, draws_to_output ? result.picture : result.row);
        ++verified;
        if (!result.sound) ++failed;
        progress.update(verified, failed);
    }
    progress.erase();
    for (std::thread& worker : workers) worker.join();
    if (!request.quiet)
        write_text(stderr, "converter-batch: " + std::to_string(verified) + " verified, " + std::to_string(failed) +
                               " with violations or findings, or unreadable\n");
    const bool written = flush_standard_output() && standard_output_error() == 0;
    return failed != 0 || !written ? 1 : 0;
}

} // namespace converter::batch
