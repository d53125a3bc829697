#include "files/input_list.h"

#include <algorithm>
#include <map>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

#include "files/archive_reader.h"
#include "files/file_identity.h"
#include "files/system_path.h"
#include "files/wildcard.h"
#include "layouts/formats.h"

namespace converter {
namespace fs = std::filesystem;
namespace {

bool is_hidden(const fs::path& name) {
    const auto& text = name.native();
    return !text.empty() && text[0] == '.';
}

// Files that sets of instances are shipped with and that hold none: notes,
// models, scripts, drawings. Compared without case.
bool is_known_other_file(const fs::path& name) {
    // README, LICENSE, Makefile: the notes beside a set have no extension, its instances do.
    if (!name.has_extension()) return true;
    static const char* const extensions[] = {".md",   ".mzn", ".metadata", ".sh",  ".py",  ".msc",  ".pdf",
                                             ".html", ".csv", ".log",      ".svg", ".png", ".fzn",  ".ozn",
                                             ".dot",  ".zip", ".tar",      ".tgz", ".txz", ".jsonl"};
    for (const char* other : extensions)
        if (has_extension(name, other)) return true;
    // Archives are read when named, not when found (see archive_reader.h).
    if ((has_extension(name, ".gz") || has_extension(name, ".xz")) && archive_of(name) != archive_kind::none)
        return true;
    return false;
}

struct entry {
    fs::path name;
    bool regular = false;
    bool directory = false;
    bool link = false;
};

// The entries of one directory in name order; `error` is set when it can't be read.
std::vector<entry> sorted_entries(const fs::path& directory, std::error_code& error) {
    std::vector<entry> entries;
#ifdef _WIN32
    // The C runtime's directory functions that the standard library uses stop at
    // MAX_PATH characters; FindFirstFileExW takes the long form.
    WIN32_FIND_DATAW found;
    const fs::path pattern = system_path(directory) / L"*";
    const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
        return entries;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        entry item;
        item.name = name;
        item.link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        item.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        item.regular = !item.directory && (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) == 0;
        entries.push_back(std::move(item));
    } while (FindNextFileW(search, &found));
    FindClose(search);
#else
    fs::directory_iterator iterator(directory, error);
    for (const fs::directory_iterator end; !error && iterator != end; iterator.increment(error)) {
        std::error_code kind_error;
        entry item;
        item.name = iterator->path().filename();
        item.regular = iterator->is_regular_file(kind_error);
        item.directory = iterator->is_directory(kind_error);
        item.link = iterator->is_symlink(kind_error);
        entries.push_back(std::move(item));
    }
#endif
    std::sort(entries.begin(), entries.end(),
              [](const entry& left, const entry& right) { return left.name.native() < right.name.native(); });
    return entries;
}

// The name a directory is known by: its last part, "set" for "a/set/", and for
// "." or ".." the name of the directory they stand for.
fs::path directory_name(const fs::path& directory) {
    fs::path normal = directory.lexically_normal();
    if (!normal.has_filename()) normal = normal.parent_path();
    if (normal.filename() == "." || normal.filename() == "..") {
        std::error_code error;
        const fs::path absolute = fs::absolute(system_path(normal), error).lexically_normal();
        if (!error) normal = absolute.has_filename() ? absolute : absolute.parent_path();
    }
    return normal.filename();
}

struct walk {
    const listing_options& options;
    std::vector<input_file>& files;
    listing_summary& summary;
    bool has_excluded = false;
    file_key excluded;
    // With several directories named, each keeps its own name above its files,
    // as cp -r a b dest/ does.
    bool keep_directory_names = false;

    bool is_excluded(const fs::path& directory) const {
        file_key key;
        return has_excluded && identify(directory, key) && key == excluded;
    }

    void list_directory(const fs::path& directory, const fs::path& relative) {
        std::error_code error;
        const std::vector<entry> entries = sorted_entries(directory, error);
        if (error) {
            files.push_back({directory, relative, error, true});
            return;
        }
        for (const entry& item : entries) {
            if (is_hidden(item.name)) continue;
            // Spelled as the user spelled the directory, not as the system was asked.
            if (item.regular) {
                if (takes_found_file(item.name, options, summary))
                    files.push_back({directory / item.name, relative / item.name, {}, true});
            } else if (item.directory && !item.link) {
                if (!options.recursive)
                    ++summary.subdirectories_skipped;
                else if (!is_excluded(directory / item.name))
                    list_directory(directory / item.name, relative / item.name);
            }
        }
    }

    void list_input(const fs::path& input);
};

void walk::list_input(const fs::path& input) {
    std::error_code error;
    const fs::file_status status = fs::status(system_path(input), error);
    if (fs::is_directory(status)) {
        list_directory(input, keep_directory_names ? directory_name(input) : fs::path());
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
        const std::vector<entry> entries = sorted_entries(directory, list_error);
        const std::size_t before = files.size();
        for (const entry& item : entries) {
            const fs::path& name = item.name;
            // As in a POSIX shell, only a pattern that starts with a dot matches dot files.
            if (!matches_wildcard(input.filename(), name) || (is_hidden(name) && !is_hidden(input.filename())))
                continue;
            // Spelled as the user spelled the directory, not as the listing does.
            list_input(input.has_parent_path() ? input.parent_path() / name : name);
        }
        if (files.size() != before) return;
        files.push_back({input, input.filename(), error, false, true});
        return;
    }
#endif
    files.push_back({input, input.filename(), error});
}

} // namespace

bool takes_found_file(const fs::path& name, const listing_options& options, listing_summary& summary) {
    if (options.include.empty()) {
        if (!is_known_other_file(name)) return true;
        ++summary.other_files;
        return false;
    }
    for (const fs::path& pattern : options.include)
        if (matches_wildcard(pattern, name)) return true;
    ++summary.files_not_included;
    return false;
}

std::vector<input_file> list_inputs(const std::vector<fs::path>& inputs, const listing_options& options,
                                    listing_summary* summary) {
    std::vector<input_file> files;
    listing_summary ignored;
    walk walker{options, files, summary != nullptr ? *summary : ignored, false, {}};
    if (options.excluded_directory) walker.has_excluded = identify(*options.excluded_directory, walker.excluded);
    std::size_t directories = 0;
    for (const fs::path& input : inputs) {
        std::error_code error;
        if (fs::is_directory(system_path(input), error)) ++directories;
    }
    walker.keep_directory_names = directories > 1;
    for (const fs::path& input : inputs) walker.list_input(input);
    for (input_file& file : files)
        if (!file.error) file.source = resolve_source(file.path, options.read_as);
    return files;
}

fs::path shown_path(const input_file& input, std::uint64_t line) {
    if (line == 0) return input.path;
    fs::path shown = input.path;
    shown += ":" + std::to_string(line);
    return shown;
}

void drop_repeated_files(std::vector<input_file>& files) {
    std::map<std::pair<file_key, fs::path::string_type>, bool> seen;
    std::size_t kept = 0;
    for (std::size_t index = 0; index < files.size(); ++index) {
        file_key key;
        const input_file& file = files[index];
        const bool repeated = !file.error && identify(file.path, key) &&
                              !seen.emplace(std::make_pair(key, file.relative.native()), true).second;
        if (repeated) continue;
        if (kept != index) files[kept] = std::move(files[index]);
        ++kept;
    }
    files.erase(files.begin() + static_cast<std::ptrdiff_t>(kept), files.end());
}

} // namespace converter
