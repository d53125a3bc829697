#include "files/output_plan.h"

#include <cwctype>
#include <map>
#include <string>
#include <unordered_map>

#include "files/compressed_input.h"
#include "files/file_identity.h"

namespace converter {
namespace fs = std::filesystem;
namespace {

// A directory's identity when it exists, otherwise its normal absolute form
// (which is then the only spelling the plan can know).
struct directory_key {
    bool exists = false;
    file_key identity;
    fs::path::string_type spelling;
    bool operator<(const directory_key& other) const {
        if (exists != other.exists) return exists < other.exists;
        return exists ? identity < other.identity : spelling < other.spelling;
    }
};

struct output_key {
    directory_key directory;
    fs::path::string_type name;
    bool operator<(const output_key& other) const {
        if (directory < other.directory) return true;
        if (other.directory < directory) return false;
        return name < other.name;
    }
};

fs::path::string_type comparable_name(const fs::path& name) {
    fs::path::string_type text = name.native();
#ifdef _WIN32
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
#endif
    return text;
}

// The outputs of `input`, one per layout written, into `outputs`.
void outputs_of(const input_file& input, const plan_options& options, fs::path* outputs) {
    // A line of a JSON Lines file goes under the name it gives: beside the
    // file, or under the output directory.
    const fs::path beside = input.line != 0 ? input.path.parent_path() / input.relative : input.path;
    fs::path output = options.output_directory ? *options.output_directory / input.relative : beside;
    output = without_compression(output);
    if (options.suffix) {
        for (std::size_t index = 0; index < options.more_suffixes.size(); ++index)
            outputs[index + 1] = fs::path(output).replace_extension(options.more_suffixes[index]);
        output.replace_extension(*options.suffix);
    } else if (options.written_extension) {
        const layout_format* read_as = input.line != 0 ? &json_format()
                                       : options.read_as != nullptr
                                           ? options.read_as
                                           : format_of_extension(without_compression(input.path));
        if (read_as != nullptr && read_as != &rcp_format()) output.replace_extension(*options.written_extension);
    }
    outputs[0] = std::move(output);
}

std::size_t outputs_per_input(const plan_options& options) {
    return options.suffix ? 1 + options.more_suffixes.size() : 1;
}

} // namespace

void drop_own_outputs(std::vector<input_file>& inputs, const plan_options& options) {
    // The first two inputs that would write each existing output: one of them
    // may be the output itself.
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::map<file_key, std::pair<std::size_t, std::size_t>> writer_of;
    // No output exists in a directory that does not: each directory is asked once.
    std::unordered_map<fs::path::string_type, bool> directory_exists;
    std::vector<fs::path> outputs(outputs_per_input(options));
    for (std::size_t index = 0; index < inputs.size(); ++index) {
        if (inputs[index].error) continue;
        outputs_of(inputs[index], options, outputs.data());
        // Every output of one input is in the same directory.
        const fs::path parent = outputs[0].has_parent_path() ? outputs[0].parent_path() : fs::path(".");
        auto directory = directory_exists.find(parent.native());
        if (directory == directory_exists.end()) {
            file_key ignored;
            directory = directory_exists.emplace(parent.native(), identify(parent, ignored)).first;
        }
        if (!directory->second) continue;
        for (const fs::path& output : outputs) {
            file_key key;
            if (!identify(output, key)) continue;
            const auto [writers, inserted] = writer_of.emplace(key, std::make_pair(index, none));
            if (!inserted && writers->second.second == none) writers->second.second = index;
        }
    }
    // As in a fresh output directory, no output exists: nothing to compare.
    if (writer_of.empty()) return;
    std::size_t kept = 0;
    for (std::size_t index = 0; index < inputs.size(); ++index) {
        file_key key;
        const input_file& input = inputs[index];
        if (input.found_in_directory && !input.error && identify(input.path, key)) {
            const auto writers = writer_of.find(key);
            if (writers != writer_of.end() && (writers->second.first != index || writers->second.second != none))
                continue;
        }
        if (kept != index) inputs[kept] = std::move(inputs[index]);
        ++kept;
    }
    inputs.erase(inputs.begin() + static_cast<std::ptrdiff_t>(kept), inputs.end());
}

output_plan plan_outputs(const std::vector<input_file>& inputs, const plan_options& options) {
    output_plan plan;
    plan.per_input = outputs_per_input(options);
    plan.outputs.resize(inputs.size() * plan.per_input);
    for (std::size_t index = 0; index < inputs.size(); ++index)
        if (!inputs[index].error) outputs_of(inputs[index], options, &plan.outputs[index * plan.per_input]);

    // Directories repeat from file to file; each is examined once.
    std::unordered_map<fs::path::string_type, directory_key> directories;
    std::map<output_key, std::size_t> writer_of;
    // Outputs that exist already, to be compared with the inputs; when none does,
    // as in a fresh output directory, the inputs need not be examined at all.
    std::vector<std::pair<file_key, std::size_t>> existing;
    for (std::size_t place = 0; place < plan.outputs.size(); ++place) {
        const fs::path& output = plan.outputs[place];
        const std::size_t index = place / plan.per_input;
        if (output.empty()) continue;
        const fs::path parent = output.has_parent_path() ? output.parent_path() : fs::path(".");
        auto found = directories.find(parent.native());
        if (found == directories.end()) {
            directory_key directory;
            directory.exists = identify(parent, directory.identity);
            if (!directory.exists) {
                std::error_code error;
                const fs::path absolute = fs::absolute(parent, error);
                directory.spelling = comparable_name((error ? parent : absolute).lexically_normal());
            }
            found = directories.emplace(parent.native(), std::move(directory)).first;
        }
        const auto [writer, inserted] =
            writer_of.emplace(output_key{found->second, comparable_name(output.filename())}, index);
        if (!inserted) {
            // Two inputs' outputs collide in every layout alike: once is enough.
            const bool said = !plan.conflicts.empty() && plan.conflicts.back().first == writer->second &&
                              plan.conflicts.back().second == index;
            if (!said) plan.conflicts.push_back({plan_conflict::kind::same_output, writer->second, index, output});
            continue;
        }
        file_key key;
        if (found->second.exists && identify(output, key)) existing.emplace_back(key, place);
    }
    if (existing.empty()) return plan;
    std::map<file_key, std::size_t> input_of;
    for (std::size_t index = 0; index < inputs.size(); ++index) {
        file_key key;
        if (!inputs[index].error && identify(inputs[index].path, key)) input_of.emplace(key, index);
    }
    for (const auto& [key, place] : existing) {
        const auto input = input_of.find(key);
        if (input != input_of.end())
            plan.conflicts.push_back(
                {plan_conflict::kind::output_is_input, place / plan.per_input, input->second, plan.outputs[place]});
    }
    return plan;
}

} // namespace converter
