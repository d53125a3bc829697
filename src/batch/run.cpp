#include "run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "file_conversion.h"
#include "system_path.h"
#include "text_output.h"

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

using clock_type = std::chrono::steady_clock;

bool standard_error_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

struct totals {
    std::size_t done = 0, failed = 0, with_findings = 0;
    std::uint64_t bytes_in = 0, bytes_out = 0;
};

// The progress line, drawn on a terminal only, and erased before other output.
class progress_line {
public:
    progress_line(bool shown, std::size_t total) : shown_(shown), total_(total) {}

    void update(const totals& counts) {
        if (!shown_) return;
        const clock_type::time_point now = clock_type::now();
        if (drawn_length_ != 0 && now - last_drawn_ < std::chrono::milliseconds(100)) return;
        last_drawn_ = now;
        char line[96];
        const int length =
            std::snprintf(line, sizeof line, "\r%zu of %zu files, %zu failed", counts.done, total_, counts.failed);
        if (length <= 0) return;
        erase();
        std::fputs(line, stderr);
        std::fflush(stderr);
        drawn_length_ = static_cast<std::size_t>(length) - 1;
    }

    void erase() {
        if (drawn_length_ == 0) return;
        // Blanks rather than an escape sequence, which not every console knows.
        std::fputc('\r', stderr);
        for (std::size_t column = 0; column < drawn_length_; ++column) std::fputc(' ', stderr);
        std::fputc('\r', stderr);
        std::fflush(stderr);
        drawn_length_ = 0;
    }

private:
    bool shown_;
    std::size_t total_;
    std::size_t drawn_length_ = 0;
    clock_type::time_point last_drawn_;
};

void report(const fs::path& path, const file_result& result, bool request_stats, totals& counts) {
    ++counts.done;
    counts.bytes_in += result.bytes_in;
    counts.bytes_out += result.bytes_out;
    if (result.failed) {
        ++counts.failed;
        print_line(stderr, path, result.message.view());
        return;
    }
    if (request_stats) {
        std::string row = stats_csv_row(displayed(path), result.stats);
        row += '\n';
        write_text(stdout, row);
        return;
    }
    if (result.report.total == 0) return;
    ++counts.with_findings;
    for (const finding& item : result.report.findings) print_line(stdout, path, item.text.view());
    if (result.report.total > result.report.findings.size()) {
        message_text more("... and ");
        more.append_number(static_cast<std::int64_t>(result.report.total - result.report.findings.size()))
            .append(" more findings");
        print_line(stdout, path, more.view());
    }
    std::fflush(stdout);
}

void print_summary(const options& request, const totals& counts, clock_type::time_point start) {
    std::fflush(stdout); // rows and findings before the summary, on a console too
    if (request.quiet) return;
    const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    if (request.stats)
        std::fprintf(stderr, "converter-batch: %zu measured, %zu failed, %llu bytes in, %.2f s\n",
                     counts.done - counts.failed, counts.failed, static_cast<unsigned long long>(counts.bytes_in),
                     seconds);
    else if (request.check)
        std::fprintf(stderr, "converter-batch: %zu checked, %zu with findings, %zu failed, %llu bytes in, %.2f s\n",
                     counts.done - counts.failed, counts.with_findings, counts.failed,
                     static_cast<unsigned long long>(counts.bytes_in), seconds);
    else
        std::fprintf(stderr, "converter-batch: %zu converted, %zu failed, %llu bytes in, %llu bytes out, %.2f s\n",
                     counts.done - counts.failed, counts.failed, static_cast<unsigned long long>(counts.bytes_in),
                     static_cast<unsigned long long>(counts.bytes_out), seconds);
}

int exit_status(const totals& counts) { return counts.failed != 0 || counts.with_findings != 0 ? 1 : 0; }

// Creates every output directory once, before any worker starts; remembers those
// that could not be made, for their files to fail.
std::map<fs::path, std::error_code> make_output_directories(const output_plan& plan) {
    std::map<fs::path, std::error_code> failed;
    fs::path last;
    for (const fs::path& output : plan.outputs) {
        if (output.empty() || !output.has_parent_path() || output.parent_path() == last) continue;
        last = output.parent_path();
        std::error_code error;
        fs::create_directories(system_path(last), error);
        if (error) failed.emplace(last, error);
    }
    return failed;
}

file_result failure(const char* what, const std::error_code& error) {
    file_result result;
    result.failed = true;
    result.message = message_text(what).append(error.message()).append(".");
    return result;
}

} // namespace

int run_files(const options& request, const std::vector<input_file>& inputs, const output_plan& plan) {
    const clock_type::time_point start = clock_type::now();
    const std::map<fs::path, std::error_code> directory_errors =
        request.converts() ? make_output_directories(plan) : std::map<fs::path, std::error_code>{};

    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t jobs = std::min<std::size_t>(request.jobs != 0 ? request.jobs : processors, inputs.size());
    const std::size_t window = jobs * results_ahead_per_job;

    // Workers take files by an atomic counter and hand results over through
    // slots, one per file that may wait to be reported; the mutex is only taken
    // to sleep or to wake a sleeper, so converting small files costs no locking.
    // The reporter is not woken per result, which would cost two system calls
    // per small file: it looks every few milliseconds and reports what is ready,
    // and is woken only for the last file.
    struct slot {
        std::atomic<bool> ready{false};
        file_result result;
    };
    std::vector<slot> slots(window);
    std::atomic<std::size_t> next{0}, reported{0};
    std::atomic<bool> reporter_waiting{false};
    std::atomic<std::size_t> workers_waiting{0};
    std::mutex mutex;
    std::condition_variable result_ready, room_ready;

    const auto convert = [&](std::size_t index, instance& scratch) {
        const input_file& input = inputs[index];
        if (input.error)
            return failure(fs::is_directory(system_path(input.path)) ? "Can't read the directory: "
                                                                     : "Can't open the input file: ",
                           input.error);
        if (request.check) return check_file(input.path, scratch, finding_limit);
        if (request.stats) return measure_file(input.path, scratch);
        const fs::path& output = plan.outputs[index];
        const auto directory_error = directory_errors.find(output.parent_path());
        if (directory_error != directory_errors.end())
            return failure("Can't create the output directory: ", directory_error->second);
        return convert_file(input.path, output, scratch);
    };
    const auto work = [&] {
        instance scratch;
        for (;;) {
            const std::size_t index = next.fetch_add(1);
            if (index >= inputs.size()) return;
            if (index >= reported.load() + window) {
                std::unique_lock<std::mutex> lock(mutex);
                // The reporter may be asleep with every slot full: wake it.
                result_ready.notify_one();
                ++workers_waiting;
                room_ready.wait(lock, [&] { return index < reported.load() + window; });
                --workers_waiting;
            }
            slot& target = slots[index % window];
            target.result = convert(index, scratch);
            target.ready.store(true);
            if (index + 1 == inputs.size() && reporter_waiting.load()) {
                std::lock_guard<std::mutex> lock(mutex);
                result_ready.notify_one();
            }
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t job = 0; job < jobs; ++job) workers.emplace_back(work);

    if (request.stats) std::printf("%s\n", stats_csv_header());
    totals counts;
    progress_line progress(!request.quiet && standard_error_is_terminal(), inputs.size());
    progress.update(counts);
    for (std::size_t index = 0; index < inputs.size(); ++index) {
        slot& source = slots[index % window];
        if (!source.ready.load()) {
            std::unique_lock<std::mutex> lock(mutex);
            reporter_waiting.store(true);
            while (!source.ready.load())
                if (result_ready.wait_for(lock, std::chrono::milliseconds(4)) == std::cv_status::timeout) {
                    lock.unlock();
                    progress.update(counts);
                    lock.lock();
                }
            reporter_waiting.store(false);
        }
        const file_result result = std::move(source.result);
        source.ready.store(false);
        reported.store(index + 1);
        if (workers_waiting.load() != 0) {
            std::lock_guard<std::mutex> lock(mutex);
            room_ready.notify_all();
        }
        if (result.failed || result.report.total != 0) progress.erase();
        report(inputs[index].path, result, request.stats, counts);
        progress.update(counts);
    }
    for (std::thread& worker : workers) worker.join();
    progress.erase();
    print_summary(request, counts, start);
    return exit_status(counts);
}

int run_standard_streams(const options& request) {
    const clock_type::time_point start = clock_type::now();
    instance scratch;
    const file_result result = request.check   ? check_standard_input(scratch, finding_limit)
                               : request.stats ? measure_standard_input(scratch)
                                               : convert_standard_streams(scratch);
    if (request.stats) std::printf("%s\n", stats_csv_header());
    totals counts;
    // A row names it as given; a message or a finding names it in words.
    report(request.stats && !result.failed ? fs::path("-") : fs::path("(standard input)"), result, request.stats,
           counts);
    print_summary(request, counts, start);
    return exit_status(counts);
}

} // namespace converter::batch
