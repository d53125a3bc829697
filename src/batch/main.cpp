// converter-batch: converts or checks whole sets of instance files in one run.
// The only part of it that decides the exit status.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "batch/options.h"
#include "batch/run.h"
#include "batch/text_output.h"
#include "batch/verify.h"
#include "files/archive_inputs.h"
#include "files/compressed_input.h"
#include "files/file_access.h"
#include "files/file_identity.h"
#include "files/input_list.h"
#include "files/json_lines.h"
#include "files/output_plan.h"

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#else
#include <fcntl.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#endif

namespace {

using namespace converter;
namespace fs = std::filesystem;

constexpr int usage_status = 2;

constexpr std::size_t refusal_limit = 20;

// An interrupt removes the temporary files of the conversions under way, says
// what it left, then ends the program as the interrupt would have.
#ifdef _WIN32
BOOL WINAPI on_console_event(DWORD) {
    remove_temporary_files_for_exit();
    batch::report_interrupt();
    return FALSE; // the default handler ends the process
}
void handle_interrupts() { SetConsoleCtrlHandler(on_console_event, TRUE); }

// A reader of standard output or standard error that went away ends the run
// with the status it has on Linux, where SIGPIPE ends it: 128 + 13.
[[noreturn]] void on_closed_stream() {
    remove_temporary_files_for_exit();
    std::_Exit(141);
}
#else
bool pipe_signal_ignored = false;

// A reader of standard output or standard error that went away ends the run as
// SIGPIPE would have, once the temporary files are gone; the signal itself is
// ignored so that the write fails with EPIPE instead of killing the process
// at once.
[[noreturn]] void on_closed_stream() {
    remove_temporary_files_for_exit();
    if (!pipe_signal_ignored) {
        std::signal(SIGPIPE, SIG_DFL);
        raise(SIGPIPE);
    }
    std::_Exit(1);
}

// A standard descriptor that is closed gets a placeholder, so that no file this
// run opens takes its number: /dev/null opened read-only, so that writing to
// standard output still fails (EBADF) and is reported as such.
void hold_standard_descriptors() {
    for (int descriptor = 0; descriptor <= 2; ++descriptor)
        if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF) {
            const int placeholder = open("/dev/null", O_RDONLY);
            if (placeholder >= 0 && placeholder != descriptor) {
                dup2(placeholder, descriptor);
                close(placeholder);
            }
        }
}

void handle_interrupts() {
    struct sigaction pipe_action {};
    pipe_signal_ignored = sigaction(SIGPIPE, nullptr, &pipe_action) == 0 && pipe_action.sa_handler == SIG_IGN;
    std::signal(SIGPIPE, SIG_IGN);
    // A write beyond the file size limit fails with EFBIG, as a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    // Blocked here, before any thread starts, so that only the thread below takes
    // them, at a point where it may lock and remove files.
    // A signal ignored when the program started (nohup, a background job) stays so.
    static sigset_t signals;
    sigemptyset(&signals);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction action {};
        if (sigaction(signal_number, nullptr, &action) == 0 && action.sa_handler != SIG_IGN)
            sigaddset(&signals, signal_number);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([] {
        int signal_number = 0;
        if (sigwait(&signals, &signal_number) != 0) return;
        remove_temporary_files_for_exit();
        batch::report_interrupt();
        std::signal(signal_number, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
        raise(signal_number);
    }).detach();
}
#endif

int refuse_plan(const std::vector<input_file>& inputs, const output_plan& plan) {
    std::size_t shown = 0;
    for (const plan_conflict& conflict : plan.conflicts) {
        if (shown++ == refusal_limit) break;
        const std::string output = batch::displayed(conflict.output);
        const std::string first = batch::displayed(shown_path(inputs[conflict.first], conflict.first_line));
        const std::string second = batch::displayed(shown_path(inputs[conflict.second], conflict.second_line));
        const bool held_names = conflict.first_line != 0 && conflict.second_line != 0;
        if (conflict.what == plan_conflict::kind::same_output && held_names)
            batch::write_text(stderr, "converter-batch: " + first + " and " + second +
                                          " hold names that collide: both would be written to " + output + "\n");
        else if (conflict.what == plan_conflict::kind::same_output)
            batch::write_text(stderr, "converter-batch: " + first + " and " + second + " would both be written to " +
                                          output + "\n");
        else
            batch::write_text(stderr, "converter-batch: the output of " + first + " would be written to " + output +
                                          ", which is the input " + second + "\n");
    }
    if (plan.conflicts.size() > refusal_limit)
        batch::write_text(stderr, "converter-batch: ... and " + std::to_string(plan.conflicts.size() - refusal_limit) +
                                      " more conflicts\n");
    // The way out: inputs that differ only in their extension (a set held in
    // two layouts) are taken one layout at a time; an output that is an input
    // goes elsewhere.
    const plan_conflict& first = plan.conflicts.front();
    const input_source& one_source = inputs[first.first].source;
    const input_source& other_source = inputs[first.second].source;
    const fs::path& one = inputs[first.first].path;
    const fs::path& other = inputs[first.second].path;
    std::string way_out = "give -o DIR or another -s SUFFIX";
    if (first.what == plan_conflict::kind::same_output && first.first_line != 0 && first.second_line != 0)
        way_out = "give the instances of the lines distinct names";
    else if (first.what == plan_conflict::kind::same_output && one_source.compressed != other_source.compressed &&
             one_source.plain_name == other_source.plain_name)
        way_out = "take the compressed files or the others, as with -i '*" +
                  batch::displayed((one_source.compressed ? one : other).extension()) + "'";
    else if (first.what == plan_conflict::kind::same_output && one.stem() == other.stem() &&
             one.extension() != other.extension() && !one.extension().empty())
        way_out = "take one layout at a time, as with -i '*" + batch::displayed(one.extension()) + "'";
    batch::write_text(stderr, "converter-batch: nothing was written; " + way_out + ".\n");
    return usage_status;
}

// A line whose name can't be a file's is written under the name of a line
// without one; each such line is named, once.
void warn_unusable_names(const std::vector<input_file>& inputs) {
    for (const input_file& input : inputs) {
        if (input.bundle == nullptr) continue;
        for (const std::uint64_t line : input.bundle->unusable)
            batch::write_text(stderr, "converter-batch: " + batch::displayed(shown_path(input, line)) +
                                          ": the name it holds is no file name (a control character, a byte that "
                                          "is not UTF-8, or a hidden or empty last part); written as " +
                                          batch::displayed(unnamed_relative(input.path, line)) + " instead.\n");
    }
}

// A bundle that is, as a file, one of the inputs would replace it: refused
// before anything is read or written.
int refuse_bundle_over_input(const batch::options& request, const std::vector<input_file>& inputs) {
    if (!request.bundle || *request.bundle == "-") return 0;
    file_key bundle;
    if (!identify(*request.bundle, bundle)) return 0;
    for (const input_file& input : inputs) {
        file_key key;
        if (input.error || !identify(input.path, key) || !(key == bundle)) continue;
        batch::write_text(stderr, "converter-batch: the bundle would be written to " +
                                      batch::displayed(*request.bundle) + ", which is the input " +
                                      batch::displayed(input.path) + "\n");
        batch::write_text(stderr, "converter-batch: nothing was written; give --bundle another file.\n");
        return usage_status;
    }
    return 0;
}

// "no input files in instances/ (3 subdirectories not searched: use -r)."
int refuse_empty_list(const batch::options& request, const listing_summary& passed_over) {
    std::string line = "converter-batch: no input files in ";
    for (std::size_t index = 0; index < request.inputs.size(); ++index) {
        if (index != 0) line += index + 1 == request.inputs.size() ? " and " : ", ";
        line += batch::displayed(request.inputs[index]);
    }
    std::string reasons;
    if (passed_over.subdirectories_skipped != 0)
        reasons += std::to_string(passed_over.subdirectories_skipped) +
                   (passed_over.subdirectories_skipped == 1 ? " subdirectory" : " subdirectories") +
                   " not searched: use -r";
    if (passed_over.files_not_included != 0) {
        if (!reasons.empty()) reasons += "; ";
        reasons += std::to_string(passed_over.files_not_included) +
                   (passed_over.files_not_included == 1 ? " file does" : " files do") + " not match -i";
    }
    if (passed_over.other_files != 0) {
        if (!reasons.empty()) reasons += "; ";
        reasons += std::to_string(passed_over.other_files) +
                   (passed_over.other_files == 1 ? " file is" : " files are") +
                   " of a kind that holds no instance (.md, .mzn, ...): name it, or give -i";
    }
    if (!reasons.empty()) line += " (" + reasons + ")";
    batch::write_text(stderr, line + ".\n");
    return usage_status;
}

int run(int argc, const char* const* argv) {
    batch::options request;
    std::string error;
    switch (batch::parse_command_line(argc, argv, request, error)) {
    case batch::parse_result::finished: return 0;
    case batch::parse_result::usage_error:
        batch::write_text(stderr, "converter-batch: " + error + "\n" + batch::usage_text());
        return usage_status;
    case batch::parse_result::run: break;
    }
    handle_interrupts();
    if (request.verify) return batch::run_verify(request);
    if (request.standard_streams()) return batch::run_standard_streams(request);

    if (request.converts()) request.listing.excluded_directory = request.plan.output_directory;
    listing_summary passed_over;
    std::vector<input_file> inputs = list_inputs(request.inputs, request.listing, &passed_over);
    if (inputs.empty()) return refuse_empty_list(request, passed_over);
    if (request.inputs.size() > 1) drop_repeated_files(inputs);
    if (const int refused = refuse_bundle_over_input(request, inputs)) return refused;
    index_json_lines(inputs);
    index_archives(inputs, request.listing, passed_over);
    if (request.converts() && !request.quiet) warn_unusable_names(inputs);
    if (request.converts()) drop_own_outputs(inputs, request.plan);
    const output_plan plan = request.converts() ? plan_outputs(inputs, request.plan) : output_plan{};
    if (!plan.conflicts.empty()) return refuse_plan(inputs, plan);
    return batch::run_files(request, inputs, plan);
}

// Standard output is closed at the end, so that a failure of its last write
// (which some file systems report only then) is not lost.
int finish(int status) {
    errno = 0;
    if (std::fclose(stdout) != 0 && batch::standard_output_error() == 0) {
        const int error = errno != 0 ? errno : EIO;
        if (error == EPIPE) on_closed_stream();
        std::fprintf(stderr, "converter-batch: Writing standard output failed: %s.\n", std::strerror(error));
        return status == 0 ? 1 : status;
    }
    return status;
}

#ifdef _WIN32
// Windows gives a program its arguments as UTF-16; main's argv would hold them
// in the ANSI code page, losing every character outside it. They are handed on
// as UTF-8, and paths are made from them as such.
std::vector<std::string> utf8_arguments() {
    int count = 0;
    wchar_t** const wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int index = 0; wide != nullptr && index < count; ++index) {
        const int length = WideCharToMultiByte(CP_UTF8, 0, wide[index], -1, nullptr, 0, nullptr, nullptr);
        std::string argument(length > 0 ? static_cast<std::size_t>(length - 1) : 0, '\0');
        if (length > 1) WideCharToMultiByte(CP_UTF8, 0, wide[index], -1, argument.data(), length, nullptr, nullptr);
        arguments.push_back(std::move(argument));
    }
    LocalFree(wide);
    return arguments;
}
#endif

} // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
    hold_standard_descriptors();
#endif
    batch::set_closed_stream_handler(on_closed_stream);
    try {
#ifdef _WIN32
        (void)argc;
        (void)argv;
        const std::vector<std::string> arguments = utf8_arguments();
        std::vector<const char*> pointers;
        for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
        pointers.push_back(nullptr);
        return finish(run(static_cast<int>(arguments.size()), pointers.data()));
#else
        return finish(run(argc, argv));
#endif
    } catch (const std::bad_alloc&) {
        std::fputs("converter-batch: not enough memory.\n", stderr);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "converter-batch: %s\n", failure.what());
    }
    return 1;
}
