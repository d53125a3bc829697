#include "files/reference_table.h"

#include <vector>

#include "instance/number_text.h"

namespace converter {
namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

bool number(std::string_view text, std::int64_t& value) {
    return !text.empty() && parse_int64(trimmed(text), value) == read_failure::kind::none;
}

// "43", "40..43", "..43".
bool value_of(std::string_view text, reference_value& value) {
    text = trimmed(text);
    const std::size_t dots = text.find("..");
    std::int64_t low = 0, high = 0;
    if (dots == std::string_view::npos) {
        if (!number(text, low)) return false;
        value.lower = value.upper = low;
        return true;
    }
    if (!number(text.substr(dots + 2), high)) return false;
    value.upper = high;
    if (dots == 0) return true;
    if (!number(text.substr(0, dots), low) || low > high) return false;
    value.lower = low;
    return true;
}

std::string stem_of(std::string_view name) {
    name = trimmed(name);
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    const std::size_t dot = name.find('.');
    return std::string(name.substr(0, dot));
}

std::vector<std::string_view> fields_of(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
        const std::size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r') ++at;
        if (at > start) fields.push_back(line.substr(start, at - start));
    }
    return fields;
}

} // namespace

bool reference_table::read(std::string_view text, std::string_view set_name, message_text& why) {
    std::uint64_t line_number = 0;
    bool psplib = false, header_seen = false;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trimmed(text.substr(start, end - start));
        start = end + 1;
        ++line_number;
        if (line.empty()) continue;
        const auto refuse = [&](const char* what) {
            why = message_text("line ").append_number(static_cast<std::int64_t>(line_number)).append(": ").append(what);
            return false;
        };
        if (!header_seen) {
            header_seen = true;
            psplib = line.substr(0, 3) == "Par";
            if (psplib || line.find(',') != std::string_view::npos) continue; // the header
        }
        if (psplib) {
            // "1  1  43 ...": the parameter set, the instance, the makespan (or a bound).
            const std::vector<std::string_view> fields = fields_of(line);
            std::int64_t parameter = 0, instance = 0;
            if (fields.size() < 3 || !number(fields[0], parameter) || !number(fields[1], instance)) {
                if (line.find_first_not_of("=-* ") == std::string_view::npos) continue; // a rule
                return refuse("expected the parameter set, the instance and the makespan");
            }
            reference_value value;
            if (!value_of(fields[2], value)) return refuse("expected a makespan");
            values_[std::string(set_name) + std::to_string(parameter) + "_" + std::to_string(instance)] = value;
            continue;
        }
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos) return refuse("expected problem,optimum");
        reference_value value;
        std::string_view rest = line.substr(comma + 1);
        rest = rest.substr(0, rest.find(','));
        if (!value_of(rest, value)) return refuse("expected an optimum (43), bounds (40..43) or an upper bound (..43)");
        values_[stem_of(line.substr(0, comma))] = value;
    }
    if (values_.empty()) {
        why = message_text("the table holds no value");
        return false;
    }
    return true;
}

const reference_value* reference_table::find(const std::string& stem) const {
    const auto found = values_.find(stem);
    return found == values_.end() ? nullptr : &found->second;
}

} // namespace converter
