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
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
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
            batch::write_text(stderr, "converter-batch: " + first + " and " + second + " would both be written to " +
                                          output + "\n");
        else
            batch::write_text(stderr, "converter-batch: the output of " + first + " would be written to " + output +
                                          ", which is the input " + second + "\n");
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
        batch::write_text(stderr, "converter-batch: " + error + "\n" + batch::usage_text());
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
    try {
#ifdef _WIN32
        (void)argc;
        (void)argv;
        const std::vector<std::string> arguments = utf8_arguments();
        std::vector<const char*> pointers;
        for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
        pointers.push_back(nullptr);
        return run(static_cast<int>(arguments.size()), pointers.data());
#else
        return run(argc, argv);
#endif
    } catch (const std::bad_alloc&) {
        std::fputs("converter-batch: not enough memory.\n", stderr);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "converter-batch: %s\n", failure.what());
    }
    return 1;
}
