// What the command line of converter-batch asks for.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "input_list.h"
#include "output_plan.h"

namespace converter::batch {

struct options {
    std::vector<std::filesystem::path> inputs; // "-" alone: standard input to standard output
    listing_options listing;
    plan_options plan;
    unsigned jobs = 0; // 0: one per processor
    bool check = false;
    bool stats = false;
    bool quiet = false;

    // Whether outputs are written at all.
    bool converts() const { return !check && !stats; }
    bool standard_streams() const { return inputs.size() == 1 && inputs[0] == "-"; }
};

enum class parse_result {
    run,      // `parsed` holds a complete request
    finished, // --help or --version was printed on standard output
    usage_error,
};

// Parses the arguments (UTF-8 on Windows, see main.cpp) GNU style: short and long options, values attached or
// separate (`-j4`, `-j 4`, `--jobs=4`, `--jobs 4`), flags grouped (`-rq`), `--`
// ends the options. On a usage error puts its one-line description in `error`
// (for example "missing INPUT"); the caller prints it with the usage text.
parse_result parse_command_line(int argc, const char* const* argv, options& parsed, std::string& error);

// "Usage: converter-batch [OPTION]... INPUT..." and where to find more.
const char* usage_text();

} // namespace converter::batch
