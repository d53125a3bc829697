#include "files/wildcard.h"

#include <cwctype>
#include <string>

namespace converter {
namespace {

using path_char = std::filesystem::path::value_type;
using path_string = std::filesystem::path::string_type;

path_char folded(path_char c) {
#ifdef _WIN32
    return static_cast<path_char>(std::towlower(static_cast<std::wint_t>(c)));
#else
    return c;
#endif
}

// Matches one bracket set at `pattern[at]` (just past the '[') against `c`.
// Returns the position past the closing ']', or npos when the set never closes
// (then the '[' is an ordinary character).
std::size_t match_set(const path_string& pattern, std::size_t at, path_char c, bool& matched) {
    const bool negated = at < pattern.size() && (pattern[at] == '!' || pattern[at] == '^');
    if (negated) ++at;
    bool found = false;
    // A ']' right after the '[' (or '[!') belongs to the set.
    for (bool first = true; at < pattern.size(); first = false) {
        if (pattern[at] == ']' && !first) {
            matched = found != negated;
            return at + 1;
        }
        path_char low = pattern[at];
        path_char high = low;
        if (at + 2 < pattern.size() && pattern[at + 1] == '-' && pattern[at + 2] != ']') {
            high = pattern[at + 2];
            at += 3;
        } else {
            at += 1;
        }
        if (folded(low) <= folded(c) && folded(c) <= folded(high)) found = true;
    }
    return path_string::npos;
}

} // namespace

bool matches_wildcard(const std::filesystem::path& pattern_path, const std::filesystem::path& name_path) {
    const path_string& pattern = pattern_path.native();
    const path_string& name = name_path.native();
    // Greedy matching with one backtrack point, the last '*': linear in practice.
    std::size_t p = 0, n = 0;
    std::size_t star = path_string::npos, star_name = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            star_name = n;
            continue;
        }
        if (p < pattern.size()) {
            if (pattern[p] == '?') {
                ++p;
                ++n;
                continue;
            }
            if (pattern[p] == '[') {
                bool matched = false;
                const std::size_t after = match_set(pattern, p + 1, name[n], matched);
                if (after != path_string::npos) {
                    if (matched) {
                        p = after;
                        ++n;
                        continue;
                    }
                } else if (name[n] == '[') {
                    ++p;
                    ++n;
                    continue;
                }
            } else if (folded(pattern[p]) == folded(name[n])) {
                ++p;
                ++n;
                continue;
            }
        }
        if (star == path_string::npos) return false;
        p = star + 1;
        n = ++star_name;
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool has_wildcard(const std::filesystem::path& text) {
    for (const path_char c : text.native())
        if (c == '*' || c == '?' || c == '[') return true;
    return false;
}

} // namespace converter
