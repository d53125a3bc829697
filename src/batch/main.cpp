// converter-batch: converts or checks whole sets of instance files in one run.
// The only part of it that decides the exit status.
#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "file_conversion.h"
#include "input_list.h"
#include "options.h"
#include "output_plan.h"
#include "run.h"
#include "text_output.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <pthread.h>
#include <thread>
#endif

namespace {

using namespace converter;
namespace fs = std::filesystem;

constexpr int usage_status = 2;

// An interrupt removes the temporary files of the conversions under way, then
// ends the program as the interrupt would have.
#ifdef _WIN32
BOOL WINAPI on_console_event(DWORD) {
    remove_temporary_files_for_exit();
    return FALSE; // the default handler ends the process
}
void handle_interrupts() { SetConsoleCtrlHandler(on_console_event, TRUE); }
#else
void handle_interrupts() {
    // Blocked here, before any thread starts, so that only the thread below takes
    // them, at a point where it may lock and remove files.
    // A signal ignored when the program started (nohup, a background job) stays so.
    static sigset_t signals;
    sigemptyset(&signals);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        if (sigaction(signal_number, nullptr, &action) == 0 && action.sa_handler != SIG_IGN)
            sigaddset(&signals, signal_number);
    }
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([] {
        int signal_number = 0;
        if (sigwait(&signals, &signal_number) != 0) return;
        remove_temporary_files_for_exit();
        std::signal(signal_number, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
        raise(signal_number);
    }).detach();
}
#endif

int refuse_plan(const std::vector<input_file>& inputs, const output_plan& plan) {
    for (const plan_conflict& conflict : plan.conflicts) {
        const std::string output = batch::displayed(conflict.output);
        const std::string first = batch::displayed(inputs[conflict.first].path);
        const std::string second = batch::displayed(inputs[conflict.second].path);
        if (conflict.what == plan_conflict::kind::same_output)
            std::fprintf(stderr, "converter-batch: %s and %s would both be written to %s\n", first.c_str(),
                         second.c_str(), output.c_str());
        else
            std::fprintf(stderr, "converter-batch: the output of %s would be written to %s, which is the input %s\n",
                         first.c_str(), output.c_str(), second.c_str());
    }
    std::fputs("converter-batch: nothing was written.\n", stderr);
    return usage_status;
}

int run(int argc, const char* const* argv) {
    batch::options request;
    std::string error;
    switch (batch::parse_command_line(argc, argv, request, error)) {
    case batch::parse_result::finished: return 0;
    case batch::parse_result::usage_error:
        std::fprintf(stderr, "converter-batch: %s\n%s", error.c_str(), batch::usage_text());
        return usage_status;
    case batch::parse_result::run: break;
    }
    handle_interrupts();
    if (request.standard_streams()) return batch::run_standard_streams(request);

    const std::vector<input_file> inputs = list_inputs(request.inputs, request.listing);
    if (inputs.empty()) {
        std::fputs("converter-batch: no input files found.\n", stderr);
        return usage_status;
    }
    const output_plan plan = request.converts() ? plan_outputs(inputs, request.plan) : output_plan{};
    if (!plan.conflicts.empty()) return refuse_plan(inputs, plan);
    return batch::run_files(request, inputs, plan);
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fputs("converter-batch: not enough memory.\n", stderr);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "converter-batch: %s\n", failure.what());
    }
    return 1;
}
