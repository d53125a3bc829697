// Shell wildcards, matched against one file name.
#pragma once

#include <filesystem>

namespace converter {

// True when `name` matches `pattern`: `*` matches any run of characters, `?` any
// one character, `[abc]`, `[a-z]` and `[!abc]` one character of (or not of) a
// set; every other character matches itself. On Windows, where file names ignore
// case, letters match either case. Patterns apply to a name, not a path: neither
// `*` nor `?` stops at a separator, since a name holds none.
bool matches_wildcard(const std::filesystem::path& pattern, const std::filesystem::path& name);

// True when `text` holds a character that makes it a wildcard pattern.
bool has_wildcard(const std::filesystem::path& text);

} // namespace converter
