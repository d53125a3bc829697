// The command line, parsed with CLI11. A first pass over the arguments checks
// what CLI11 takes differently from GNU tools (`--suffix=` would take the next
// argument as its value, `-s=.x` would give the value "=.x") and words every
// error about an option in one voice, with a suggestion for a mistyped one.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "batch/options.h"
#include "batch/text_output.h"
#include "layouts/formats.h"

#ifndef CONVERTER_VERSION
#define CONVERTER_VERSION "unknown"
#endif

namespace converter::batch {
namespace {

struct option_spec {
    char short_name; // 0: none
    const char* long_name;
    const char* value; // what its value is, for messages; nullptr for a flag
};

constexpr option_spec known_options[] = {
    {'o', "output-dir", "a directory"},
    {'s', "suffix", "a suffix"},
    {'r', "recursive", nullptr},
    {'i', "include", "a pattern"},
    {'j', "jobs", "a number from 1 to 1024"},
    {0, "from", "a layout"},
    {0, "to", "a layout"},
    {'u', "update", nullptr},
    {0, "check", nullptr},
    {0, "stats", nullptr},
    {0, "csv", nullptr},
    {0, "verify", nullptr},
    {0, "reference", "a table"},
    {0, "draw", "a directory"},
    {0, "bundle", "a file"},
    {'q', "quiet", nullptr},
    {'h', "help", nullptr},
    {0, "version", nullptr},
};

// "rcp, sch or sm": the layouts that can be read (or written).
std::string layout_names(bool written) {
    std::vector<std::string> names;
    for (const layout_format* format = formats_begin(); format != formats_end(); ++format)
        if (written ? format->write != nullptr : format->read != nullptr) names.emplace_back(format->name);
    std::string text;
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (index != 0) text += index + 1 == names.size() ? " or " : ", ";
        text += names[index];
    }
    return text;
}

const option_spec* find_long(std::string_view name) {
    for (const option_spec& option : known_options)
        if (name == option.long_name) return &option;
    return nullptr;
}

const option_spec* find_short(char name) {
    for (const option_spec& option : known_options)
        if (option.short_name != 0 && name == option.short_name) return &option;
    return nullptr;
}

// Edits (insertions, deletions, substitutions, swaps of neighbours) from one to the other.
std::size_t edit_distance(std::string_view from, std::string_view to) {
    std::vector<std::vector<std::size_t>> distance(from.size() + 1, std::vector<std::size_t>(to.size() + 1));
    for (std::size_t i = 0; i <= from.size(); ++i) distance[i][0] = i;
    for (std::size_t j = 0; j <= to.size(); ++j) distance[0][j] = j;
    for (std::size_t i = 1; i <= from.size(); ++i)
        for (std::size_t j = 1; j <= to.size(); ++j) {
            const std::size_t substitution = distance[i - 1][j - 1] + (from[i - 1] == to[j - 1] ? 0 : 1);
            distance[i][j] = std::min({distance[i - 1][j] + 1, distance[i][j - 1] + 1, substitution});
            if (i > 1 && j > 1 && from[i - 1] == to[j - 2] && from[i - 2] == to[j - 1])
                distance[i][j] = std::min(distance[i][j], distance[i - 2][j - 2] + 1);
        }
    return distance[from.size()][to.size()];
}

std::string unknown_long_option(std::string_view name) {
    std::string error = "unknown option --" + std::string(name);
    const option_spec* nearest = nullptr;
    std::size_t nearest_distance = 3;
    for (const option_spec& option : known_options) {
        const std::string_view known = option.long_name;
        const std::size_t distance =
            !name.empty() && known.substr(0, name.size()) == name ? 1 : edit_distance(name, known);
        if (distance < nearest_distance) {
            nearest = &option;
            nearest_distance = distance;
        }
    }
    if (nearest != nullptr) error += " (did you mean --" + std::string(nearest->long_name) + "?)";
    return error;
}

std::string needs(std::string_view written, const option_spec& option, std::string_view value,
                  std::string_view advice = {}) {
    std::string error = std::string(written) + " needs " + option.value + ", not \"" + std::string(value) + "\"";
    if (!advice.empty()) error += " (" + std::string(advice) + ")";
    return error + ".";
}

bool has_directory_separator(std::string_view text) {
#ifdef _WIN32
    return text.find_first_of("/\\") != std::string_view::npos;
#else
    return text.find('/') != std::string_view::npos;
#endif
}

// A job count is written as plain decimal digits.
bool parse_jobs(std::string_view text, unsigned& jobs) {
    if (text.empty() || text.size() > 4) return false;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < 1 || value > 1024) return false;
    jobs = value;
    return true;
}

// --from's layout, or --to's list of layouts (`dzn,json`), each named once.
bool parse_layouts(std::string_view written, std::string_view value, bool to, layout_choice& layouts,
                   std::string& error) {
    std::vector<const layout_format*> named;
    for (std::size_t start = 0;;) {
        const std::size_t comma = to ? value.find(',', start) : std::string_view::npos;
        const std::string_view name = value.substr(start, comma == std::string_view::npos ? comma : comma - start);
        const layout_format* format = find_format(name);
        if (format == nullptr || (to ? format->write == nullptr : format->read == nullptr)) {
            error =
                std::string(written) + " needs a layout (" + layout_names(to) + "), not \"" + std::string(name) + "\".";
            if (to && name.empty()) error += " Name several layouts with commas between: --to dzn,json.";
            return false;
        }
        if (std::find(named.begin(), named.end(), format) != named.end()) {
            error = std::string(written) + " names the " + format->name + " layout twice.";
            return false;
        }
        named.push_back(format);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    if (!to) {
        layouts.from = named.front();
        return true;
    }
    layouts.to = named.front();
    layouts.also_to.assign(named.begin() + 1, named.end());
    return true;
}

// Checks one option's value as written after `written` (`-s`, `--suffix`).
bool check_value(std::string_view written, const option_spec& option, std::string_view value, options& parsed,
                 std::string& error) {
    if (value.empty()) {
        error = needs(written, option, value);
        return false;
    }
    if (option.short_name == 's' && has_directory_separator(value)) {
        error =
            std::string(written) + " needs a suffix without a directory separator, not \"" + std::string(value) + "\".";
        return false;
    }
    if (option.short_name == 'j' && !parse_jobs(value, parsed.jobs)) {
        error = needs(written, option, value);
        return false;
    }
    const std::string_view name = option.long_name;
    if (name == "from") return parse_layouts(written, value, false, parsed.layouts, error);
    if (name == "to") return parse_layouts(written, value, true, parsed.layouts, error);
    return true;
}

// The first pass: every option known, every value present and well formed.
bool check_arguments(int argc, const char* const* argv, options& parsed, std::string& error) {
    // The value each option was first given: all but -i take one.
    const char* given[sizeof known_options / sizeof known_options[0]] = {};
    const auto once = [&given, &error](const std::string& written, const option_spec& option, std::string_view value) {
        const char*& first = given[&option - known_options];
        if (first == nullptr || option.short_name == 'i') {
            first = value.data();
            return true;
        }
        error = written + " can be given once; it was given \"" + std::string(first) + "\", then \"" +
                std::string(value) + "\".";
        if (std::string_view(option.long_name) == "to")
            error += " To write several layouts, name them in one: --to " + std::string(first) + "," +
                     std::string(value) + ".";
        return false;
    };
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (argument == "--") return true;
        if (argument.size() < 2 || argument[0] != '-') continue;
        if (argument[1] == '-') {
            const std::size_t equals = argument.find('=');
            const std::string_view name = argument.substr(2, equals == std::string_view::npos ? equals : equals - 2);
            const option_spec* option = find_long(name);
            const std::string written = "--" + std::string(name);
            if (option == nullptr) {
                error = unknown_long_option(name);
                return false;
            }
            if (option->value == nullptr) {
                if (equals != std::string_view::npos) {
                    error = written + " takes no value, not \"" + std::string(argument.substr(equals + 1)) + "\".";
                    return false;
                }
                continue;
            }
            if (equals == std::string_view::npos && index + 1 == argc) {
                error = written + " needs " + option->value + ".";
                return false;
            }
            const std::string_view value =
                equals != std::string_view::npos ? argument.substr(equals + 1) : std::string_view(argv[++index]);
            if (!check_value(written, *option, value, parsed, error) || !once(written, *option, value)) return false;
            continue;
        }
        for (std::size_t position = 1; position < argument.size(); ++position) {
            const option_spec* option = find_short(argument[position]);
            const std::string written = "-" + std::string(1, argument[position]);
            if (option == nullptr) {
                error = "unknown option " + written;
                return false;
            }
            if (option->value == nullptr) continue;
            std::string_view value = argument.substr(position + 1);
            if (!value.empty() && value[0] == '=') {
                const std::string plain(value.substr(1));
                error = needs(written, *option, value,
                              "write " + written + " " + plain + " or --" + option->long_name + "=" + plain);
                return false;
            }
            if (value.empty()) {
                if (index + 1 == argc) {
                    error = written + " needs " + option->value + ".";
                    return false;
                }
                value = argv[++index];
            }
            if (!check_value(written, *option, value, parsed, error) || !once(written, *option, value)) return false;
            break;
        }
    }
    return true;
}

// Options given that the request makes pointless.
bool check_combination(const CLI::App& app, const options& parsed, std::string& error) {
    const bool output_dir = app.count("--output-dir") != 0, suffix = app.count("--suffix") != 0;
    if (static_cast<int>(parsed.check) + static_cast<int>(parsed.stats) + static_cast<int>(parsed.bundle.has_value()) >
        1) {
        error = parsed.bundle ? std::string(parsed.check ? "--check" : "--stats") + " and --bundle can't be combined"
                              : "--check and --stats can't be combined";
        return false;
    }
    const bool to = app.count("--to") != 0;
    if (!parsed.converts()) {
        const char* mode = parsed.check ? "--check" : parsed.stats ? "--stats" : "--bundle";
        const char* given = output_dir ? "-o" : suffix ? "-s" : parsed.update ? "-u" : to ? "--to" : nullptr;
        if (given != nullptr) {
            error = std::string(given) + " does nothing with " + mode +
                    (parsed.bundle ? ", which writes one JSON Lines file" : ", which writes no output files");
            return false;
        }
    }
    if (parsed.csv && !parsed.check) {
        error = "--csv goes with --check (--stats writes its CSV table without it)";
        return false;
    }
    if (parsed.bundle && parsed.standard_streams()) {
        error = "--bundle takes files and directories; for standard input, write --to json -";
        return false;
    }
    if (parsed.standard_streams()) {
        const char* given = output_dir ? "-o" : suffix ? "-s" : parsed.update ? "-u" : nullptr;
        if (given != nullptr) {
            error = std::string(given) + " does nothing with -, which writes to standard output";
            return false;
        }
    }
    const std::size_t written = parsed.layouts.written_count();
    if (written > 1 && parsed.standard_streams()) {
        error = "--to names " + std::to_string(written) +
                " layouts, and - writes one to standard output: name one, or convert files";
        return false;
    }
    if (written > 1 && suffix) {
        error = "-s gives one suffix, and --to names " + std::to_string(written) +
                " layouts: leave -s out, and each output takes its layout's extension";
        return false;
    }
    if (parsed.converts() && !parsed.standard_streams() && !output_dir && !suffix && !to) {
        error = "give -o DIR, -s SUFFIX or --to LAYOUT: without -o, outputs go beside their inputs and need a suffix";
        return false;
    }
    return true;
}

} // namespace

const char* usage_text() {
    return "Usage: converter-batch [OPTION]... INPUT...\n"
           "Try 'converter-batch --help' for more information.\n";
}

parse_result parse_command_line(int argc, const char* const* argv, options& parsed, std::string& error) {
    if (!check_arguments(argc, argv, parsed, error)) return parse_result::usage_error;

    CLI::App app("Converts, checks and measures project-scheduling (RCPSP) instances, whole sets at once, in seven "
                 "layouts (below); without --to, into the tab-separated layout converter writes. An INPUT is an "
                 "instance file or a directory of them; - alone reads standard input and writes standard output.",
                 "converter-batch");
    app.get_formatter()->column_width(30);
    // "/dir/file" is a path, on Windows too.
    app.allow_windows_style_options(false);
    std::vector<std::string> inputs, include;
    std::string output_directory, suffix, jobs;
    app.add_option("-o,--output-dir", output_directory,
                   "write each output into DIR (created if missing) under its input's name")
        ->type_name("DIR");
    app.add_option("-s,--suffix", suffix,
                   "replace each input's extension with SUFFIX in its output's name (a leading dot is added "
                   "when missing)")
        ->type_name("SUFFIX");
    app.add_flag("-r,--recursive", parsed.listing.recursive,
                 "take whole directory trees, kept under DIR (symbolic links to directories are not followed)");
    app.add_option("-i,--include", include,
                   "of the files found in directories, take only those whose file name matches PATTERN; one "
                   "pattern per -i, repeatable")
        ->type_name("PATTERN")
        ->allow_extra_args(false)
        ->expected(1, 1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("-j,--jobs", jobs, "convert N files at once, 1 to 1024 (default: one per processor)")
        ->type_name("N");
    std::string from, to;
    app.add_option("--from", from,
                   "read every input in LAYOUT (" + layout_names(false) +
                       "); without it, each input's extension tells, else its content")
        ->type_name("LAYOUT");
    app.add_option("--to", to,
                   "write every output in LAYOUT (" + layout_names(true) +
                       "; default sch), with the layout's extension unless -s is given; several layouts with "
                       "commas between (dzn,json) write each input in every one, from one read")
        ->type_name("LAYOUT");
    app.add_flag("-u,--update", parsed.update,
                 "skip each input whose output exists, is at least as new as the input and is in the layout written");
    app.add_flag("--check", parsed.check, "read and validate every input, write nothing");
    app.add_flag("--csv", parsed.csv,
                 "with --check: the findings as a CSV table on standard output (file, level, element, message)");
    app.add_flag("--verify", parsed.verify,
                 "check schedules against their instances: INSTANCE SCHEDULE (SCHEDULE - for standard input), or a "
                 "directory of each, paired by name; a CSV table on standard output");
    std::string reference;
    app.add_option("--reference", reference,
                   "with --verify: known makespans from TABLE (CSV problem,optimum, or PSPLIB's own table), or "
                   "psplib for PSPLIB's j30 optima, shipped with the program")
        ->type_name("TABLE");
    std::string draw;
    app.add_option("--draw", draw,
                   "with --verify: draw each schedule (its last solution) as an SVG Gantt chart with resource "
                   "profiles, DIR/<schedule name>.svg; - for one schedule's picture on standard output, instead of "
                   "the table")
        ->type_name("DIR");
    app.add_flag("--stats", parsed.stats,
                 "read every input and write a CSV table of its measures on standard output, nothing else");
    std::string bundle;
    app.add_option("--bundle", bundle,
                   "write every instance, in input order, as one line of the JSON Lines file FILE (- for standard "
                   "output), named by its input's path; no other output")
        ->type_name("FILE");
    app.add_flag("-q,--quiet", parsed.quiet, "print only failures (and findings)");
    app.set_version_flag("--version", "converter-batch " CONVERTER_VERSION);
    app.add_option("INPUT", inputs, "instance files and directories")->type_name("");
    std::string layouts = "Layouts:\n";
    for (const layout_format* format = formats_begin(); format != formats_end(); ++format) {
        layouts += "  " + std::string(format->name) + std::string(6 - std::string_view(format->name).size(), ' ') +
                   format->extension + std::string(6 - std::string_view(format->extension).size(), ' ') + format->title;
        if (format->read == nullptr) layouts += " (written only)";
        if (format->write == nullptr) layouts += " (read only)";
        layouts += "\n";
    }
    app.footer(layouts + "Without -o, outputs go beside their inputs and -s (or --to) is required.\n"
                         "Exit status:\n"
                         "  0    every file converted (or skipped), checked with notes at most, or measured\n"
                         "  1    any file failed or was found invalid or infeasible, or standard output could not\n"
                         "       be written\n"
                         "  2    a usage error, a refused plan, or no input files\n"
                         "  130  interrupted (128 + the signal's number: 143 for SIGTERM, 141 for a closed pipe)");
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
    if (app.count("--bundle") != 0) parsed.bundle = path_from_argument(bundle);
    if (app.count("--reference") != 0) parsed.reference = reference;
    if (app.count("--draw") != 0) parsed.draw = path_from_argument(draw);
    if (app.count("--output-dir") != 0) parsed.plan.output_directory = path_from_argument(output_directory);
    if (app.count("--suffix") != 0)
        parsed.plan.suffix = path_from_argument(suffix);
    else if (app.count("--to") != 0) {
        parsed.plan.suffix = path_from_argument(parsed.layouts.to->extension);
        for (const layout_format* format : parsed.layouts.also_to)
            parsed.plan.more_suffixes.push_back(path_from_argument(format->extension));
    } else
        parsed.plan.written_extension = path_from_argument(parsed.layouts.to->extension);
    parsed.plan.read_as = parsed.layouts.from;
    parsed.listing.read_as = parsed.layouts.from;

    if (parsed.inputs.empty()) {
        error = "missing INPUT";
        return parse_result::usage_error;
    }
    if (parsed.verify) {
        if (parsed.inputs.size() != 2) {
            error = "--verify takes two INPUTs: an instance and its schedule, or a directory of each";
            return parse_result::usage_error;
        }
        if (parsed.inputs[0] == "-") {
            error = "--verify reads the instance from a file; only the schedule may be - (standard input)";
            return parse_result::usage_error;
        }
        if (parsed.check || parsed.stats || parsed.bundle || app.count("--output-dir") != 0 ||
            app.count("--suffix") != 0 || parsed.update || app.count("--to") != 0 || parsed.csv) {
            error = "--verify writes its own table: not with --check, --stats, --bundle, --csv, -o, -s, -u or --to";
            return parse_result::usage_error;
        }
        return parse_result::run;
    }
    if (parsed.reference || parsed.draw) {
        error = parsed.reference ? "--reference goes with --verify" : "--draw goes with --verify";
        return parse_result::usage_error;
    }
    if (parsed.inputs.size() > 1)
        for (const auto& input : parsed.inputs)
            if (input == "-") {
                error = "- (standard input) must be the only INPUT";
                return parse_result::usage_error;
            }
    if (!check_combination(app, parsed, error)) return parse_result::usage_error;
    return parse_result::run;
}

} // namespace converter::batch
