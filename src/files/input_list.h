// Turns the INPUT arguments of converter-batch into the list of files to convert.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "files/input_work.h"

namespace converter {

struct bundle_index;

struct input_file {
    // The file as named on the command line, or its directory as named joined
    // with the names found below it.
    std::filesystem::path path;
    // Where its output goes under an output directory: the file's name, or for a
    // file found below a directory INPUT its path relative to that directory.
    std::filesystem::path relative;
    // Set when the INPUT could not be taken (it does not exist, a directory could
    // not be read, a wildcard matched nothing); `path` then names what failed.
    std::error_code error;
    // Found in a directory INPUT rather than named directly.
    bool found_in_directory = false;
    // With `error`: a wildcard the program expanded itself (on Windows) matched nothing.
    bool unmatched_wildcard = false;
    // For a JSON Lines file (see json_lines.h) or an archive (archive_inputs.h),
    // whose lines or members are each an input of their own: what the plan
    // needs of them; null for any other entry.
    std::shared_ptr<const bundle_index> bundle = {};
    // How the file is read, resolved once when it is listed (see
    // resolve_source and listing_options::read_as).
    input_source source = {};
};

// How messages name an input: its path, and for line `line` (not 0) of a JSON
// Lines file the path and the line, as "set.jsonl:5".
std::filesystem::path shown_path(const input_file& input, std::uint64_t line = 0);

struct listing_options {
    bool recursive = false;
    // Wildcards (see wildcard.h) for the names of files found in directories;
    // none keeps every file but those known to hold no instance (.md, .mzn,
    // .metadata, .sh, .py, .msc, .pdf, .html, .csv, .log, .svg, .png, .fzn,
    // .ozn, .dot, without case, and files without an extension, as README: the
    // notes, models and scripts a set comes with).
    std::vector<std::filesystem::path> include;
    // A directory that no walk enters (the output directory, so that running a
    // command again does not take its outputs as inputs); compared by identity.
    std::optional<std::filesystem::path> excluded_directory;
    // --from: the layout every file listed is read in; nullptr: each as its
    // extension says, or its content.
    const layout_format* read_as = nullptr;
};

// What the walks passed over, to explain an empty list.
struct listing_summary {
    std::size_t subdirectories_skipped = 0; // not entered without `recursive`
    std::size_t files_not_included = 0;     // left out by the `include` patterns
    std::size_t other_files = 0;            // left out as known to hold no instance
};

// Whether a file named `name`, found in a directory (or an archive), is an
// input: by the `include` patterns when there are some, else unless it is
// known to hold no instance (see listing_options). Counts what it passes over
// into `summary`.
bool takes_found_file(const std::filesystem::path& name, const listing_options& options, listing_summary& summary);

// Lists the inputs in the order given. An INPUT that is a directory gives every
// regular file directly inside it whose name does not start with a dot, in name
// order, each relative to the directory (and, when several directories are
// named, under the directory's own name: a/x and b/x are a/x and b/x, as cp -r
// a b dest/ keeps them) (byte order of the names; with `recursive`, subdirectories not starting
// with a dot are walked in the same order, depth first, and symbolic links to
// directories are not followed; neither is `excluded_directory`). Files named
// directly are always taken, whatever
// their kind and name. On Windows an INPUT that does not exist and whose last
// part holds a wildcard is expanded there, as a POSIX shell would have done:
// matching files and directories in name order. Never throws for a file system
// error: such an INPUT becomes an entry with `error` set, in its place. Each
// entry's `source` is resolved from its path and `options.read_as`. Counts
// into `summary`, when given, what the walks passed over. Throws std::bad_alloc
// when memory runs out.
std::vector<input_file> list_inputs(const std::vector<std::filesystem::path>& inputs, const listing_options& options,
                                    listing_summary* summary = nullptr);

// Removes each entry that repeats an earlier one: the same file (by identity)
// under the same relative name, as when a directory and one of its files are
// both named; so it is converted once, to the one output both would have.
// Entries with an error and files that can't be examined are kept. Throws
// std::bad_alloc when memory runs out.
void drop_repeated_files(std::vector<input_file>& files);

} // namespace converter
