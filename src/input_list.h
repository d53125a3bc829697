// Turns the INPUT arguments of converter-batch into the list of files to convert.
#pragma once

#include <filesystem>
#include <system_error>
#include <vector>

namespace converter {

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
};

struct listing_options {
    bool recursive = false;
    // Wildcards (see wildcard.h) for the names of files found in directories;
    // none keeps every file.
    std::vector<std::filesystem::path> include;
};

// Lists the inputs in the order given. An INPUT that is a directory gives every
// regular file directly inside it whose name does not start with a dot, in name
// order (byte order of the names; with `recursive`, subdirectories not starting
// with a dot are walked in the same order, depth first, and symbolic links to
// directories are not followed). Files named directly are always taken, whatever
// their kind and name. On Windows an INPUT that does not exist and whose last
// part holds a wildcard is expanded there, as a POSIX shell would have done:
// matching files and directories in name order. Never throws for a file system
// error: such an INPUT becomes an entry with `error` set, in its place. Throws
// std::bad_alloc when memory runs out.
std::vector<input_file> list_inputs(const std::vector<std::filesystem::path>& inputs, const listing_options& options);

} // namespace converter
