// The spelling of a path that the system calls take.
#pragma once

#include <filesystem>

namespace converter {

// On Windows, where a path of MAX_PATH (260) characters or more fails in the
// file functions unless the user changes a system setting, a long path gets the
// extended form: absolute, normalised, with backslashes and the "\\?\" (or
// "\\?\UNC\") prefix, which every current Windows takes as it is. A path below
// that length, or one in the extended form already, is returned unchanged, and
// so is every path on other systems, where paths are bytes.
std::filesystem::path system_path(const std::filesystem::path& path);

} // namespace converter
