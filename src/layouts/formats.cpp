#include "layouts/formats.h"

#include <cctype>
#include <type_traits>

#include "layouts/count_check.h"
#include "layouts/dot_writer.h"
#include "layouts/dzn_reader.h"
#include "layouts/dzn_writer.h"
#include "layouts/json_reader.h"
#include "layouts/json_writer.h"
#include "layouts/rcp_reader.h"
#include "layouts/rcp_writer.h"
#include "layouts/sch_reader.h"
#include "layouts/sch_writer.h"
#include "layouts/sm_reader.h"
#include "layouts/sm_writer.h"

namespace converter {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

// Calls `visit` with each line of `text` (the last one possibly cut short)
// until it returns false.
template <typename visitor> void for_each_line(std::string_view text, visitor visit) {
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        if (!visit(text.substr(0, end))) return;
        if (end == std::string_view::npos) return;
        text.remove_prefix(end + 1);
    }
}

bool looks_like_sm(std::string_view start) {
    bool first = true, found = false;
    // PSPLIB's header says so in its first line, MMLIB's within its first
    // dozen: a sample of a file in another layout is not scanned to its end.
    constexpr int most_lines = 16;
    int lines = 0;
    for_each_line(start, [&](std::string_view line) {
        line = trimmed(line);
        if (line.empty()) return true;
        if (++lines > most_lines) return false;
        if (first && line.find_first_not_of('*') == std::string_view::npos) {
            found = true;
            return false;
        }
        // A layout of numbers (rcp, sch) starts with one; neither header does.
        if (first && ((line[0] >= '0' && line[0] <= '9') || line[0] == '-' || line[0] == '+')) return false;
        first = false;
        if (line.substr(0, 20) == "PRECEDENCE RELATIONS") {
            found = true;
            return false;
        }
        return true;
    });
    return found;
}

// "-?digits" at the start of `text`, taken off it.
bool take_integer(std::string_view& text) {
    std::size_t length = !text.empty() && text.front() == '-' ? 1 : 0;
    const std::size_t digits = length;
    while (length < text.size() && text[length] >= '0' && text[length] <= '9') ++length;
    if (length == digits) return false;
    text.remove_prefix(length);
    return true;
}

// The header the sch writer starts every file with: "N-2\tR\t0\t0", alone on
// its line. Patterson's files start with two numbers, never four so.
bool is_written_sch_header(std::string_view start) {
    const std::size_t end = start.find_first_of("\r\n");
    if (end == std::string_view::npos) return false;
    std::string_view line = start.substr(0, end);
    if (!take_integer(line) || line.empty() || line.front() != '\t') return false;
    line.remove_prefix(1);
    return take_integer(line) && line == "\t0\t0";
}

bool looks_like_sch(std::string_view start) {
    if (is_written_sch_header(start)) return true;
    std::size_t lines = 0;
    bool bracket = false, only_numbers = true;
    for_each_line(start, [&](std::string_view line) {
        if (trimmed(line).empty()) return true;
        for (const char c : line) {
            if (c == '[' || c == ']')
                bracket = true;
            else if (!is_blank(c) && c != '-' && c != '+' && (c < '0' || c > '9'))
                only_numbers = false;
        }
        return ++lines < content_sample_lines && only_numbers;
    });
    return bracket && only_numbers;
}

// MiniZinc data start with a comment or an assignment: a name, then "=".
bool looks_like_dzn(std::string_view start) {
    start = trimmed(start);
    while (!start.empty() && start.front() == '\n') start = trimmed(start.substr(1));
    if (!start.empty() && (start.front() == '%' || start.substr(0, 2) == "/*")) return true;
    std::size_t name = 0;
    while (name < start.size() && (std::isalnum(static_cast<unsigned char>(start[name])) || start[name] == '_')) ++name;
    if (name == 0 || std::isdigit(static_cast<unsigned char>(start[0]))) return false;
    const std::string_view rest = trimmed(start.substr(name));
    return !rest.empty() && rest.front() == '=';
}

// A JSON text of this layout starts with "{".
bool looks_like_json(std::string_view start) {
    start = trimmed(start);
    while (!start.empty() && start.front() == '\n') start = trimmed(start.substr(1));
    return !start.empty() && start.front() == '{';
}

// A drawing starts with its graph: "digraph".
bool looks_like_dot(std::string_view start) {
    start = trimmed(start);
    while (!start.empty() && start.front() == '\n') start = trimmed(start.substr(1));
    return start.substr(0, 7) == "digraph";
}

bool rcp_can_hold(const instance& source, const activity_naming& naming, message_text& why) {
    return has_no_general_lags(source, naming, "rcp", why) &&
           has_one_mode_and_renewable_resources(source, naming, "rcp", why);
}

bool sch_can_hold(const instance& source, const activity_naming& naming, message_text& why) {
    return has_one_mode_and_renewable_resources(source, naming, "sch", why);
}

bool sm_can_hold(const instance& source, const activity_naming& naming, message_text& why) {
    if (!has_no_negative_count(source, naming, why) || !has_no_general_lags(source, naming, "sm", why)) return false;
    if (has_one_mode_and_renewable_resources(source, naming, "sm", why)) return true;
    // PSPLIB's multi-mode layout holds them.
    why.append(" (use --to mm)");
    return false;
}

bool mm_can_hold(const instance& source, const activity_naming& naming, message_text& why) {
    return has_no_negative_count(source, naming, why) && has_no_general_lags(source, naming, "mm", why);
}

const layout_format formats[] = {
    {"rcp",
     ".rcp",
     "Patterson's layout, which converter reads",
     nullptr,
     read_rcp,
     rcp_can_hold,
     write_rcp,
     {"activity", "activities", 1},
     true},
    {"sch",
     ".sch",
     "RCPSP/max's layout, which converter writes",
     looks_like_sch,
     read_sch,
     sch_can_hold,
     write_sch,
     {"activity", "activities", 0},
     true},
    {"sm",
     ".sm",
     "PSPLIB's single-mode layout",
     looks_like_sm,
     read_sm,
     sm_can_hold,
     write_sm,
     {"job", "jobs", 1},
     true},
    {"mm",
     ".mm",
     "PSPLIB's multi-mode layout, which MMLIB's files are read as too",
     looks_like_sm,
     read_sm,
     mm_can_hold,
     write_sm,
     {"job", "jobs", 1},
     true},
    {"dzn",
     ".dzn",
     "MiniZinc data for the rcpsp, rcpsp_max and mrcpsp models",
     looks_like_dzn,
     read_dzn,
     dzn_can_hold,
     write_dzn,
     {"task", "tasks", 1},
     false},
    {"json",
     ".json",
     "a JSON layout, for Python, JavaScript, R and the web",
     looks_like_json,
     read_json,
     has_no_negative_count,
     write_json,
     {nullptr, "activities", 0},
     true},
    {"dot",
     ".dot",
     "Graphviz's layout, a drawing of the network",
     looks_like_dot,
     nullptr,
     nullptr,
     write_dot,
     {"activity", "activities", 1},
     false},
};

} // namespace

const layout_format* formats_begin() { return formats; }
const layout_format* formats_end() { return formats + sizeof formats / sizeof formats[0]; }

// Whether `written` (narrow or, on Windows, wide characters) is `own`, which is
// in lower case, with ASCII letters compared without case.
template <typename text> bool same_without_case(const text& written, std::string_view own) {
    if (written.size() != own.size()) return false;
    for (std::size_t index = 0; index < own.size(); ++index) {
        const auto c = static_cast<std::make_unsigned_t<typename text::value_type>>(written[index]);
        if (c >= 128 || std::tolower(static_cast<int>(c)) != own[index]) return false;
    }
    return true;
}

const layout_format* find_format(std::string_view name) {
    for (const layout_format* format = formats_begin(); format != formats_end(); ++format)
        if (same_without_case(name, format->name)) return format;
    return nullptr;
}

bool has_extension(const std::filesystem::path& path, std::string_view extension) {
    // As path::extension() takes it, from the native text in place: asked
    // for every file of a set, per layout, a new path each time is the
    // listing's main cost.
    using string_view_type = std::basic_string_view<std::filesystem::path::value_type>;
    const string_view_type text(path.native());
#ifdef _WIN32
    const std::size_t separator = text.find_last_of(L"/\\");
#else
    const std::size_t separator = text.rfind('/');
#endif
    const string_view_type name = separator == string_view_type::npos ? text : text.substr(separator + 1);
    const std::size_t dot = name.rfind('.');
    // ".profile", "." and "..": no extension.
    if (dot == string_view_type::npos || dot == 0 || (name.size() == 2 && name[0] == '.')) return false;
    return same_without_case(name.substr(dot), extension);
}

const layout_format* format_of_extension(const std::filesystem::path& path) {
    for (const layout_format* format = formats_begin(); format != formats_end(); ++format)
        if (format->read != nullptr && has_extension(path, format->extension)) return format;
    return nullptr;
}

const layout_format& format_of_content(std::string_view start) {
    if (start.substr(0, 3) == std::string_view(byte_order_mark, 3)) start.remove_prefix(3);
    for (const layout_format* format = formats_begin(); format != formats_end(); ++format)
        if (format->read != nullptr && format->looks_like != nullptr && format->looks_like(start)) return *format;
    return rcp_format();
}

bool is_written_in(const layout_format& layout, std::string_view start) {
    if (layout.read == nullptr) return layout.looks_like != nullptr && layout.looks_like(start);
    // Layouts that share a reader (sm and mm) share their content's signs.
    return format_of_content(start).read == layout.read;
}

const layout_format& rcp_format() { return formats[0]; }
const layout_format& sch_format() { return formats[1]; }
const layout_format& json_format() { return formats[5]; }

} // namespace converter
