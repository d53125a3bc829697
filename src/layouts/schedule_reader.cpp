#include "layouts/schedule_reader.h"

#include <algorithm>
#include <string>

#include "instance/number_text.h"

namespace converter {
namespace {

using kind = read_failure::kind;

bool is_name_byte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The text read in one pass, each place known by its line and column.
class schedule_parser {
public:
    schedule_parser(std::string_view text, schedule_file& result) : text_(text), result_(result) {}

    read_failure run() {
        bool open = false; // a solution begun and not yet closed by "----------"
        while (skip_blank(), at_ < text_.size()) {
            if (line_is("----------")) {
                if (!open) result_.solutions.emplace_back(); // a solution of no assignment
                open = false;
                continue;
            }
            if (line_is("==========")) {
                result_.optimal = true;
                continue;
            }
            if (line_is("=====UNSATISFIABLE=====")) {
                result_.unsatisfiable = true;
                continue;
            }
            if (line_is("=====UNKNOWN=====") || line_is("=====ERROR=====") || line_is("=====UNBOUNDED=====")) {
                result_.unknown = true;
                continue;
            }
            if (!open) {
                result_.solutions.emplace_back();
                open = true;
            }
            if (!read_assignment(result_.solutions.back())) return failure_;
        }
        if (result_.solutions.empty() && !result_.unsatisfiable && !result_.unknown) {
            fail(kind::end_of_file, "a solution (\"Start times = [...]\", \"s = [...];\", {\"starts\": [...]})");
            return failure_;
        }
        return {};
    }

private:
    void advance() {
        if (text_[at_] == '\n') {
            ++line_ends_;
            line_start_ = at_ + 1;
        }
        ++at_;
    }

    // Blanks, line ends, and what only frames assignments: JSON's braces and
    // commas, dzn's semicolons, comments to the line's end.
    void skip_blank() {
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '{' || c == '}' || c == ',' || c == ';') {
                advance();
            } else if (c == '%') {
                while (at_ < text_.size() && text_[at_] != '\n') advance();
            } else {
                break;
            }
        }
    }

    void skip_spaces() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
            advance();
    }

    // Whether the line from here is `marker` and nothing but blanks; if so, past it.
    bool line_is(std::string_view marker) {
        if (text_.compare(at_, marker.size(), marker) != 0) return false;
        std::size_t end = at_ + marker.size();
        while (end < text_.size() && (text_[end] == ' ' || text_[end] == '\t' || text_[end] == '\r')) ++end;
        if (end < text_.size() && text_[end] != '\n') return false;
        while (at_ < end) advance();
        return true;
    }

    read_failure place() const {
        read_failure where;
        where.offset = at_;
        where.line_ends_before = line_ends_;
        where.line_start = line_start_;
        return where;
    }

    std::string_view token() const {
        std::size_t end = at_;
        while (end < text_.size() && (is_name_byte(text_[end]) || text_[end] == '-' || text_[end] == '.')) ++end;
        if (end == at_ && at_ < text_.size()) ++end;
        return text_.substr(at_, end - at_);
    }

    bool fail(kind what, const char* phrase, const char* reason = nullptr) {
        failure_ = place();
        failure_.what = at_ >= text_.size() ? kind::end_of_file : what;
        failure_.expected = {{}, 0, 0, phrase};
        failure_.reason = reason;
        if (failure_.what != kind::end_of_file) {
            const std::string_view found = token();
            failure_.set_found(found.data(), found.size(), false);
        }
        return false;
    }

    // `name = value` or `"name": value`; names of several words ("Start
    // times") as the default output writes them.
    bool read_assignment(schedule_solution& solution) {
        std::string name;
        if (text_[at_] == '"') {
            advance();
            while (at_ < text_.size() && text_[at_] != '"' && text_[at_] != '\n') {
                name += text_[at_];
                advance();
            }
            if (at_ == text_.size() || text_[at_] != '"')
                return fail(kind::unexpected, "the end of the name, \"\\\"\"");
            advance();
        } else {
            while (at_ < text_.size() && (is_name_byte(text_[at_]) || text_[at_] == ' ')) {
                name += text_[at_];
                advance();
            }
            while (!name.empty() && name.back() == ' ') name.pop_back();
            if (name.empty()) return fail(kind::unexpected, "a name and its value, as \"s = [...];\"");
        }
        skip_spaces();
        if (at_ == text_.size() || (text_[at_] != '=' && text_[at_] != ':'))
            return fail(kind::unexpected, "\"=\" or \":\" after the name");
        advance();
        skip_spaces();
        if (name == "Start times" || name == "s" || name == "start" || name == "starts") {
            if (name == "starts") result_.plain = true;
            solution.starts_at = place();
            return read_numbers(solution.starts, "the start times, an array of integers");
        }
        if (name == "modes") {
            solution.has_modes = true;
            solution.modes_at = place();
            return read_numbers(solution.modes, "the modes, an array of integers");
        }
        if (name == "mrun") {
            solution.has_mode_run = true;
            solution.mode_run_at = place();
            return read_booleans(solution.mode_run);
        }
        if (name == "makespan" || name == "objective") {
            std::int64_t value = 0;
            if (!read_integer(value, "the makespan, an integer")) return false;
            solution.reported = value;
            return true;
        }
        return skip_value();
    }

    bool read_integer(std::int64_t& value, const char* phrase) {
        std::size_t end = at_;
        if (end < text_.size() && (text_[end] == '-' || text_[end] == '+')) ++end;
        while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9') ++end;
        const std::string_view digits = text_.substr(at_, end - at_);
        const kind verdict = digits.empty() ? kind::not_an_integer : parse_int64(digits, value);
        // Times this far out leave room to add durations and lags, and to
        // subtract two, without overflow; no schedule comes near them.
        constexpr std::int64_t largest = 1000000000000000;
        if (verdict == kind::none && (value > largest || value < -largest)) {
            fail(kind::unexpected, phrase, "which is outside -10^15..10^15, the values a schedule can hold");
            return false;
        }
        if (verdict != kind::none || (end < text_.size() && (is_name_byte(text_[end]) || text_[end] == '.'))) {
            fail(verdict == kind::out_of_range ? kind::unexpected : kind::not_an_integer, phrase,
                 verdict == kind::out_of_range ? "which is outside the signed 64-bit range" : nullptr);
            return false;
        }
        while (at_ < end) advance();
        return true;
    }

    template <typename each> bool read_array(const char* phrase, each take) {
        if (at_ == text_.size() || text_[at_] != '[') return fail(kind::unexpected, phrase);
        advance();
        for (;;) {
            skip_spaces();
            if (at_ < text_.size() && text_[at_] == ']') {
                advance();
                return true;
            }
            if (!take()) return false;
            skip_spaces();
            if (at_ < text_.size() && text_[at_] == ',') {
                advance();
                continue;
            }
            if (at_ < text_.size() && text_[at_] == ']') continue;
            return fail(kind::unexpected, "\",\" or \"]\"");
        }
    }

    bool read_numbers(std::vector<std::int64_t>& values, const char* phrase) {
        values.clear();
        return read_array(phrase, [&] {
            std::int64_t value = 0;
            if (!read_integer(value, "an integer")) return false;
            values.push_back(value);
            return true;
        });
    }

    bool read_booleans(std::vector<char>& values) {
        values.clear();
        return read_array("mrun, an array of true and false", [&] {
            for (const std::string_view word : {std::string_view("true"), std::string_view("false")})
                if (text_.compare(at_, word.size(), word) == 0 &&
                    (at_ + word.size() == text_.size() || !is_name_byte(text_[at_ + word.size()]))) {
                    for (std::size_t index = 0; index < word.size(); ++index) advance();
                    values.push_back(word[0] == 't' ? 1 : 0);
                    return true;
                }
            return fail(kind::unexpected, "true or false");
        });
    }

    // A value of a name not known here: a word, a number, a string, or an
    // array or set of them, nested.
    bool skip_value() {
        int depth = 0;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '[' || c == '{' || c == '(') {
                ++depth;
            } else if (c == ']' || c == '}' || c == ')') {
                if (depth == 0) return true;
                --depth;
            } else if (c == '"') {
                advance();
                while (at_ < text_.size() && text_[at_] != '"') advance();
            } else if ((c == ';' || c == ',' || c == '\n') && depth == 0) {
                return true;
            }
            if (at_ < text_.size()) advance();
        }
        return depth == 0 || fail(kind::end_of_file, "the end of the value");
    }

    std::string_view text_;
    schedule_file& result_;
    std::size_t at_ = 0;
    std::uint64_t line_ends_ = 0, line_start_ = 0;
    read_failure failure_;
};

bool refuse_at(const read_failure& place, const char* phrase, std::int64_t number, const char* reason,
               read_failure& why) {
    why = place;
    why.what = kind::unexpected;
    why.expected = {{}, 0, number, phrase};
    why.reason = reason;
    why.set_found("[", 1, false);
    return false;
}

} // namespace

read_failure read_schedule(std::string_view text, schedule_file& result) {
    result = schedule_file{};
    return schedule_parser(text, result).run();
}

bool to_schedule(const instance& source, const schedule_file& file, const schedule_solution& solution, schedule& plan,
                 read_failure& why) {
    const auto activities = static_cast<std::size_t>(source.activity_count > 0 ? source.activity_count : 0);
    const bool modes = has_modes(source);
    // MiniZinc's data leave the dummies out when the first and last activity are ones.
    const bool tasks_only = !file.plain && activities >= 2 && solution.starts.size() + 2 == activities;
    if (!file.plain && !tasks_only && solution.starts.size() != activities)
        return refuse_at(solution.starts_at, "{n} start times, one per task (the dummies left out)",
                         static_cast<std::int64_t>(activities >= 2 ? activities - 2 : 0), "an array of another size",
                         why);
    if (file.plain && solution.starts.size() != activities)
        return refuse_at(solution.starts_at, "{n} start times, one per activity (the dummies included)",
                         static_cast<std::int64_t>(activities), "an array of another size", why);
    const std::size_t first = tasks_only ? 1 : 0;
    plan.starts.assign(activities, 0);
    std::copy(solution.starts.begin(), solution.starts.end(), plan.starts.begin() + static_cast<std::ptrdiff_t>(first));
    plan.modes.clear();
    if (modes) {
        plan.modes.assign(activities, 1);
        if (file.plain) {
            if (solution.modes.size() != activities)
                return refuse_at(solution.modes_at, "{n} modes, one per activity",
                                 static_cast<std::int64_t>(activities), "an array of another size", why);
            plan.modes = solution.modes;
        } else {
            if (!solution.has_mode_run)
                return refuse_at(solution.starts_at, "mrun beside the start times, for an instance with modes", 0,
                                 "without it", why);
            std::size_t options = 0;
            for (std::size_t activity = first; activity < activities - first; ++activity)
                options += static_cast<std::size_t>(modes_of(source, activity));
            if (solution.mode_run.size() != options)
                return refuse_at(solution.mode_run_at, "mrun with {n} Booleans, one per mode (n_opt)",
                                 static_cast<std::int64_t>(options), "an array of another size", why);
            std::size_t option = 0;
            for (std::size_t activity = first; activity < activities - first; ++activity) {
                std::int64_t picked = 0;
                std::size_t trues = 0;
                for (std::int32_t mode = 0; mode < modes_of(source, activity); ++mode, ++option)
                    if (solution.mode_run[option] != 0) {
                        ++trues;
                        picked = mode + 1;
                    }
                if (trues != 1)
                    return refuse_at(solution.mode_run_at, "one true in mrun for each task, task {n} too",
                                     static_cast<std::int64_t>(activity - first + 1),
                                     trues == 0 ? "an array with none for it" : "an array with several for it", why);
                plan.modes[activity] = picked;
            }
        }
    } else if (file.plain && solution.has_modes && solution.modes.size() != activities) {
        return refuse_at(solution.modes_at, "{n} modes, one per activity", static_cast<std::int64_t>(activities),
                         "an array of another size", why);
    }
    if (tasks_only) {
        // The sink at the latest finish of the tasks, in their chosen modes.
        std::int64_t latest = 0;
        for (std::size_t activity = 1, place = static_cast<std::size_t>(modes_of(source, 0)); activity + 1 < activities;
             ++activity) {
            const std::int64_t mode = modes ? plan.modes[activity] : 1;
            const std::int32_t count = modes_of(source, activity);
            if (mode >= 1 && mode <= count)
                latest = std::max(latest,
                                  plan.starts[activity] + source.durations[place + static_cast<std::size_t>(mode - 1)]);
            place += static_cast<std::size_t>(count);
        }
        plan.starts[activities - 1] = latest;
    }
    return true;
}

} // namespace converter
