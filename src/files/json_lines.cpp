#include "files/json_lines.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "files/compressed_input.h"
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
    if (named.has_root_name() || named.has_root_directory() || goes_up) return last;
    // Nor a directory that listings hide (".git/x", "..\\x/y").
    for (const fs::path& part : named)
        if (part.native()[0] == '.') return {};
    return named;
}

constexpr std::size_t chunk = 64 * 1024;

} // namespace

bool is_json_lines(const fs::path& name) { return has_extension(without_compression(name), ".jsonl"); }

fs::path unnamed_relative(const fs::path& bundle, std::uint64_t line) {
    fs::path fallback = without_compression(bundle).stem();
    fallback += "_" + std::to_string(line) + ".json";
    return fallback;
}

void name_line(const fs::path& bundle, json_line& line) {
    if (!leading_name(line.text, line.name)) line.name.clear();
    line.relative.clear();
    if (!line.name.empty() && is_file_name_text(line.name)) line.relative = relative_for_name(line.name);
    line.name_unusable = !line.name.empty() && line.relative.empty();
    if (line.relative.empty()) line.relative = unnamed_relative(bundle, line.number);
}

json_lines_reader::~json_lines_reader() {
    decompressed_.reset();
    if (descriptor_ < 0) return;
#ifdef _WIN32
    _close(descriptor_);
#else
    close(descriptor_);
#endif
}

bool json_lines_reader::open(const fs::path& path, int& error) {
    path_ = path;
    // Binary: a line is read byte for byte, its CR the line's white space.
#ifdef _WIN32
    descriptor_ = _wopen(system_path(path).c_str(), _O_RDONLY | _O_BINARY);
#else
    descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
    if (descriptor_ < 0) {
        error = errno != 0 ? errno : EIO;
        return false;
    }
    source_ = descriptor_source(&descriptor_);
    compression kind;
    if (compression_of(path, kind)) {
        decompressed_ = std::make_unique<decompressing_source>(kind, source_);
        source_ = decompressed_->source();
    }
    buffer_.resize(chunk);
    return true;
}

bool json_lines_reader::fill() {
    if (ended_ || error_ != 0) return false;
    int error = 0;
    const std::size_t count = source_.read(source_.context, buffer_.data(), buffer_.size(), error);
    start_ = 0;
    end_ = count;
    if (count != 0) return true;
    if (error != 0)
        error_ = error;
    else
        ended_ = true;
    return false;
}

bool json_lines_reader::next(json_line& line) {
    for (;;) {
        line.text.clear();
        line.offset = offset_;
        bool any = false, line_end = false;
        while (start_ != end_ || fill()) {
            any = true;
            const char* const from = buffer_.data() + start_;
            const auto* const found = static_cast<const char*>(std::memchr(from, '\n', end_ - start_));
            const std::size_t taken = found != nullptr ? static_cast<std::size_t>(found - from) : end_ - start_;
            line.text.append(from, taken);
            start_ += taken + (found != nullptr ? 1 : 0);
            offset_ += taken + (found != nullptr ? 1 : 0);
            if (found != nullptr) {
                line_end = true;
                break;
            }
        }
        if (!any || error_ != 0) return false;
        ++line_;
        bool blank = true;
        for (const char byte : line.text) blank = blank && is_space(byte);
        if (blank) continue;
        line.number = line_;
        line.bytes = line.text.size() + (line_end ? 1 : 0);
        name_line(path_, line);
        return true;
    }
}

bool json_lines_reader::failed(message_text& message) const {
    if (decompressed_ != nullptr && decompressed_->failed(message)) return true;
    if (error_ == 0) return false;
    message = message_text("Can't read the input file: ").append(std::strerror(error_)).append(".");
    return true;
}

void index_json_lines(std::vector<input_file>& inputs) {
    for (input_file& input : inputs) {
        if (input.error || !is_json_lines(input.path)) continue;
        json_lines_reader reader;
        int error = 0;
        if (!reader.open(input.path, error)) {
            input.error = std::error_code(error, std::generic_category());
            continue;
        }
        auto index = std::make_shared<bundle_index>();
        json_line line;
        while (reader.next(line)) {
            ++index->instances;
            if (line.name_unusable) index->unusable.push_back(line.number);
            if (line.name.empty() || line.name_unusable) {
                const std::uint64_t bit = line.number - 1;
                if (index->unnamed.size() <= bit / 64) index->unnamed.resize(bit / 64 + 1, 0);
                index->unnamed[bit / 64] |= std::uint64_t{1} << (bit % 64);
            } else {
                index->named.push_back({line.number, std::move(line.relative)});
            }
        }
        input.bundle = std::move(index);
    }
}

} // namespace converter
