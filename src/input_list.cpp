#include "input_list.h"

#include <algorithm>

#include "wildcard.h"

namespace converter {
namespace fs = std::filesystem;
namespace {

bool is_hidden(const fs::path& name) {
    const auto& text = name.native();
    return !text.empty() && text[0] == '.';
}

bool included(const fs::path& name, const listing_options& options) {
    if (options.include.empty()) return true;
    for (const fs::path& pattern : options.include)
        if (matches_wildcard(pattern, name)) return true;
    return false;
}

// The entries of one directory in name order; `error` is set when it can't be read.
std::vector<fs::directory_entry> sorted_entries(const fs::path& directory, std::error_code& error) {
    std::vector<fs::directory_entry> entries;
    fs::directory_iterator iterator(directory, error);
    for (const fs::directory_iterator end; !error && iterator != end; iterator.increment(error))
        entries.push_back(*iterator);
    std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& left, const fs::directory_entry& right) {
        return left.path().filename().native() < right.path().filename().native();
    });
    return entries;
}

void list_directory(const fs::path& directory, const fs::path& relative, const listing_options& options,
                    std::vector<input_file>& files) {
    std::error_code error;
    const std::vector<fs::directory_entry> entries = sorted_entries(directory, error);
    if (error) {
        files.push_back({directory, relative, error});
        return;
    }
    for (const fs::directory_entry& entry : entries) {
        const fs::path name = entry.path().filename();
        if (is_hidden(name)) continue;
        std::error_code kind_error;
        if (entry.is_regular_file(kind_error)) {
            if (included(name, options)) files.push_back({entry.path(), relative / name, {}});
        } else if (options.recursive && entry.is_directory(kind_error) && !entry.is_symlink(kind_error)) {
            list_directory(entry.path(), relative / name, options, files);
        }
    }
}

void list_input(const fs::path& input, const listing_options& options, std::vector<input_file>& files) {
    std::error_code error;
    const fs::file_status status = fs::status(input, error);
    if (fs::is_directory(status)) {
        list_directory(input, {}, options, files);
        return;
    }
    if (!error) {
        files.push_back({input, input.filename(), {}});
        return;
    }
#ifdef _WIN32
    // cmd.exe leaves wildcards to the program.
    if (error == std::errc::no_such_file_or_directory && has_wildcard(input.filename()) &&
        !has_wildcard(input.parent_path())) {
        const fs::path directory = input.has_parent_path() ? input.parent_path() : fs::path(".");
        std::error_code list_error;
        const std::vector<fs::directory_entry> entries = sorted_entries(directory, list_error);
        const std::size_t before = files.size();
        for (const fs::directory_entry& entry : entries) {
            const fs::path name = entry.path().filename();
            // As in a POSIX shell, only a pattern that starts with a dot matches dot files.
            if (!matches_wildcard(input.filename(), name) || (is_hidden(name) && !is_hidden(input.filename())))
                continue;
            // Spelled as the user spelled the directory, not as the listing does.
            list_input(input.has_parent_path() ? input.parent_path() / name : name, options, files);
        }
        if (files.size() != before) return;
    }
#endif
    files.push_back({input, input.filename(), error});
}

} // namespace

std::vector<input_file> list_inputs(const std::vector<fs::path>& inputs, const listing_options& options) {
    std::vector<input_file> files;
    for (const fs::path& input : inputs) list_input(input, options, files);
    return files;
}

} // namespace converter
