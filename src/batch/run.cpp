#include "run.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "file_conversion.h"
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
constexpr std::size_t results_ahead_per_job = 16;

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

void report(const fs::path& path, const file_result& result, totals& counts) {
    ++counts.done;
    counts.bytes_in += result.bytes_in;
    counts.bytes_out += result.bytes_out;
    if (result.failed) {
        ++counts.failed;
        print_line(stderr, path, result.message.view());
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
    if (request.quiet) return;
    const double seconds = std::chrono::duration<double>(clock_type::now() - start).count();
    if (request.check)
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
        fs::create_directories(last, error);
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
        request.check ? std::map<fs::path, std::error_code>{} : make_output_directories(plan);

    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t jobs = std::min<std::size_t>(request.jobs != 0 ? request.jobs : processors, inputs.size());
    const std::size_t window = jobs * results_ahead_per_job;

    std::mutex mutex;
    std::condition_variable result_ready, room_ready;
    std::vector<std::optional<file_result>> results(window);
    std::size_t next = 0, reported = 0;
    bool reporter_waiting = false;

    const auto work = [&] {
        instance scratch;
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            room_ready.wait(lock, [&] { return next == inputs.size() || next < reported + window; });
            if (next == inputs.size()) return;
            const std::size_t index = next++;
            lock.unlock();
            const input_file& input = inputs[index];
            file_result result;
            if (input.error) {
                result =
                    failure(fs::is_directory(input.path) ? "Can't read the directory: " : "Can't open the input file: ",
                            input.error);
            } else if (request.check) {
                result = check_file(input.path, scratch, finding_limit);
            } else {
                const fs::path& output = plan.outputs[index];
                const auto directory_error = directory_errors.find(output.parent_path());
                result = directory_error != directory_errors.end()
                             ? failure("Can't create the output directory: ", directory_error->second)
                             : convert_file(input.path, output, scratch);
            }
            lock.lock();
            results[index % window] = std::move(result);
            if (index == reported && reporter_waiting) result_ready.notify_one();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t job = 0; job < jobs; ++job) workers.emplace_back(work);

    totals counts;
    progress_line progress(!request.quiet && standard_error_is_terminal(), inputs.size());
    progress.update(counts);
    while (reported < inputs.size()) {
        std::optional<file_result> result;
        {
            std::unique_lock<std::mutex> lock(mutex);
            while (!results[reported % window]) {
                reporter_waiting = true;
                const std::cv_status waited = result_ready.wait_for(lock, std::chrono::milliseconds(100));
                reporter_waiting = false;
                if (waited == std::cv_status::timeout) {
                    lock.unlock();
                    progress.update(counts);
                    lock.lock();
                }
            }
            result = std::move(results[reported % window]);
            results[reported % window].reset();
        }
        if (result->failed || result->report.total != 0) progress.erase();
        report(inputs[reported].path, *result, counts);
        bool workers_waiting = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++reported;
            workers_waiting = next < inputs.size() && next + 1 == reported + window;
        }
        if (workers_waiting) room_ready.notify_all();
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
    const file_result result =
        request.check ? check_standard_input(scratch, finding_limit) : convert_standard_streams(scratch);
    totals counts;
    report("(standard input)", result, counts);
    print_summary(request, counts, start);
    return exit_status(counts);
}

} // namespace converter::batch
