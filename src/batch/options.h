// What the command line of converter-batch asks for.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "files/input_list.h"
#include "files/input_work.h"
#include "files/output_plan.h"

namespace converter::batch {

struct options {
    std::vector<std::filesystem::path> inputs; // "-" alone: standard input to standard output
    listing_options listing;
    plan_options plan;
    unsigned jobs = 0; // 0: one per processor
    bool check = false;
    bool stats = false;
    bool csv = false; // with check: the findings as a CSV table
    // --verify INSTANCE SCHEDULE (files, or directories paired by stem; the
    // schedule "-" for standard input), against --reference when given.
    bool verify = false;
    std::optional<std::string> reference;
    // --draw DIR: with --verify, each schedule drawn as DIR/<its stem>.svg
    // ("-": the one schedule's picture on standard output, in the table's place).
    std::optional<std::filesystem::path> draw;
    bool quiet = false;
    bool update = false;   // skip inputs whose output exists and is at least as new
    layout_choice layouts; // --from (none: each input's own) and --to (sch by default)
    // --bundle: every instance into this one JSON Lines file ("-": standard output).
    std::optional<std::filesystem::path> bundle;

    // Whether an output is written for each input.
    bool converts() const { return !check && !stats && !bundle && !verify; }
    bool standard_streams() const { return !verify && inputs.size() == 1 && inputs[0] == "-"; }
};

enum class parse_result {
    run,      // `parsed` holds a complete request
    finished, // --help or --version was printed on standard output
    usage_error,
};

// Parses the arguments (UTF-8 on Windows, see main.cpp) GNU style: short and long
// options, values attached or separate (`-j4`, `-j 4`, `--jobs=4`, `--jobs 4`),
// flags grouped (`-rq`), `--` ends the options. On a usage error puts its
// one-line description in `error`, in one voice for every option:
//   - an unknown option: `unknown option --chek (did you mean --check?)`, the
//     suggestion when a known long option is within two edits or starts with it;
//   - a missing or empty value (`--suffix=` takes nothing from the next
//     argument), a value attached with `=` to a short option (`-s=.x`), a
//     suffix holding a directory separator, a job count that is not a whole
//     number from 1 to 1024: `-j needs a number from 1 to 1024, not "abc".`;
//   - --from or --to naming no layout that can be read or written:
//     `--to needs a layout (rcp, sch or sm), not "xyz".`;
//   - options that would do nothing: -o, -s, -u or --to with --check,
//     --stats or --bundle, -o, -s or -u with -, --check, --stats and
//     --bundle with each other, --bundle with -;
//   - no INPUT, - beside other INPUTs, and a conversion without -o or -s.
// With --to and without -s, each output's extension becomes the layout's own.
// The caller prints it with the usage text.
parse_result parse_command_line(int argc, const char* const* argv, options& parsed, std::string& error);

// "Usage: converter-batch [OPTION]... INPUT..." and where to find more.
const char* usage_text();

} // namespace converter::batch
