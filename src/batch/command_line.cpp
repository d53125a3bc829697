// The command line, parsed with CLI11.
#include <CLI/CLI.hpp>

#include "options.h"
#include "text_output.h"

#ifndef CONVERTER_VERSION
#define CONVERTER_VERSION "unknown"
#endif

namespace converter::batch {

const char* usage_text() {
    return "Usage: converter-batch [OPTION]... INPUT...\n"
           "Try 'converter-batch --help' for more information.\n";
}

parse_result parse_command_line(int argc, const char* const* argv, options& parsed, std::string& error) {
    CLI::App app("Converts project-scheduling instances from the whitespace-separated integer layout to the "
                 "tab-separated layout, whole sets at once. An INPUT is an instance file or a directory of them; "
                 "- alone reads standard input and writes standard output.",
                 "converter-batch");
    app.get_formatter()->column_width(30);
    // "/dir/file" is a path, on Windows too.
    app.allow_windows_style_options(false);
    std::vector<std::string> inputs, include;
    std::string output_directory, suffix;
    app.add_option("-o,--output-dir", output_directory,
                   "write each output into DIR (created if missing) under its input's name")
        ->type_name("DIR");
    app.add_option("-s,--suffix", suffix, "replace each input's extension with SUFFIX in its output's name")
        ->type_name("SUFFIX");
    app.add_flag("-r,--recursive", parsed.listing.recursive, "take whole directory trees, kept under DIR");
    app.add_option("-i,--include", include, "take only files found in directories that match PATTERN (repeatable)")
        ->type_name("PATTERN")
        ->allow_extra_args(false);
    app.add_option("-j,--jobs", parsed.jobs, "convert N files at once (default: one per processor)")->type_name("N");
    app.add_flag("--check", parsed.check, "read and validate every input, write nothing");
    app.add_flag("--stats", parsed.stats,
                 "read every input and write a CSV table of its measures on standard output, nothing else");
    app.add_flag("-q,--quiet", parsed.quiet, "print only failures (and findings)");
    app.set_version_flag("--version", "converter-batch " CONVERTER_VERSION);
    app.add_option("INPUT", inputs, "instance files and directories")->type_name("");
    app.footer("Without -o, outputs go beside their inputs and -s is required. Exit status: 0 when every file "
               "converted (or checked without findings), 1 when any failed (or had findings), 2 for a usage error "
               "or a refused plan.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return parse_result::finished;
    } catch (const CLI::CallForVersion&) {
        std::puts("converter-batch " CONVERTER_VERSION);
        return parse_result::finished;
    } catch (const CLI::ParseError& failure) {
        error = failure.what();
        return parse_result::usage_error;
    }

    for (const std::string& input : inputs) parsed.inputs.push_back(path_from_argument(input));
    for (const std::string& pattern : include) parsed.listing.include.push_back(path_from_argument(pattern));
    if (app.count("--output-dir") != 0) parsed.plan.output_directory = path_from_argument(output_directory);
    if (app.count("--suffix") != 0) parsed.plan.suffix = path_from_argument(suffix);

    if (app.count("--jobs") != 0 && (parsed.jobs < 1 || parsed.jobs > 1024)) {
        error = "--jobs: N must be a number from 1 to 1024";
        return parse_result::usage_error;
    }
    if (parsed.inputs.empty()) {
        error = "missing INPUT";
        return parse_result::usage_error;
    }
    if (parsed.inputs.size() > 1)
        for (const auto& input : parsed.inputs)
            if (input == "-") {
                error = "- (standard input) must be the only INPUT";
                return parse_result::usage_error;
            }
    if (parsed.check && parsed.stats) {
        error = "--check and --stats can't be combined";
        return parse_result::usage_error;
    }
    if (parsed.converts() && !parsed.standard_streams() && !parsed.plan.output_directory && !parsed.plan.suffix) {
        error = "give -o DIR or -s SUFFIX: without -o, outputs go beside their inputs and need a suffix";
        return parse_result::usage_error;
    }
    return parse_result::run;
}

} // namespace converter::batch
