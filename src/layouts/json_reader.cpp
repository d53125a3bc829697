#include "layouts/json_reader.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "instance/char_scanner.h"
#include "instance/number_text.h"
#include "instance/utf8.h"

namespace converter {
namespace {

using kind = read_failure::kind;

class json_parser {
public:
    json_parser(char_scanner& scanner, instance& result) : in_(scanner), result_(result) {}

    read_failure run() {
        if (!in_.ready()) return read_failure::out_of_memory_failure();
        in_.skip_byte_order_mark();
        if (read_instance_object()) {
            in_.skip_space();
            if (in_.peek() != -1) fail_here(kind::unexpected, "the end of the file after the instance's object");
        }
        if (in_.error() != 0 && failure_.what != kind::out_of_memory) {
            failure_ = read_failure{};
            failure_.what = kind::read_error;
            failure_.system_error = in_.error();
        }
        if (!failure_) {
            keep_lags();
            drop_single_modes_and_renewable_kinds(result_);
        }
        return failure_;
    }

private:
    // Fills the failure at the next token, quoting it: a string, a word (a
    // number, true, 1.0), or one byte.
    bool fail_here(kind what, const char* phrase, std::int64_t activity = 0, std::int64_t number = 0,
                   const char* reason = nullptr) {
        in_.skip_space();
        failure_.expected = {{}, activity, number, phrase};
        failure_.reason = reason;
        in_.describe_next(failure_, what, true, false);
        return false;
    }

    bool expect(char wanted, const char* phrase, std::int64_t activity = 0, std::int64_t number = 0) {
        in_.skip_space();
        if (in_.peek() == static_cast<unsigned char>(wanted)) {
            in_.advance();
            return true;
        }
        return fail_here(kind::unexpected, phrase, activity, number);
    }

    // A string, decoded, into `text` (keys are short: a longer one is kept cut,
    // which no known key matches); `start` gets its place and its text as
    // written, for a failure that names it.
    bool read_string(std::string& text, read_failure& start, const char* phrase, std::int64_t activity = 0,
                     std::size_t limit = 64) {
        in_.skip_space();
        if (in_.peek() != '"') return fail_here(kind::unexpected, phrase, activity);
        // The string as written is kept while it is decoded, for `start`: one
        // pass over it, as every key of every activity takes.
        const char_scanner::mark at = in_.here();
        char written[read_failure::found_limit];
        std::size_t written_size = 0;
        bool cut = false;
        const auto keep = [&](int c) {
            if (written_size < sizeof written)
                written[written_size++] = static_cast<char>(c);
            else
                cut = true;
        };
        keep('"');
        in_.advance();
        text.clear();
        for (;;) {
            int c = in_.peek();
            if (c == -1 || c < 0x20) return fail_here(kind::unexpected, "the end of the string");
            in_.advance();
            if (c == '"') {
                // A closing quote with no room left is dropped, not a cut.
                if (written_size < sizeof written) written[written_size++] = '"';
                char_scanner::place(start, at);
                start.what = kind::unexpected;
                start.set_found(written, written_size, cut);
                return true;
            }
            if (c == '\\') {
                char_scanner::mark at_escape = in_.here();
                --at_escape.offset;
                keep(c);
                c = in_.peek();
                const char* escapes = "\"\\/bfnrt";
                const char* decoded = "\"\\/\b\f\n\r\t";
                const char* found = c == -1 ? nullptr : std::strchr(escapes, c);
                if (c != 'u' && (found == nullptr || c == 0)) return fail_here(kind::unexpected, "an escape of JSON's");
                in_.advance();
                keep(c);
                if (c == 'u') {
                    unsigned code = 0;
                    if (!read_hex4(code, keep)) return false;
                    // A surrogate stands for a character only in a pair, high then
                    // low; either alone is no text, and writing it would give
                    // outputs that are not UTF-8.
                    if (code >= 0xdc00 && code < 0xe000)
                        return fail_at_escape(at_escape, code, "a character", "a low surrogate without its high one");
                    if (code >= 0xd800 && code < 0xdc00) {
                        unsigned low = 0;
                        if (in_.peek() != '\\' || in_.peek(1) != 'u')
                            return fail_at_escape(at_escape, code, "a character",
                                                  "a high surrogate without a low one after it");
                        in_.advance();
                        keep('\\');
                        in_.advance();
                        keep('u');
                        if (!read_hex4(low, keep)) return false;
                        if (low < 0xdc00 || low >= 0xe000)
                            return fail_at_escape(at_escape, code, "a character",
                                                  "a high surrogate without a low one after it");
                        code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
                    }
                    append_utf8(text, code);
                } else {
                    text += decoded[found - escapes];
                }
            } else {
                keep(c);
                if (text.size() < limit) text += static_cast<char>(c);
            }
        }
    }

    // A \\u escape at `at` that stands for no character, quoted as \\uXXXX.
    bool fail_at_escape(const char_scanner::mark& at, unsigned code, const char* phrase, const char* reason) {
        failure_ = read_failure();
        char_scanner::place(failure_, at);
        failure_.what = kind::unexpected;
        failure_.expected = {{}, 0, 0, phrase};
        failure_.reason = reason;
        char written[6] = {'\\', 'u'};
        for (int digit = 0; digit < 4; ++digit)
            written[2 + digit] = "0123456789abcdef"[(code >> (12 - 4 * digit)) & 15];
        failure_.set_found(written, sizeof written, false);
        return false;
    }

    // Four hexadecimal digits after \\u, each handed to `keep` as written.
    template <typename keeper> bool read_hex4(unsigned& code, keeper& keep) {
        code = 0;
        for (int digit = 0; digit < 4; ++digit) {
            const int h = in_.peek();
            const int value = h >= '0' && h <= '9'   ? h - '0'
                              : h >= 'a' && h <= 'f' ? h - 'a' + 10
                              : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                     : -1;
            if (value < 0) return fail_here(kind::unexpected, "four hexadecimal digits after \\u");
            code = code * 16 + static_cast<unsigned>(value);
            in_.advance();
            keep(h);
        }
        return true;
    }

    // An integer within 32 bits, as JSON writes one: an optional minus and
    // digits without a leading zero.
    bool read_int(std::int32_t& value, const char* phrase, std::int64_t activity = 0, std::int64_t number = 0) {
        in_.skip_space();
        if (in_.next_short_int(value)) return true;
        return read_integer(value, phrase, activity, number);
    }

    static kind parse_number(std::string_view word, std::int32_t& value) { return parse_int32(word, value); }
    static kind parse_number(std::string_view word, std::int64_t& value) { return parse_int64(word, value); }

    // The same within 64 bits, for the header values a writer may derive past
    // 32 (the horizon, the MPM time).
    bool read_wide(std::int64_t& value, const char* phrase) {
        in_.skip_space();
        return read_integer(value, phrase, 0, 0);
    }

    template <typename number_type>
    bool read_integer(number_type& value, const char* phrase, std::int64_t activity, std::int64_t number) {
        char text[read_failure::found_limit + 1];
        std::size_t size = 0;
        for (int c = in_.peek(); c != -1 && is_word_byte(c) && size < sizeof text; c = in_.peek(size))
            text[size++] = static_cast<char>(c);
        const std::string_view word(text, size);
        const std::size_t digits_from = !word.empty() && word[0] == '-' ? 1 : 0;
        bool integer = word.size() > digits_from && (word[digits_from] != '0' || word.size() == digits_from + 1);
        for (std::size_t index = digits_from; index < word.size() && integer; ++index)
            integer = word[index] >= '0' && word[index] <= '9';
        kind verdict = kind::not_an_integer;
        constexpr bool wide = sizeof(number_type) == 8;
        if (integer) {
            if (size == sizeof text)
                verdict = kind::out_of_range;
            else
                verdict = parse_number(word, value);
        }
        if (verdict == kind::none) {
            for (std::size_t index = 0; index < size; ++index) in_.advance();
            return true;
        }
        if (wide && verdict == kind::out_of_range)
            return fail_here(kind::unexpected, phrase, activity, number, "which is outside the signed 64-bit range");
        return fail_here(verdict, phrase, activity, number);
    }

    // "[v, v, ...]" into `store`, each value less `minus`; `count` is how many.
    bool read_array(int_store& store, std::int32_t minus, std::int64_t& count, const char* array_phrase,
                    const char* value_phrase, std::int64_t activity) {
        if (!expect('[', array_phrase, activity)) return false;
        count = 0;
        in_.skip_space();
        if (in_.peek() == ']') {
            in_.advance();
            return true;
        }
        const std::int32_t stop_at = minus < 0 ? std::numeric_limits<std::int32_t>::max() : 0;
        for (;;) {
            const int fast = in_.next_int_list(
                [&](std::int32_t value) {
                    if (stop_at != 0 && value == stop_at) return 0;
                    if (!store.push_back(value)) return -1;
                    ++count;
                    return 1;
                },
                ']');
            if (fast < 0) return memory_failed();
            if (fast > 0) {
                in_.advance();
                return true;
            }
            std::int32_t value = 0;
            if (!read_int(value, value_phrase, activity, count + 1)) return false;
            if (minus < 0 && value == std::numeric_limits<std::int32_t>::max()) {
                // Back to the value's place, to quote it.
                return fail_back(activity, count + 1, value_phrase);
            }
            if (!store.push_back(value)) return memory_failed();
            ++count;
            in_.skip_space();
            const int c = in_.peek();
            if (c == ']') {
                in_.advance();
                return true;
            }
            if (c != ',') return fail_here(kind::unexpected, "\",\" or \"]\"");
            in_.advance();
        }
    }

    bool fail_back(std::int64_t activity, std::int64_t number, const char* phrase) {
        failure_.what = kind::unexpected;
        failure_.expected = {{}, activity, number, phrase};
        failure_.reason = "whose 1-based number is outside the signed 32-bit range";
        in_.place(failure_);
        failure_.offset -= 10;
        failure_.set_found("2147483647", 10, false);
        return false;
    }

    bool read_instance_object() {
        if (!expect('{', "the instance's object, \"{\"")) return false;
        bool capacities = false, activities = false, named = false, header_read = false, sch_read = false;
        std::string key;
        in_.skip_space();
        if (in_.peek() != '}') {
            for (;;) {
                read_failure key_place;
                if (!read_string(key, key_place, "the key \"capacities\" or \"activities\"")) return false;
                // A line of a set's JSON Lines file names its instance.
                if (key == "psplib" && !header_read) {
                    header_read = true;
                    if (!expect(':', "\":\" after the key") || !read_header()) return false;
                    in_.skip_space();
                    if (in_.peek() == '}') break;
                    if (!expect(',', "\",\" or \"}\"")) return false;
                    continue;
                }
                // The sch form of the capacities line, which an .sch file held.
                if (key == "sch" && !sch_read) {
                    sch_read = true;
                    if (!expect(':', "\":\" after the key") || !read_sch_form()) return false;
                    in_.skip_space();
                    if (in_.peek() == '}') break;
                    if (!expect(',', "\",\" or \"}\"")) return false;
                    continue;
                }
                if (key == "name" && !named) {
                    named = true;
                    std::string ignored;
                    if (!expect(':', "\":\" after the key") ||
                        !read_string(ignored, key_place, "the instance's name, a string"))
                        return false;
                    in_.skip_space();
                    if (in_.peek() == '}') break;
                    if (!expect(',', "\",\" or \"}\"")) return false;
                    continue;
                }
                if (key == "kinds" && !kinds_read_) {
                    kinds_read_ = true;
                    if (!expect(':', "\":\" after the key") || !read_kinds()) return false;
                    in_.skip_space();
                    if (in_.peek() == '}') break;
                    if (!expect(',', "\",\" or \"}\"")) return false;
                    continue;
                }
                if (key == "kinds" || key == "psplib" || key == "name" || key == "sch")
                    return fail_at(key_place,
                                   key == "kinds"    ? "\"kinds\" once"
                                   : key == "psplib" ? "\"psplib\" once"
                                   : key == "sch"    ? "\"sch\" once"
                                                     : "\"name\" once",
                                   0, "given twice");
                if (key != "capacities" && key != "activities")
                    return fail_at(key_place, "the key \"capacities\" or \"activities\"", 0,
                                   "which this layout does not hold");
                bool& seen = key == "capacities" ? capacities : activities;
                if (seen)
                    return fail_at(key_place, key == "capacities" ? "\"capacities\" once" : "\"activities\" once", 0,
                                   "given twice");
                seen = true;
                if (!expect(':', "\":\" after the key")) return false;
                if (key == "capacities") {
                    place_of_capacities_ = read_failure{};
                    in_.skip_space();
                    in_.place(place_of_capacities_);
                    std::int64_t count = 0;
                    if (!read_array(result_.capacities, 0, count, "the capacities' array, \"[\"", "capacity {n}", 0))
                        return false;
                    if (count > std::numeric_limits<std::int32_t>::max()) return memory_failed();
                    result_.resource_count = static_cast<std::int32_t>(count);
                    if (demand_count_ >= 0 && demand_count_ != count) return demands_disagree();
                } else if (!read_activities(capacities)) {
                    return false;
                }
                in_.skip_space();
                if (in_.peek() == '}') break;
                if (!expect(',', "\",\" or \"}\"")) return false;
            }
        }
        if (!capacities || !activities) {
            in_.skip_space();
            return fail_here(kind::unexpected, capacities ? "the key \"activities\"" : "the key \"capacities\"");
        }
        if (kinds_read_ && static_cast<std::int64_t>(result_.resource_kinds.size()) != result_.resource_count) {
            failure_ = place_of_kinds_;
            failure_.expected = {
                {}, 0, result_.resource_count, "the kinds, one for each of the {n} {|capacity|capacities}"};
            failure_.reason = "an array of another length";
            return false;
        }
        in_.advance();
        return true;
    }

    // "kinds": ["renewable", "nonrenewable", "doubly constrained", ...].
    bool read_kinds() {
        in_.skip_space();
        place_of_kinds_ = read_failure{};
        place_of_kinds_.what = kind::unexpected;
        in_.place(place_of_kinds_);
        place_of_kinds_.set_found("[", 1, false);
        if (!expect('[', "the kinds' array, \"[\"")) return false;
        in_.skip_space();
        if (in_.peek() == ']') {
            in_.advance();
            return true;
        }
        std::string text;
        for (std::int64_t resource = 1;; ++resource) {
            read_failure place;
            const char* const phrase =
                "the kind of resource {n}, \"renewable\", \"nonrenewable\" or \"doubly constrained\"";
            if (!read_string(text, place, phrase)) {
                failure_.expected.number = resource;
                return false;
            }
            const resource_kind kind_read = text == "renewable"            ? resource_kind::renewable
                                            : text == "nonrenewable"       ? resource_kind::nonrenewable
                                            : text == "doubly constrained" ? resource_kind::doubly_constrained
                                                                           : resource_kind{};
            if (kind_read == resource_kind{}) {
                failure_ = place;
                failure_.expected = {{}, 0, resource, phrase};
                return false;
            }
            if (!result_.resource_kinds.push_back(static_cast<std::int32_t>(kind_read))) return memory_failed();
            in_.skip_space();
            if (in_.peek() == ']') {
                in_.advance();
                return true;
            }
            if (!expect(',', "\",\" or \"]\"")) return false;
        }
    }

    // A refusal at a place read already (a key's), quoting what was there.
    bool fail_at(const read_failure& place, const char* phrase, std::int64_t activity, const char* reason) {
        failure_ = place;
        failure_.expected = {{}, activity, 0, phrase};
        failure_.reason = reason;
        return false;
    }

    bool demands_disagree() {
        failure_ = place_of_capacities_;
        failure_.what = kind::unexpected;
        failure_.set_found("[", 1, false);
        failure_.expected = {
            {}, 0, demand_count_, "the capacities, one for each of the {n} {|demand|demands} of every activity"};
        failure_.reason = "an array of another length";
        return false;
    }

    bool read_activities(bool capacities_known) {
        if (!expect('[', "the activities' array, \"[\"")) return false;
        std::int64_t activity = 0;
        std::int64_t successor_total = 0;
        in_.skip_space();
        if (in_.peek() != ']') {
            for (;;) {
                if (activity == std::numeric_limits<std::int32_t>::max()) return memory_failed();
                if (!read_activity(activity, capacities_known, successor_total)) return false;
                ++activity;
                in_.skip_space();
                if (in_.peek() == ']') break;
                if (!expect(',', "\",\" or \"]\" after activity {a}", activity - 1)) return false;
            }
        }
        // The activity count is known only now.
        if (successor_total > activity * activity) {
            fail_here(kind::unexpected, "no more successors in all than the activity count squared, {n}", 0,
                      activity * activity, "the end of activities with more");
            return false;
        }
        in_.advance();
        result_.activity_count = static_cast<std::int32_t>(activity);
        return true;
    }

    bool read_activity(std::int64_t activity, bool capacities_known, std::int64_t& successor_total) {
        if (!expect('{', "activity {a}, \"{\"", activity)) return false;
        bool seen[6] = {};
        const char* const phrase = "the key \"duration\", \"demands\" or \"successors\" of activity {a}";
        for (;;) {
            in_.skip_space();
            if (in_.peek() == '}' && (seen[1] || seen[2] || seen[3])) break;
            const char_scanner::mark key_mark = in_.here();
            int key = in_.peek() != '"'               ? 0
                      : in_.next_is("\"duration\"")   ? 1
                      : in_.next_is("\"demands\"")    ? 2
                      : in_.next_is("\"successors\"") ? 3
                      : in_.next_is("\"lags\"")       ? 4
                      : in_.next_is("\"modes\"")      ? 5
                                                      : 0;
            if (key == 0) {
                read_failure key_place;
                std::string text;
                if (!read_string(text, key_place, phrase, activity)) return false;
                key = text == "duration"     ? 1
                      : text == "demands"    ? 2
                      : text == "successors" ? 3
                      : text == "lags"       ? 4
                      : text == "modes"      ? 5
                                             : 0;
                if (key == 0) return fail_at(key_place, phrase, activity, "which this layout does not hold");
            }
            // An activity gives its modes, or one mode's duration and demands.
            const bool both = (key == 5 && (seen[1] || seen[2])) || ((key == 1 || key == 2) && seen[5]);
            // Lags are per arc, for one mode per activity.
            const bool mixed = (key == 5 && lags_started_) || (key == 4 && modes_started_);
            if (seen[key] || both || mixed) {
                failure_.what = kind::unexpected;
                char_scanner::place(failure_, key_mark);
                const char* const name = key == 1   ? "\"duration\""
                                         : key == 2 ? "\"demands\""
                                         : key == 3 ? "\"successors\""
                                         : key == 4 ? "\"lags\""
                                                    : "\"modes\"";
                failure_.set_found(name, std::strlen(name), false);
                if (mixed)
                    return fail_at(failure_, "no lags and modes in one instance", activity,
                                   "which the instance can't hold: its lags are for one mode per activity "
                                   "(general time lags with modes, multi-mode RCPSP/max, are not held)");
                if (both)
                    return fail_at(failure_, "\"modes\", or \"duration\" and \"demands\", in activity {a}", activity,
                                   "not both");
                return fail_at(failure_, "each key of activity {a} once", activity, "given twice");
            }
            seen[key] = true;
            if (!expect(':', "\":\" after the key")) return false;
            std::int64_t count = 0;
            if (key == 1) {
                std::int32_t value = 0;
                if (!read_int(value, "the duration of activity {a}", activity)) return false;
                if (!result_.durations.push_back(value)) return memory_failed();
            } else if (key == 2) {
                if (!read_demands(activity, capacities_known)) return false;
            } else if (key == 5) {
                if (!read_modes(activity, capacities_known)) return false;
            } else if (key == 4) {
                if (!lags_started_ && !start_lags(activity)) return memory_failed();
                in_.skip_space();
                lags_mark_ = in_.here();
                if (!read_array(lags_, 0, lag_count_, "the lags' array of activity {a}, \"[\"",
                                "lag {n} of activity {a}", activity))
                    return false;
            } else {
                if (!read_array(result_.successors, -1, count, "the successors' array of activity {a}, \"[\"",
                                "successor {n} of activity {a}", activity))
                    return false;
                if (!result_.successor_counts.push_back(static_cast<std::int32_t>(count))) return memory_failed();
                successor_total += count;
            }
            in_.skip_space();
            if (in_.peek() == '}') break;
            if (!expect(',', "\",\" or \"}\" in activity {a}", activity)) return false;
        }
        if ((!seen[5] && (!seen[1] || !seen[2])) || !seen[3])
            return fail_here(kind::unexpected,
                             !seen[5] && !seen[1]   ? "the key \"duration\" of activity {a}"
                             : !seen[5] && !seen[2] ? "the key \"demands\" of activity {a}"
                                                    : "the key \"successors\" of activity {a}",
                             activity);
        if (!end_lags(activity, seen[4])) return false;
        if (modes_started_ && !seen[5] && !result_.mode_counts.push_back(1)) return memory_failed();
        in_.advance();
        return true;
    }

    // A mode's demands, as many as the capacities (or the first activity's).
    bool read_demands(std::int64_t activity, bool capacities_known) {
        in_.skip_space();
        const char_scanner::mark demands_mark = in_.here();
        std::int64_t count = 0;
        if (!read_array(result_.demands, 0, count, "the demands' array of activity {a}, \"[\"",
                        "demand {n} of activity {a}", activity))
            return false;
        const std::int64_t wanted = capacities_known ? result_.resource_count : demand_count_;
        if (wanted >= 0 && count != wanted) {
            failure_ = read_failure{};
            char_scanner::place(failure_, demands_mark);
            failure_.what = kind::unexpected;
            failure_.set_found("[", 1, false);
            failure_.expected = {{},
                                 activity,
                                 wanted,
                                 capacities_known
                                     ? "the demands of activity {a}, one for each of the {n} {|capacity|capacities}"
                                     : "the demands of activity {a}, as many as activity 0's {n}"};
            failure_.reason = "an array of another length";
            return false;
        }
        demand_count_ = count;
        return true;
    }

    // "modes": [{"duration": d, "demands": [...]}, ...], one mode or more.
    bool read_modes(std::int64_t activity, bool capacities_known) {
        if (!modes_started_) {
            modes_started_ = true;
            for (std::int64_t earlier = 0; earlier < activity; ++earlier)
                if (!result_.mode_counts.push_back(1)) return memory_failed();
        }
        if (!expect('[', "the modes' array of activity {a}, \"[\"", activity)) return false;
        const char* const phrase = "the key \"duration\" or \"demands\" of a mode of activity {a}";
        std::int32_t modes = 0;
        for (;;) {
            if (modes == 0) {
                in_.skip_space();
                if (in_.peek() == ']')
                    return fail_here(kind::unexpected, "a mode of activity {a}, \"{\"", activity, 0,
                                     "an activity has one mode or more");
            }
            if (!expect('{', "a mode of activity {a}, \"{\"", activity)) return false;
            bool duration = false, demands = false;
            for (;;) {
                // The keys as written most often, matched in place; any
                // other spelling decoded.
                in_.skip_space();
                const char_scanner::mark key_mark = in_.here();
                int key = in_.peek() != '"' ? 0 : in_.next_is("\"duration\"") ? 1 : in_.next_is("\"demands\"") ? 2 : 0;
                read_failure key_place;
                if (key == 0) {
                    std::string text;
                    if (!read_string(text, key_place, phrase, activity)) return false;
                    key = text == "duration" ? 1 : text == "demands" ? 2 : 0;
                } else {
                    key_place.what = kind::unexpected;
                    char_scanner::place(key_place, key_mark);
                    const char* const name = key == 1 ? "\"duration\"" : "\"demands\"";
                    key_place.set_found(name, std::strlen(name), false);
                }
                const bool is_duration = key == 1;
                if (key == 0 || (is_duration ? duration : demands))
                    return fail_at(key_place, phrase, activity, "which a mode does not hold, or given twice");
                if (!expect(':', "\":\" after the key")) return false;
                if (is_duration) {
                    duration = true;
                    std::int32_t value = 0;
                    if (!read_int(value, "the duration of a mode of activity {a}", activity)) return false;
                    if (!result_.durations.push_back(value)) return memory_failed();
                } else {
                    demands = true;
                    if (!read_demands(activity, capacities_known)) return false;
                }
                in_.skip_space();
                if (in_.peek() == '}') {
                    if (duration && demands) break;
                    return fail_here(kind::unexpected,
                                     duration ? "the key \"demands\" of a mode of activity {a}"
                                              : "the key \"duration\" of a mode of activity {a}",
                                     activity);
                }
                if (!expect(',', duration && demands ? "\"}\" after a mode" : "\",\" in a mode of activity {a}",
                            activity))
                    return false;
            }
            in_.advance();
            if (modes == std::numeric_limits<std::int32_t>::max()) return memory_failed();
            ++modes;
            in_.skip_space();
            if (in_.peek() == ']') break;
            if (!expect(',', "\",\" or \"]\" after a mode of activity {a}", activity)) return false;
        }
        in_.advance();
        return result_.mode_counts.push_back(modes) || memory_failed();
    }

    // {"capacities_line_ended": true}: the form of an .sch file's last line.
    bool read_sch_form() {
        if (!expect('{', "the sch form's object, \"{\"")) return false;
        in_.skip_space();
        if (in_.peek() == '}') {
            in_.advance();
            return true;
        }
        std::string key;
        read_failure key_place;
        if (!read_string(key, key_place, "the key \"capacities_line_ended\"")) return false;
        if (key != "capacities_line_ended")
            return fail_at(key_place, "the key \"capacities_line_ended\"", 0, "which this layout does not hold");
        if (!expect(':', "\":\" after the key")) return false;
        in_.skip_space();
        const char* const words[] = {"true", "false"};
        bool matched = false;
        for (const char* word : words) {
            std::size_t length = std::strlen(word), index = 0;
            while (index < length && in_.peek(index) == static_cast<unsigned char>(word[index])) ++index;
            if (index != length || is_word_byte(in_.peek(index))) continue;
            for (index = 0; index < length; ++index) in_.advance();
            result_.capacities_line_ended = word[0] == 't';
            matched = true;
            break;
        }
        if (!matched) return fail_here(kind::unexpected, "true or false");
        return expect('}', "\"}\" after the sch form");
    }

    // PSPLIB's header values: {"basedata": "j30_17.bas", "seed": 28123, ...},
    // each key at most once, any of them left out.
    bool read_header() {
        if (!expect('{', "the PSPLIB header's object, \"{\"")) return false;
        in_.skip_space();
        if (in_.peek() == '}') {
            in_.advance();
            return true;
        }
        const char* const phrase = "a key of the PSPLIB header (basedata, seed, horizon, release_date, due_date, "
                                   "tardiness_cost, mpm_time)";
        project_header& header = result_.header;
        std::optional<std::int64_t>* const numbers[] = {&header.seed,     &header.horizon,        &header.release_date,
                                                        &header.due_date, &header.tardiness_cost, &header.mpm_time};
        const char* const names[] = {"seed", "horizon", "release_date", "due_date", "tardiness_cost", "mpm_time"};
        std::string key;
        for (;;) {
            read_failure key_place;
            if (!read_string(key, key_place, phrase)) return false;
            if (!expect(':', "\":\" after the key")) return false;
            if (key == "basedata" && !header.basedata) {
                std::string name;
                read_failure value_place;
                if (!read_string(name, value_place, "the basedata name, a string", 0, std::string::npos)) return false;
                // The name is a line of PSPLIB's header: a line end in it would
                // end that line.
                for (const char c : name)
                    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f')
                        return fail_at(value_place, "the basedata name, a string", 0,
                                       "which holds a control character (a line end, a tab, a NUL)");
                header.basedata = std::move(name);
            } else {
                std::size_t which = 0;
                while (which < 6 && key != names[which]) ++which;
                if (which == 6 || *numbers[which])
                    return fail_at(key_place, phrase, 0, "which this layout does not hold, or given twice");
                // The horizon, due date and MPM time as the sm reader takes them.
                std::int64_t value = 0;
                std::int32_t narrow = 0;
                if (which == 1 || which == 3 || which == 5) {
                    if (!read_wide(value, "a value of the PSPLIB header")) return false;
                } else {
                    if (!read_int(narrow, "a value of the PSPLIB header")) return false;
                    value = narrow;
                }
                *numbers[which] = value;
            }
            in_.skip_space();
            if (in_.peek() == '}') {
                in_.advance();
                return true;
            }
            if (!expect(',', "\",\" or \"}\" in the PSPLIB header")) return false;
        }
    }

    // Once an activity gives "lags", every earlier arc gets its activity's
    // duration for a lag.
    bool start_lags(std::int64_t activity) {
        lags_started_ = true;
        std::size_t arc = 0;
        for (std::int64_t earlier = 0; earlier < activity; ++earlier) {
            const auto index = static_cast<std::size_t>(earlier);
            for (std::int32_t position = 0; position < result_.successor_counts[index]; ++position, ++arc)
                if (!lags_.push_back(result_.durations[index])) return false;
        }
        return true;
    }

    // An activity's lags, one for each successor; without "lags" once other
    // activities gave them, its duration for each.
    bool end_lags(std::int64_t activity, bool given) {
        if (!lags_started_) return true;
        const std::int32_t successors = result_.successor_counts[result_.successor_counts.size() - 1];
        if (given) {
            if (lag_count_ == successors) return true;
            failure_ = read_failure{};
            char_scanner::place(failure_, lags_mark_);
            failure_.what = kind::unexpected;
            failure_.set_found("[", 1, false);
            failure_.expected = {
                {}, activity, successors, "the lags of activity {a}, one for each of its {n} {|successor|successors}"};
            failure_.reason = "an array of another length";
            return false;
        }
        for (std::int32_t position = 0; position < successors; ++position)
            if (!lags_.push_back(result_.durations[result_.durations.size() - 1])) return memory_failed();
        return true;
    }

public:
    // Hands the lags read to the instance, none when each is its activity's duration.
    void keep_lags() {
        if (!lags_started_) return;
        result_.lags = std::move(lags_);
        drop_lags_equal_to_durations(result_);
    }

private:
    bool memory_failed() {
        failure_ = read_failure::out_of_memory_failure();
        return false;
    }

    char_scanner& in_;
    instance& result_;
    read_failure failure_;
    read_failure place_of_capacities_;
    std::int64_t demand_count_ = -1; // the demands' length, once an activity gave it
    int_store lags_;                 // every arc's lag, once an activity gave "lags"
    bool lags_started_ = false;
    bool modes_started_ = false; // an activity gave "modes": every one has its count in mode_counts
    bool kinds_read_ = false;
    read_failure place_of_kinds_;
    std::int64_t lag_count_ = 0;
    char_scanner::mark lags_mark_{};
};

} // namespace

read_failure read_json(byte_source source, instance& result, trailing_tokens* trailing) {
    result = instance{};
    char_scanner scanner(source);
    const read_failure failure = json_parser(scanner, result).run();
    if (trailing != nullptr) *trailing = trailing_tokens{};
    return failure;
}

} // namespace converter
