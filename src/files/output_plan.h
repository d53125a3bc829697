// Where converter-batch writes each output, and the plans it refuses.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "files/input_list.h"
#include "layouts/formats.h"

namespace converter {

struct plan_options {
    // Outputs go into this directory under each input's relative path; without
    // it, beside their inputs.
    std::optional<std::filesystem::path> output_directory;
    // Replaces each input's extension (`.out`: a001.txt gives a001.out).
    std::optional<std::filesystem::path> suffix;
    // With `suffix`: the suffixes of further outputs of each input, one per
    // further layout written (--to dzn,json gives `.dzn` and `.json`).
    std::vector<std::filesystem::path> more_suffixes = {};
    // Without `suffix`: replaces the extension of each input read in a layout
    // other than rcp (`read_as`, else its extension's; see format_of_extension),
    // so that j301_1.sm written as sch is j301_1.sch. An input read as rcp,
    // or told by its content, keeps its name.
    std::optional<std::filesystem::path> written_extension = std::nullopt;
    const layout_format* read_as = nullptr;
};

struct plan_conflict {
    enum class kind {
        same_output,     // inputs `first` and `second` would both write `output`
        output_is_input, // input `first` would write `output`, which is the file `second` (an input)
    };
    kind what = kind::same_output;
    std::size_t first = 0; // indexes into the input list
    std::size_t second = 0;
    // For an input that is a JSON Lines file, the line whose output it is
    // (from 1); 0 for any other.
    std::uint64_t first_line = 0;
    std::uint64_t second_line = 0;
    std::filesystem::path output;
};

struct output_plan {
    // `per_input` per input, in input order; empty for an input entry that
    // carries an error and for a JSON Lines file, whose lines' outputs
    // line_outputs gives as their turn comes.
    std::vector<std::filesystem::path> outputs;
    std::size_t per_input = 1;
    // The directories that the lines of JSON Lines files are written in.
    std::vector<std::filesystem::path> line_directories;
    // Nothing may be written when this is not empty.
    std::vector<plan_conflict> conflicts;

    // The first of the outputs of input `index`.
    const std::filesystem::path* outputs_of(std::size_t index) const { return &outputs[index * per_input]; }
};

// Removes each entry found in a directory that is, as a file, the output that
// another entry would write: the outputs of an earlier run of the same command,
// beside their inputs or in an output directory inside the input tree, so that
// running it again converts the inputs again instead of refusing. Files named
// directly are kept (the plan then refuses them). Throws std::bad_alloc when
// memory runs out.
void drop_own_outputs(std::vector<input_file>& inputs, const plan_options& options);

// The outputs, one per layout written, of the line of the JSON Lines file
// `bundle` whose output goes under `relative` (see json_line): beside the
// file, or under the output directory. Throws std::bad_alloc when memory runs
// out.
void line_outputs(const input_file& bundle, const std::filesystem::path& relative, const plan_options& options,
                  std::filesystem::path* outputs);

// An input named `j301_1.sm.gz` is written as `j301_1.sm` would be: the
// compression suffix goes first. The lines of JSON Lines files are planned
// with the rest: those with names one by one, those without by their
// numbers, so that a file of millions of such lines costs no memory per line.
//
// Computes every output path and checks the plan before anything is written:
// two outputs are the same when their directories are the same directory (by
// file identity, so other spellings and links are caught; by their lexically
// normal absolute form while they don't exist yet) and their names are equal
// (ignoring case on Windows); an output is an input when it exists and is, as a
// file, one of the inputs. Touches nothing on disk. Throws std::bad_alloc when
// memory runs out.
output_plan plan_outputs(const std::vector<input_file>& inputs, const plan_options& options);

} // namespace converter
