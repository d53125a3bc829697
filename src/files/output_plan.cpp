#include "files/output_plan.h"

#include <cwctype>
#include <map>
#include <string>
#include <unordered_map>

#include "files/compressed_input.h"
#include "files/file_identity.h"
#include "files/json_lines.h"

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

// The outputs of `output` (the first's path, suffix not yet applied) read in
// `read_as`, one per layout written, into `outputs`.
void outputs_from(fs::path output, const layout_format* read_as, const plan_options& options, fs::path* outputs) {
    output = without_compression(output);
    if (options.suffix) {
        for (std::size_t index = 0; index < options.more_suffixes.size(); ++index)
            outputs[index + 1] = fs::path(output).replace_extension(options.more_suffixes[index]);
        output.replace_extension(*options.suffix);
    } else if (options.written_extension) {
        if (read_as != nullptr && read_as != &rcp_format()) output.replace_extension(*options.written_extension);
    }
    outputs[0] = std::move(output);
}

// The outputs of `input`, a file, one per layout written, into `outputs`.
void outputs_of(const input_file& input, const plan_options& options, fs::path* outputs) {
    const layout_format* read_as = input.source.layout;
    outputs_from(options.output_directory ? *options.output_directory / input.relative : input.path, read_as, options,
                 outputs);
}

std::size_t outputs_per_input(const plan_options& options) {
    return options.suffix ? 1 + options.more_suffixes.size() : 1;
}

// Calls `each(line, relative)` for every line without a name of its own of
// the JSON Lines file `index` describes, in line order, its output name made
// from its number.
template <typename visitor>
void for_each_unnamed_line(const input_file& bundle, const bundle_index& index, visitor each) {
    for (std::size_t word = 0; word < index.unnamed.size(); ++word)
        for (std::uint64_t bits = index.unnamed[word]; bits != 0; bits &= bits - 1) {
            int bit = 0;
            while (((bits >> bit) & 1) == 0) ++bit;
            const std::uint64_t line = word * 64 + static_cast<std::uint64_t>(bit) + 1;
            each(line, unnamed_relative(bundle.path, line));
        }
}

// The same for every line: those with names from the list first.
template <typename visitor> void for_each_line(const input_file& bundle, const bundle_index& index, visitor each) {
    for (const bundle_index::named_line& line : index.named) each(line.number, line.relative);
    for_each_unnamed_line(bundle, index, each);
}

} // namespace

void line_outputs(const input_file& bundle, const fs::path& relative, const plan_options& options, fs::path* outputs) {
    const fs::path beside = bundle.path.parent_path() / relative;
    // A line is JSON; a member is read as its name says, as a file would be.
    const layout_format* read_as = bundle.bundle != nullptr && bundle.bundle->archive
                                       ? (options.read_as != nullptr ? options.read_as : format_of_extension(relative))
                                       : &json_format();
    outputs_from(options.output_directory ? *options.output_directory / relative : beside, read_as, options, outputs);
}

void drop_own_outputs(std::vector<input_file>& inputs, const plan_options& options) {
    // Only what was found in a directory is dropped: with none, nothing to compare.
    bool any_found = false;
    for (const input_file& input : inputs) any_found = any_found || input.found_in_directory;
    if (!any_found) return;
    // The first two inputs that would write each existing output: one of them
    // may be the output itself.
    constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::map<file_key, std::pair<std::size_t, std::size_t>> writer_of;
    // No output exists in a directory that does not: each directory is asked once.
    std::unordered_map<fs::path::string_type, bool> directory_exists;
    std::vector<fs::path> outputs(outputs_per_input(options));
    const auto note_outputs = [&](std::size_t index) {
        // Every output of one input is in the same directory.
        const fs::path parent = outputs[0].has_parent_path() ? outputs[0].parent_path() : fs::path(".");
        auto directory = directory_exists.find(parent.native());
        if (directory == directory_exists.end()) {
            file_key ignored;
            directory = directory_exists.emplace(parent.native(), identify(parent, ignored)).first;
        }
        if (!directory->second) return;
        for (const fs::path& output : outputs) {
            file_key key;
            if (!identify(output, key)) continue;
            const auto [writers, inserted] = writer_of.emplace(key, std::make_pair(index, none));
            if (!inserted && writers->second.second == none) writers->second.second = index;
        }
    };
    for (std::size_t index = 0; index < inputs.size(); ++index) {
        const input_file& input = inputs[index];
        if (input.error) continue;
        if (input.bundle != nullptr) {
            for_each_line(input, *input.bundle, [&](std::uint64_t, const fs::path& relative) {
                line_outputs(input, relative, options, outputs.data());
                note_outputs(index);
            });
            continue;
        }
        outputs_of(input, options, outputs.data());
        note_outputs(index);
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
        if (!inputs[index].error && inputs[index].bundle == nullptr)
            outputs_of(inputs[index], options, &plan.outputs[index * plan.per_input]);

    // Directories repeat from file to file; each is examined once.
    std::unordered_map<fs::path::string_type, directory_key> directories;
    const auto directory_of = [&](const fs::path& output) -> const directory_key& {
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
        return found->second;
    };
    struct owner {
        std::size_t index;
        std::uint64_t line;
    };
    std::map<output_key, owner> writer_of;
    // Outputs that exist already, to be compared with the inputs; when none does,
    // as in a fresh output directory, the inputs need not be examined at all.
    std::vector<std::pair<file_key, std::pair<owner, fs::path>>> existing;
    const auto conflict = [&](const owner& first, const owner& second, const fs::path& output) {
        // Two inputs' outputs collide in every layout alike: once is enough.
        const bool said = !plan.conflicts.empty() && plan.conflicts.back().first == first.index &&
                          plan.conflicts.back().second == second.index &&
                          plan.conflicts.back().first_line == first.line &&
                          plan.conflicts.back().second_line == second.line;
        if (!said)
            plan.conflicts.push_back(
                {plan_conflict::kind::same_output, first.index, second.index, first.line, second.line, output});
    };
    // Each output once: recorded (`kept`) or only looked up, as the outputs of
    // lines without names are, which can't meet each other within a file.
    const auto consider = [&](const fs::path& output, const owner& by, bool kept) {
        const directory_key& directory = directory_of(output);
        const output_key key{directory, comparable_name(output.filename())};
        if (kept) {
            const auto [writer, inserted] = writer_of.emplace(key, by);
            if (!inserted) {
                conflict(writer->second, by, output);
                return;
            }
        } else {
            const auto writer = writer_of.find(key);
            if (writer != writer_of.end()) {
                conflict(writer->second, by, output);
                return;
            }
        }
        file_key identity;
        if (directory.exists && identify(output, identity)) existing.push_back({identity, {by, output}});
    };
    std::vector<fs::path> outputs(plan.per_input);
    std::unordered_map<fs::path::string_type, bool> line_directory_seen;
    const auto note_directory = [&](const fs::path& output) {
        const fs::path parent = output.parent_path();
        if (line_directory_seen.emplace(parent.native(), true).second) plan.line_directories.push_back(parent);
    };
    for (std::size_t place = 0; place < plan.outputs.size(); ++place)
        if (!plan.outputs[place].empty()) consider(plan.outputs[place], {place / plan.per_input, 0}, true);
    for (std::size_t index = 0; index < inputs.size(); ++index) {
        const input_file& input = inputs[index];
        if (input.error || input.bundle == nullptr) continue;
        for (const bundle_index::named_line& line : input.bundle->named) {
            line_outputs(input, line.relative, options, outputs.data());
            note_directory(outputs[0]);
            for (const fs::path& output : outputs) consider(output, {index, line.number}, true);
        }
    }
    // Lines without names, against everything above and, across files whose
    // such lines share a directory and a stem, against each other.
    std::vector<std::size_t> unnamed_files;
    for (std::size_t index = 0; index < inputs.size(); ++index) {
        const input_file& input = inputs[index];
        if (input.error || input.bundle == nullptr || input.bundle->unnamed.empty()) continue;
        for_each_unnamed_line(input, *input.bundle, [&](std::uint64_t line, const fs::path& relative) {
            line_outputs(input, relative, options, outputs.data());
            for (const fs::path& output : outputs) consider(output, {index, line}, false);
        });
        line_outputs(input, unnamed_relative(input.path, 1), options, outputs.data());
        note_directory(outputs[0]);
        for (const std::size_t earlier : unnamed_files) {
            const input_file& other = inputs[earlier];
            fs::path other_outputs[1];
            line_outputs(other, unnamed_relative(other.path, 1), options, other_outputs);
            if (directory_of(other_outputs[0]) < directory_of(outputs[0]) ||
                directory_of(outputs[0]) < directory_of(other_outputs[0]) ||
                comparable_name(other_outputs[0].filename()) != comparable_name(outputs[0].filename()))
                continue;
            const std::vector<std::uint64_t>& mine = input.bundle->unnamed;
            const std::vector<std::uint64_t>& theirs = other.bundle->unnamed;
            for (std::size_t word = 0; word < mine.size() && word < theirs.size(); ++word) {
                const std::uint64_t both = mine[word] & theirs[word];
                if (both == 0) continue;
                int bit = 0;
                while (((both >> bit) & 1) == 0) ++bit;
                const std::uint64_t line = word * 64 + static_cast<std::uint64_t>(bit) + 1;
                line_outputs(input, unnamed_relative(input.path, line), options, outputs.data());
                conflict({earlier, line}, {index, line}, outputs[0]);
                break;
            }
        }
        unnamed_files.push_back(index);
    }
    if (existing.empty()) return plan;
    std::map<file_key, std::size_t> input_of;
    for (std::size_t index = 0; index < inputs.size(); ++index) {
        file_key key;
        if (!inputs[index].error && identify(inputs[index].path, key)) input_of.emplace(key, index);
    }
    for (const auto& [key, written] : existing) {
        const auto input = input_of.find(key);
        if (input != input_of.end())
            plan.conflicts.push_back({plan_conflict::kind::output_is_input, written.first.index, input->second,
                                      written.first.line, 0, written.second});
    }
    return plan;
}

} // namespace converter
