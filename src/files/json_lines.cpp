#include "files/json_lines.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "files/system_path.h"
#include "instance/utf8.h"
#include "layouts/formats.h"

namespace converter {
namespace fs = std::filesystem;
namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool read_hex4(const std::string& line, std::size_t& at, unsigned& code) {
    if (line.size() - at < 4) return false;
    code = 0;
    for (std::size_t end = at + 4; at < end; ++at) {
        const char h = line[at];
        const int value = h >= '0' && h <= '9'   ? h - '0'
                          : h >= 'a' && h <= 'f' ? h - 'a' + 10
                          : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                 : -1;
        if (value < 0) return false;
        code = code * 16 + static_cast<unsigned>(value);
    }
    return true;
}

// The value of a "name" key that opens the line's object, decoded to UTF-8;
// false when the line does not start so or the string is not well formed.
bool leading_name(const std::string& line, std::string& name) {
    std::size_t at = 0;
    const auto skip_space = [&] {
        while (at < line.size() && is_space(line[at])) ++at;
    };
    const auto take = [&](char wanted) {
        skip_space();
        if (at == line.size() || line[at] != wanted) return false;
        ++at;
        return true;
    };
    if (!take('{') || !take('"') || line.compare(at, 5, "name\"") != 0) return false;
    at += 5;
    if (!take(':') || !take('"')) return false;
    name.clear();
    while (at < line.size()) {
        const char c = line[at++];
        if (c == '"') return true;
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (c != '\\') {
            name += c;
            continue;
        }
        if (at == line.size()) return false;
        const char escape = line[at++];
        const char* const escapes = "\"\\/bfnrt";
        const char* const decoded = "\"\\/\b\f\n\r\t";
        if (escape != 'u') {
            const char* found = std::char_traits<char>::find(escapes, 8, escape);
            if (found == nullptr) return false;
            name += decoded[found - escapes];
            continue;
        }
        unsigned code = 0;
        if (!read_hex4(line, at, code)) return false;
        if (code >= 0xd800 && code < 0xdc00) {
            unsigned low = 0;
            if (line.compare(at, 2, "\\u") != 0) return false;
            at += 2;
            if (!read_hex4(line, at, low) || low < 0xdc00 || low >= 0xe000) return false;
            code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
        } else if (code >= 0xdc00 && code < 0xe000) {
            return false;
        }
        append_utf8(name, code);
    }
    return false;
}

// Whether `name` is well-formed UTF-8 with no control character: a name that
// can be a file's on every system (a NUL would cut it short there, a line end
// would split a listing's line).
bool is_file_name_text(std::string_view name) {
    for (std::size_t at = 0; at < name.size();) {
        const auto byte = static_cast<unsigned char>(name[at]);
        if (byte < 0x20 || byte == 0x7f) return false;
        const std::size_t length = utf8_sequence_length(name.data() + at, name.size() - at);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

// Where a line's output goes under an output directory; empty when the name
// gives no file name that is not hidden.
fs::path relative_for_name(const std::string& name) {
    const fs::path named = fs::u8path(name).lexically_normal();
    bool goes_up = false;
    for (const fs::path& part : named) goes_up = goes_up || part == "..";
    const fs::path last = named.filename();
    // ".", "a/..", "..\\x": no name, or one that listings hide.
    if (last.empty() || last.native()[0] == '.') return {};
    if (!named.has_root_name() && !named.has_root_directory() && !goes_up) return named;
    return last;
}

fs::path unnamed_relative(const fs::path& bundle, std::uint64_t line) {
    fs::path fallback = bundle.stem();
    fallback += "_" + std::to_string(line) + ".json";
    return fallback;
}

bool list_lines(const input_file& bundle, std::vector<input_file>& into) {
#ifdef _WIN32
    std::FILE* file = _wfopen(system_path(bundle.path).c_str(), L"rb");
#else
    std::FILE* file = std::fopen(bundle.path.c_str(), "rb");
#endif
    if (file == nullptr) return false;
    std::string text;
    std::uint64_t offset = 0, line = 0;
    bool failed = false;
    for (;;) {
        text.clear();
        int c = 0;
        while ((c = std::getc(file)) != EOF && c != '\n') text += static_cast<char>(c);
        if (c == EOF && std::ferror(file)) {
            failed = true;
            break;
        }
        if (c == EOF && text.empty()) break;
        ++line;
        bool blank = true;
        for (const char byte : text) blank = blank && is_space(byte);
        if (!blank) {
            input_file part = bundle;
            part.line = line;
            part.line_offset = offset;
            part.line_length = text.size();
            if (!leading_name(text, part.line_name)) part.line_name.clear();
            part.relative.clear();
            if (!part.line_name.empty() && is_file_name_text(part.line_name))
                part.relative = relative_for_name(part.line_name);
            part.line_name_unusable = !part.line_name.empty() && part.relative.empty();
            if (part.relative.empty()) part.relative = unnamed_relative(bundle.path, line);
            into.push_back(std::move(part));
        }
        offset += text.size() + (c == '\n' ? 1 : 0);
        if (c == EOF) break;
    }
    std::fclose(file);
    return !failed;
}

} // namespace

bool is_json_lines(const fs::path& name) { return has_extension(name, ".jsonl"); }

void expand_json_lines(std::vector<input_file>& inputs) {
    bool any = false;
    for (const input_file& input : inputs) any = any || (!input.error && is_json_lines(input.path));
    if (!any) return;
    std::vector<input_file> expanded;
    expanded.reserve(inputs.size());
    for (input_file& input : inputs) {
        if (input.error || !is_json_lines(input.path)) {
            expanded.push_back(std::move(input));
            continue;
        }
        const std::size_t before = expanded.size();
        if (!list_lines(input, expanded)) {
            const int error = errno != 0 ? errno : EIO;
            expanded.resize(before);
            input.error = std::error_code(error, std::generic_category());
            expanded.push_back(std::move(input));
        }
    }
    inputs = std::move(expanded);
}

} // namespace converter
