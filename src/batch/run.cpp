#include "batch/run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "batch/progress.h"
#include "batch/text_output.h"
#include "files/archive_reader.h"
#include "files/bundle_output.h"
#include "files/compressed_input.h"
#include "files/file_check.h"
#include "files/file_conversion.h"
#include "files/json_lines.h"
#include "files/system_path.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace converter::batch {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t finding_limit = 20;
constexpr std::size_t results_ahead_per_job = 64;

struct totals {
    std::size_t done = 0, failed = 0, skipped = 0;
    // Checked files by the gravest level of their findings.
    std::size_t invalid = 0, infeasible = 0, with_notes = 0;
    std::uint64_t bytes_in = 0, bytes_out = 0;
};

// Output directories that failed files, each reported once with its count.
class directory_causes {
public:
    void add(const fs::path& directory, bool creating, int error) {
        const auto [found, inserted] = index_.emplace(directory.native(), causes_.size());
        if (inserted) causes_.push_back({directory, creating, error, 0});
        ++causes_[found->second].files;
    }

    void report() const {
        for (const cause& item : causes_) {
            std::string line = item.creating ? "converter-batch: Can't create the output directory "
                                             : "converter-batch: Can't create files in the output directory ";
            line += displayed(item.directory);
            line += ": ";
            line += std::strerror(item.error);
            line += " (" + std::to_string(item.files) + (item.files == 1 ? " file" : " files") + " not converted).\n";
            write_text(stderr, line);
        }
    }

private:
    struct cause {
        fs::path directory;
        bool creating;
        int error;
        std::size_t files;
    };
    std::vector<cause> causes_;
    std::map<fs::path::string_type, std::size_t> index_;
};

// A directory that could not be created, and the topmost missing directory of
// its path, which is the one to name (`out` for out/a/b when out can't be made).
struct directory_failure {
    fs::path named;
    int error = 0;
};

// A check's findings, as lines "PATH: LEVEL: FINDING" or as CSV rows.
void report_findings(const fs::path& path, const file_result& result, bool csv, totals& counts) {
    const validation_report& findings = result.report;
    if (findings.count(finding_level::invalid) != 0)
        ++counts.invalid;
    else if (findings.count(finding_level::infeasible) != 0)
        ++counts.infeasible;
    else
        ++counts.with_notes;
    if (csv) {
        std::string rows;
        const std::string file = displayed(path);
        for (const finding& item : findings.findings) append_findings_csv_row(rows, file, item);
        write_text(stdout, rows);
    } else {
        std::string line;
        for (const finding& item : findings.findings) {
            line.assign(level_name(item.level)).append(": ").append(item.text.view());
            print_line(stdout, path, line);
        }
    }
    if (findings.total > findings.findings.size()) {
        message_text more("... and ");
        const std::size_t rest = findings.total - findings.findings.size();
        more.append_number(static_cast<std::int64_t>(rest)).append(rest == 1 ? " more finding" : " more findings");
        // In a table the count goes to standard error, which keeps the table whole.
        print_line(csv ? stderr : stdout, path, more.view());
    }
    flush_standard_output();
}

// `path` names the input in messages; `row_name`, when not empty, in a
// --stats row (a bundle line's held name).
void report(const fs::path& path, const file_result& result, const options& request, totals& counts,
            const std::string& row_name = {}) {
    const bool request_stats = request.stats;
    ++counts.done;
    counts.bytes_in += result.bytes_in;
    counts.bytes_out += result.bytes_out;
    if (result.failed) {
        ++counts.failed;
        print_line(stderr, path, result.message.view());
        return;
    }
    if (request_stats) {
        std::string row = stats_csv_row(row_name.empty() ? displayed(path) : row_name, result.stats);
        row += '\n';
        // Each row as soon as it and all before it are measured, so that a long
        // run can be watched and an interrupted one keeps what it measured.
        write_text(stdout, row);
        flush_standard_output();
        return;
    }
    if (result.report.total != 0) report_findings(path, result, request.csv, counts);
}

// Rows and findings go before the summary, on a console too; a failure to
// write them is the run's failure.
bool finish_standard_output() {
    if (!flush_standard_output() || standard_output_error() != 0) {
        std::string line = "converter-batch: Writing standard output failed: ";
        line += std::strerror(standard_output_error());
        line += ".\n";
        write_text(stderr, line);
        return false;
    }
    return true;
}

// "27097342 bytes in (27.1 MB)": the exact count for scripts, and from a
// megabyte on the size in readable units too.
std::string byte_count(std::uint64_t bytes, const char* way) {
    char text[80];
    const auto exact = static_cast<unsigned long long>(bytes);
    if (bytes < 1000000)
        std::snprintf(text, sizeof text, "%llu bytes %s", exact, way);
    else if (bytes < 1000000000)
        std::snprintf(text, sizeof text, "%llu bytes %s (%.1f MB)", exact, way, static_cast<double>(bytes) / 1e6);
    else
        std::snprintf(text, sizeof text, "%llu bytes %s (%.2f GB)", exact, way, static_cast<double>(bytes) / 1e9);
    return text;
}

void print_summary(const options& request, const totals& counts, clock_type::time_point start) {
    if (request.quiet) return;
    const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    const std::size_t succeeded = counts.done - counts.failed - counts.skipped;
    std::string line = "converter-batch: " + std::to_string(succeeded);
    if (request.stats) {
        line += " measured, ";
    } else if (request.check) {
        line += " checked: " + std::to_string(counts.invalid) + " invalid, " + std::to_string(counts.infeasible) +
                " infeasible, " + std::to_string(counts.with_notes) + " with notes, ";
    } else {
        line += " converted, ";
        if (request.update) line += std::to_string(counts.skipped) + " skipped, ";
    }
    line += std::to_string(counts.failed) + " failed, " + byte_count(counts.bytes_in, "in") + ", ";
    if (!request.stats && !request.check) line += byte_count(counts.bytes_out, "out") + ", ";
    char time[32];
    std::snprintf(time, sizeof time, "%.2f s\n", seconds);
    write_text(stderr, line + time);
}

int exit_status(const totals& counts, bool output_written) {
    return counts.failed != 0 || counts.invalid != 0 || counts.infeasible != 0 || !output_written ? 1 : 0;
}

// The topmost directory of `directory` that does not exist.
fs::path topmost_missing(const fs::path& directory) {
    fs::path missing = directory;
    for (fs::path parent = missing.parent_path(); !parent.empty() && parent != missing; parent = parent.parent_path()) {
        std::error_code error;
        if (fs::exists(system_path(parent), error) || error) break;
        missing = parent;
    }
    return missing;
}

bool is_below(const fs::path& directory, const fs::path& ancestor) {
    auto part = directory.begin();
    for (auto ancestor_part = ancestor.begin(); ancestor_part != ancestor.end(); ++ancestor_part, ++part)
        if (part == directory.end() || *part != *ancestor_part) return false;
    return true;
}

// Creates every output directory once, before any worker starts; remembers those
// that could not be made, for their files to fail. A directory below one that
// failed is not tried again: it shares that failure.
std::map<fs::path, directory_failure> make_output_directories(const output_plan& plan) {
    std::map<fs::path, directory_failure> failed;
    std::vector<directory_failure> roots;
    fs::path last;
    std::vector<fs::path> directories;
    for (const fs::path& output : plan.outputs) {
        if (output.empty() || !output.has_parent_path() || output.parent_path() == last) continue;
        last = output.parent_path();
        directories.push_back(last);
    }
    for (const fs::path& directory : plan.line_directories)
        if (!directory.empty()) directories.push_back(directory);
    last.clear();
    for (const fs::path& directory : directories) {
        if (directory == last) continue;
        last = directory;
        if (failed.count(last) != 0) continue;
        const auto root = std::find_if(roots.begin(), roots.end(),
                                       [&](const directory_failure& item) { return is_below(last, item.named); });
        if (root != roots.end()) {
            failed.emplace(last, *root);
            continue;
        }
        const fs::path missing = topmost_missing(last);
        std::error_code error;
        fs::create_directories(system_path(last), error);
        if (!error) continue;
        const directory_failure failure{missing, error.value()};
        roots.push_back(failure);
        failed.emplace(last, failure);
    }
    return failed;
}

// A file found in a directory beside the instances that no layout reads, as
// a README.txt beside j301_1.sm: its failure says how to leave such files out,
// by the extension of the set's first instance file.
std::string include_hint_for(const std::vector<input_file>& inputs) {
    for (const input_file& input : inputs) {
        if (input.found_in_directory && input.source.named_layout != nullptr)
            return " If it holds no instance, take only the instances with -i, as in -i '*" +
                   displayed(input.path.extension()) + "'.";
    }
    return {};
}

bool is_unnamed_non_instance(const input_file& input, const file_result& result) {
    return input.source.named_layout == nullptr && result.message.view().substr(0, 14) == "Invalid input ";
}

// One input of the run: a file, or a line of a JSON Lines file, taken in turn.
struct work_item {
    std::size_t entry = 0; // in the input list
    // number 0: the whole file; else a line of a JSON Lines file, or a member
    // of an archive (its entry's number, its bytes as the text).
    json_line line;
    std::string member; // an archive's member: its name in the archive
    // Set when the JSON Lines file can't be read further: the item is its failure.
    bool unreadable = false;
    message_text failure;
};

// Hands out the inputs in order, reading the lines of each JSON Lines file as
// their turn comes, so that no line waits in memory before a job takes it.
// Callers take `mutex` around take().
class work_source {
public:
    explicit work_source(const std::vector<input_file>& inputs) : inputs_(inputs) {}

    // The next item into `item`, its place in the run into `sequence`; false
    // when none is left. A JSON Lines file that can't be read further, memory
    // running out included, gives one item more: its failure.
    bool take(work_item& item, std::size_t& sequence) {
        while (entry_ < inputs_.size()) {
            const input_file& input = inputs_[entry_];
            item.entry = entry_;
            item.line.number = 0;
            item.unreadable = false;
            if (input.bundle == nullptr || input.error) {
                ++entry_;
                sequence = taken_++;
                return true;
            }
            if (input.bundle->archive) {
                if (take_member(input, item)) {
                    sequence = taken_++;
                    return true;
                }
                continue;
            }
            bool read = false, failed = false;
            try {
                if (!open_) {
                    reader_ = std::make_unique<json_lines_reader>();
                    int error = 0;
                    open_ = true;
                    if (!reader_->open(input.path, error)) {
                        finish_bundle();
                        item.unreadable = true;
                        item.failure =
                            message_text("Can't open the input file: ").append(std::strerror(error)).append(".");
                        sequence = taken_++;
                        return true;
                    }
                }
                read = reader_->next(item.line);
                if (!read) failed = reader_->failed(item.failure);
            } catch (const std::bad_alloc&) {
                failed = true;
                item.failure = message_text(out_of_memory_message);
            }
            if (read) {
                sequence = taken_++;
                return true;
            }
            finish_bundle();
            if (failed) {
                item.line.number = 0;
                item.unreadable = true;
                sequence = taken_++;
                return true;
            }
        }
        return false;
    }

    std::size_t taken() const { return taken_; }

private:
    // The next member of the archive `input` that its index lists into
    // `item`, or its failure; false once the archive is done, with the next
    // input then current.
    bool take_member(const input_file& input, work_item& item) {
        const bundle_index& index = *input.bundle;
        item.member.clear();
        try {
            if (!archive_) {
                archive_ = std::make_unique<archive_reader>();
                named_at_ = refused_at_ = 0;
                int error = 0;
                if (!archive_->open(input.path, archive_of(input.path), error)) {
                    finish_archive();
                    item.unreadable = true;
                    item.failure = message_text("Can't open the input file: ").append(std::strerror(error)).append(".");
                    return true;
                }
            }
            for (;;) {
                const bool named = named_at_ < index.named.size();
                const bool refused = refused_at_ < index.refused.size();
                // Past the last member listed the archive is still read to
                // its end, for a failure there to be reported.
                const std::uint64_t wanted =
                    !named && !refused ? 0
                    : !refused || (named && index.named[named_at_].number < index.refused[refused_at_])
                        ? index.named[named_at_].number
                        : index.refused[refused_at_];
                const bool with_bytes = archive_->next_number() == wanted;
                if (!archive_->next(member_, with_bytes)) {
                    if (!archive_->failed(item.failure)) break;
                    finish_archive();
                    item.line.number = 0; // the archive's failure, named by the archive
                    item.unreadable = true;
                    return true;
                }
                if (member_.number != wanted) continue;
                item.member = member_.name;
                item.line.number = member_.number;
                if (!member_.refused.view().empty()) {
                    ++refused_at_;
                    item.unreadable = true;
                    item.failure = member_.refused;
                    return true;
                }
                item.line.offset = 0;
                item.line.bytes = member_.size;
                item.line.text = std::move(member_.bytes);
                item.line.name.clear();
                item.line.relative = index.named[named_at_++].relative;
                return true;
            }
        } catch (const std::bad_alloc&) {
            finish_archive();
            item.line.number = 0;
            item.unreadable = true;
            item.failure = message_text(out_of_memory_message);
            return true;
        }
        finish_archive();
        return false;
    }

    void finish_archive() {
        archive_.reset();
        ++entry_;
    }

    void finish_bundle() {
        reader_.reset();
        open_ = false;
        ++entry_;
    }

    const std::vector<input_file>& inputs_;
    std::size_t entry_ = 0, taken_ = 0;
    std::unique_ptr<json_lines_reader> reader_;
    bool open_ = false;
    std::unique_ptr<archive_reader> archive_;
    archive_member member_;
    std::size_t named_at_ = 0, refused_at_ = 0;
};

bool every_output_is_current(const fs::path& input, const fs::path* outputs, const layout_choice& layouts) {
    for (std::size_t index = 0; index < layouts.written_count(); ++index)
        if (!output_is_current(input, outputs[index], layouts.written(index))) return false;
    return true;
}

file_result failure(const char* what, const std::error_code& error) {
    file_result result;
    result.failed = true;
    result.message = message_text(what).append(error.message()).append(".");
    return result;
}

} // namespace

void report_interrupt() {
    erase_progress();
    if (shared_state.quiet.load()) return;
    char line[160];
    std::snprintf(line, sizeof line,
                  "converter-batch: interrupted after %zu of %zu files; nothing half-written is left.\n",
                  shared_state.finished.load(), shared_state.total.load());
    write_text(stderr, line);
    std::fflush(stderr);
}

int run_files(const options& request, const std::vector<input_file>& inputs, const output_plan& plan) {
    const clock_type::time_point start = clock_type::now();
    // Every file, and every line of each JSON Lines file.
    std::size_t total = 0;
    for (const input_file& input : inputs)
        total += input.bundle != nullptr && !input.error ? static_cast<std::size_t>(input.bundle->instances) : 1;
    shared_state.total.store(total);
    shared_state.quiet.store(request.quiet);
    const std::map<fs::path, directory_failure> directory_errors =
        request.converts() ? make_output_directories(plan) : std::map<fs::path, directory_failure>{};
    bundle_output bundle;
    if (request.bundle) {
        message_text message;
        if (!bundle.open(*request.bundle, message)) {
            print_line(stderr, *request.bundle, message.view());
            return 1;
        }
    }
    bool bundle_written = true;

    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t jobs =
        std::max<std::size_t>(1, std::min<std::size_t>(request.jobs != 0 ? request.jobs : processors, total));
    const std::size_t window = jobs * results_ahead_per_job;

    // Workers take inputs in order from the source, under `taking` (a line of a
    // JSON Lines file is read there, in turn), and hand results over through
    // slots, one per input that may wait to be reported; the other mutex is
    // only taken to sleep or to wake a sleeper. The reporter is not woken per
    // result, which would cost two system calls per small file: it looks
    // every few milliseconds and reports what is ready, and is woken at the end.
    struct slot {
        std::atomic<bool> ready{false};
        file_result result;
        std::size_t entry = 0;
        std::uint64_t line = 0;
        std::string name;   // the name a bundle's line holds
        std::string member; // an archive member's name in the archive
    };
    std::vector<slot> slots(window);
    work_source items(inputs);
    std::mutex taking;
    std::atomic<std::size_t> reported{0}, taken_count{0};
    std::atomic<bool> reporter_waiting{false}, stopping{false}, exhausted{false};
    std::atomic<std::size_t> workers_waiting{0};
    std::mutex mutex;
    std::condition_variable result_ready, room_ready;

    const auto convert = [&](const work_item& item, instance& scratch) {
        const input_file& input = inputs[item.entry];
        if (item.unreadable) {
            file_result result;
            result.failed = true;
            result.message = item.failure;
            return result;
        }
        if (input.error && input.unmatched_wildcard) {
            file_result result;
            result.failed = true;
            result.message = message_text("No file matches this pattern.");
            return result;
        }
        if (input.error)
            return failure(fs::is_directory(system_path(input.path)) ? "Can't read the directory: "
                                                                     : "Can't open the input file: ",
                           input.error);
        // A line or a member is resolved as it comes, from what the index and
        // the reader give of it.
        std::optional<input_source> part_source;
        if (item.line.number != 0) {
            const input_part part{item.line.number, item.line.offset,   item.line.bytes,
                                  item.line.text,   item.line.relative, false};
            part_source = item.member.empty() ? line_source(input.path, part)
                                              : member_source(input.path, part, request.layouts.from);
        }
        const input_source& source = part_source ? *part_source : input.source;
        if (request.check) return check_file(source, scratch, finding_limit);
        if (request.bundle) {
            // A line of a bundle keeps the name it had, or gets the one it is listed by.
            const auto path = (item.line.number != 0 ? item.line.relative : input.path).generic_u8string();
            const std::string_view name =
                !item.line.name.empty() ? std::string_view(item.line.name)
                                        : std::string_view(reinterpret_cast<const char*>(path.data()), path.size());
            return bundle_file(source, scratch, name);
        }
        if (request.stats) return measure_file(source, scratch);
        std::vector<fs::path> line_paths;
        const fs::path* outputs = plan.outputs_of(item.entry);
        if (item.line.number != 0) {
            line_paths.resize(plan.per_input);
            line_outputs(input, item.line.relative, request.plan, line_paths.data());
            outputs = line_paths.data();
        }
        // Every output of one input is in the same directory.
        const auto directory_error = directory_errors.find(outputs[0].parent_path());
        if (directory_error != directory_errors.end()) {
            file_result result = failure("Can't create the output directory: ",
                                         std::error_code(directory_error->second.error, std::generic_category()));
            result.directory_error = directory_error->second.error;
            result.failed_directory = outputs[0].parent_path();
            return result;
        }
        if (request.update && every_output_is_current(input.path, outputs, request.layouts)) {
            file_result result;
            result.skipped = true;
            return result;
        }
        file_result result = convert_file(source, outputs, scratch, request.layouts);
        if (result.directory_error != 0) result.failed_directory = outputs[0].parent_path();
        return result;
    };
    const auto work = [&] {
        instance scratch;
        work_item item;
        for (;;) {
            std::size_t index = 0;
            {
                std::lock_guard<std::mutex> lock(taking);
                if (stopping.load()) return;
                if (!items.take(item, index)) {
                    // The count first: the reporter reads it once it sees the end.
                    taken_count.store(items.taken());
                    exhausted.store(true);
                    std::lock_guard<std::mutex> wake(mutex);
                    result_ready.notify_one();
                    return;
                }
            }
            if (index >= reported.load() + window) {
                std::unique_lock<std::mutex> lock(mutex);
                // The reporter may be asleep with every slot full: wake it.
                result_ready.notify_one();
                ++workers_waiting;
                room_ready.wait(lock, [&] { return index < reported.load() + window || stopping.load(); });
                --workers_waiting;
                if (stopping.load()) return;
            }
            slot& target = slots[index % window];
            target.result = convert(item, scratch);
            target.entry = item.entry;
            target.line = item.line.number;
            target.name = item.line.number != 0 ? item.line.name : std::string();
            target.member = item.line.number != 0 ? item.member : std::string();
            shared_state.finished.fetch_add(1);
            target.ready.store(true);
            if (exhausted.load() && reporter_waiting.load()) {
                std::lock_guard<std::mutex> lock(mutex);
                result_ready.notify_one();
            }
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t job = 0; job < jobs; ++job) workers.emplace_back(work);

    if (request.stats) write_text(stdout, std::string(stats_csv_header()) + "\n");
    if (request.csv) write_text(stdout, std::string(findings_csv_header()) + "\n");
    const std::string include_hint = request.listing.include.empty() ? include_hint_for(inputs) : std::string();
    totals counts;
    directory_causes causes;
    progress_line progress(!request.quiet && standard_error_is_terminal(), total, start, "files");
    progress.update(counts.done, counts.failed);
    const auto finished = [&](std::size_t index) { return exhausted.load() && index >= taken_count.load(); };
    for (std::size_t index = 0; standard_output_error() == 0 && bundle_written; ++index) {
        slot& ready_slot = slots[index % window];
        if (!ready_slot.ready.load()) {
            if (finished(index)) break;
            std::unique_lock<std::mutex> lock(mutex);
            reporter_waiting.store(true);
            while (!ready_slot.ready.load() && !finished(index))
                if (result_ready.wait_for(lock, std::chrono::milliseconds(4)) == std::cv_status::timeout) {
                    lock.unlock();
                    progress.update(counts.done, counts.failed);
                    lock.lock();
                }
            reporter_waiting.store(false);
            if (!ready_slot.ready.load()) break;
        }
        const file_result result = std::move(ready_slot.result);
        const input_file& input = inputs[ready_slot.entry];
        const std::uint64_t line = ready_slot.line;
        const std::string held_name = line != 0 ? std::move(ready_slot.name) : std::string();
        // A bundle's line is named by the name it holds too, when checked or measured.
        // An archive's member by its name within it: j30.sm.zip/j301_1.sm.
        fs::path shown = ready_slot.member.empty()
                             ? shown_path(input, line)
                             : fs::path(input.path) += fs::u8path("/" + ready_slot.member).native();
        if (!held_name.empty() && (request.check || request.stats))
            shown += fs::u8path(" (" + held_name + ")").native();
        ready_slot.ready.store(false);
        reported.store(index + 1);
        if (workers_waiting.load() != 0) {
            std::lock_guard<std::mutex> lock(mutex);
            room_ready.notify_all();
        }
        if (result.skipped) {
            ++counts.done;
            ++counts.skipped;
        } else if (result.failed && result.directory_error != 0) {
            ++counts.done;
            ++counts.failed;
            counts.bytes_in += result.bytes_in;
            const auto created = directory_errors.find(result.failed_directory);
            if (created != directory_errors.end())
                causes.add(created->second.named, true, result.directory_error);
            else
                causes.add(result.failed_directory, false, result.directory_error);
        } else {
            if (result.failed || result.report.total != 0 || request.stats) progress.erase();
            if (result.failed && line == 0 && input.found_in_directory && !include_hint.empty() &&
                is_unnamed_non_instance(input, result)) {
                file_result hinted = result;
                hinted.message.append(include_hint);
                report(shown, hinted, request, counts);
            } else {
                report(shown, result, request, counts, held_name);
            }
            if (request.bundle && !result.failed) bundle_written = bundle.append(result.bundle_line);
        }
        progress.update(counts.done, counts.failed);
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping.store(true);
        room_ready.notify_all();
    }
    for (std::thread& worker : workers) worker.join();
    progress.erase();
    causes.report();
    if (request.bundle) {
        // A bundle that could not be written whole is not left at all.
        message_text message;
        bundle_written = bundle.finish(message) && bundle_written;
        if (!bundle_written) print_line(stderr, *request.bundle, message.view());
        counts.bytes_out = bundle_written ? bundle.bytes() : 0;
    }
    const bool output_written = finish_standard_output();
    print_summary(request, counts, start);
    return exit_status(counts, output_written && bundle_written);
}

int run_standard_streams(const options& request) {
    const clock_type::time_point start = clock_type::now();
    shared_state.total.store(1);
    shared_state.quiet.store(request.quiet);
    instance scratch;
    const file_result result = request.check   ? check_standard_input(scratch, finding_limit, request.layouts.from)
                               : request.stats ? measure_standard_input(scratch, request.layouts.from)
                                               : convert_standard_streams(scratch, request.layouts);
    shared_state.finished.store(1);
    if (request.stats) write_text(stdout, std::string(stats_csv_header()) + "\n");
    if (request.csv) write_text(stdout, std::string(findings_csv_header()) + "\n");
    totals counts;
    if (result.output_error != 0) {
        note_write_failure(stdout, result.output_error);
        ++counts.done;
        ++counts.failed;
    } else {
        // A row names it as given; a message or a finding names it in words.
        report(request.stats && !result.failed ? fs::path("-") : fs::path("(standard input)"), result, request, counts);
    }
    const bool output_written = finish_standard_output();
    print_summary(request, counts, start);
    return exit_status(counts, output_written);
}

} // namespace converter::batch
