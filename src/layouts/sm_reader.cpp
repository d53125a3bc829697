#include "layouts/sm_reader.h"

#include <cstdio>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "instance/line_reader.h"
#include "instance/number_text.h"

namespace converter {
namespace {

using kind = read_failure::kind;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

bool starts_with(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

// A line of one repeated byte: the separators of `*` and `-`.
bool is_separator(std::string_view text) {
    if (text.empty() || (text[0] != '*' && text[0] != '-')) return false;
    for (const char c : text)
        if (c != text[0]) return false;
    return true;
}

// A value as %d writes it.
struct digits {
    char text_[16];
    int length;
    std::string_view text() const { return {text_, length > 0 ? static_cast<std::size_t>(length) : 0}; }
};
digits canonical(std::int32_t value) {
    digits result{};
    result.length = std::snprintf(result.text_, sizeof result.text_, "%d", value);
    return result;
}

struct field {
    std::string_view text;
    std::size_t column = 0; // from 0, in the line
};

class sm_parser {
public:
    sm_parser(line_reader& lines, instance& result) : lines_(lines), result_(result) {}

    read_failure run(trailing_tokens* trailing) {
        if (!lines_.ready()) return read_failure::out_of_memory_failure();
        try {
            if (read_sections() && trailing != nullptr) count_trailing(*trailing);
        } catch (const std::bad_alloc&) {
            return read_failure::out_of_memory_failure();
        }
        return failure_;
    }

private:
    // Lines that are not blank and not separators; false at the end of the
    // input (failure_ then holds a read error or running out of memory).
    bool next_line() {
        for (;;) {
            if (!lines_.next(line_)) {
                if (lines_.out_of_memory()) failure_.what = kind::out_of_memory;
                if (lines_.error() != 0) {
                    failure_.what = kind::read_error;
                    failure_.system_error = lines_.error();
                }
                at_end_ = true;
                return false;
            }
            const std::string_view text = trimmed(line_);
            if (!text.empty() && !is_separator(text)) {
                start_fields();
                return true;
            }
        }
    }

    // The fast path of a row: plain integers of at most ten digits within 32
    // bits, read from `cursor` straight into their store. False at anything
    // else leaves the careful path (the fields and the checks that word each
    // failure) to judge the line.
    static bool plain_number(const char*& cursor, const char* end, std::int32_t& value) {
        while (cursor != end && is_blank(*cursor)) ++cursor;
        const bool negative = cursor != end && *cursor == '-';
        if (cursor != end && (negative || *cursor == '+')) ++cursor;
        const char* const digits = cursor;
        std::uint64_t magnitude = 0;
        while (cursor != end && static_cast<unsigned char>(*cursor - '0') < 10 && cursor - digits < 11)
            magnitude = magnitude * 10 + static_cast<unsigned char>(*cursor++ - '0');
        if (cursor == digits || cursor - digits > 10 || (cursor != end && !is_blank(*cursor))) return false;
        if (magnitude > std::uint64_t{2147483647} + (negative ? 1 : 0)) return false;
        value = static_cast<std::int32_t>(negative ? 0 - magnitude : magnitude);
        return true;
    }

    static bool only_blanks(const char* cursor, const char* end) {
        while (cursor != end && is_blank(*cursor)) ++cursor;
        return cursor == end;
    }

    // A row of plain numbers: a precedence row (the job, its mode count,
    // which must be 1 or more, into `mode`, its successor count into `third`,
    // and that many successors), the first request row of a job (the job, mode
    // 1, the duration into `third`) or a further mode's row (mode `mode`, the
    // duration), then `count` more into `store`, where `added` counts them
    // once the whole line proves plain. Successors are kept from 0. A count is
    // held to what the rest of the line can hold, two bytes a number, so that
    // no claim reserves more than the line.
    enum class row { precedence, requests, further_mode };
    bool plain_row(row kind_of_row, std::int64_t job, std::int32_t& mode, std::int32_t& third, std::size_t& count,
                   int_store& store) {
        const char* cursor = line_.data();
        const char* const end = cursor + line_.size();
        std::int32_t number = 0;
        std::int32_t second = 0;
        if (kind_of_row != row::further_mode && (!plain_number(cursor, end, number) || number != job)) return false;
        if (!plain_number(cursor, end, second) || !plain_number(cursor, end, third)) return false;
        if (kind_of_row == row::precedence) {
            if (second < 1) return false;
            mode = second;
            count = third > 0 ? static_cast<std::size_t>(third) : 0;
        } else if (second != mode) {
            return false;
        }
        if (count > static_cast<std::size_t>(end - cursor) / 2) return false;
        if (count == 0) return only_blanks(cursor, end);
        std::int32_t* const slots = store.room(count);
        if (slots == nullptr) throw std::bad_alloc();
        for (std::size_t index = 0; index < count; ++index) {
            if (!plain_number(cursor, end, slots[index])) return false;
            if (kind_of_row == row::precedence) {
                if (slots[index] == std::numeric_limits<std::int32_t>::min()) return false;
                --slots[index];
            }
        }
        return only_blanks(cursor, end);
    }

    // Fields of the line, walked to from the last one asked for rather than
    // kept: the careful path asks in order, so a line is walked once, and
    // memory follows the longest line whatever its count of fields.
    void start_fields() {
        walked_index_ = 0;
        walked_position_ = 0;
        last_index_ = npos;
    }

    bool field_at(std::size_t index, field& result) {
        if (index == last_index_) {
            result = last_field_;
            return true;
        }
        if (index < walked_index_) start_fields();
        while (walked_index_ <= index) {
            std::size_t position = walked_position_;
            while (position < line_.size() && is_blank(line_[position])) ++position;
            if (position == line_.size()) {
                walked_position_ = position;
                return false;
            }
            const std::size_t start = position;
            while (position < line_.size() && !is_blank(line_[position])) ++position;
            walked_position_ = position;
            last_index_ = walked_index_++;
            last_field_ = {line_.substr(start, position - start), start};
        }
        result = last_field_;
        return true;
    }

    bool has_field(std::size_t index) {
        field ignored;
        return field_at(index, ignored);
    }

    bool fail(kind what, std::size_t column, std::string_view found, const char* phrase, std::int64_t activity = 0,
              std::int64_t number = 0, const char* reason = nullptr) {
        if (failure_.what == kind::read_error || failure_.what == kind::out_of_memory) return false;
        failure_.what = what;
        lines_.place(failure_, column);
        failure_.set_found(found.data(), found.size(), false);
        failure_.expected = {{}, activity, number, phrase};
        failure_.reason = reason;
        return false;
    }

    // At the end of the input, or at the end of the line after its last field.
    bool fail_missing(const char* phrase, std::int64_t activity = 0, std::int64_t number = 0) {
        if (!at_end_) return fail(kind::end_of_line, line_.size(), {}, phrase, activity, number);
        fail(kind::end_of_file, 0, {}, phrase, activity, number);
        if (failure_.what == kind::end_of_file) lines_.place_at_end(failure_);
        return false;
    }

    bool fail_at(const field& at, const char* phrase, std::int64_t activity = 0, std::int64_t number = 0,
                 const char* reason = nullptr) {
        return fail(kind::unexpected, at.column, at.text, phrase, activity, number, reason);
    }

    bool fail_field(std::size_t index, const char* phrase, std::int64_t activity = 0, std::int64_t number = 0,
                    const char* reason = nullptr) {
        field at;
        if (!field_at(index, at)) return fail_missing(phrase, activity, number);
        return fail_at(at, phrase, activity, number, reason);
    }

    bool number_in(const field& at, std::int32_t& value, const char* phrase, std::int64_t activity = 0,
                   std::int64_t number = 0) {
        const kind verdict = parse_int32(at.text, value);
        if (verdict == kind::none) return true;
        return fail(verdict, at.column, at.text, phrase, activity, number);
    }

    // `at` as a header value within 32 bits, or within 64 when `wide` (the
    // values the writer derives, which may pass 32), into `value`.
    bool header_value_in(const field& at, std::int64_t& value, const char* phrase, bool wide) {
        if (!wide) {
            std::int32_t narrow = 0;
            if (!number_in(at, narrow, phrase)) return false;
            value = narrow;
            return true;
        }
        const kind verdict = parse_int64(at.text, value);
        if (verdict == kind::none) return true;
        return verdict == kind::out_of_range ? fail(kind::unexpected, at.column, at.text, phrase, 0, 0,
                                                    "which is outside the signed 64-bit range")
                                             : fail(verdict, at.column, at.text, phrase);
    }

    // Field `index` as an integer.
    bool number_at(std::size_t index, std::int32_t& value, const char* phrase, std::int64_t activity = 0,
                   std::int64_t number = 0) {
        field at;
        if (!field_at(index, at)) return fail_missing(phrase, activity, number);
        return number_in(at, value, phrase, activity, number);
    }

    // The field after the line's colon, as in "jobs (incl. supersource/sink ):  32",
    // into `at`: the rest of the colon's field, or the next field.
    bool value_after_colon(std::int32_t& value, const char* phrase, field& at) {
        return field_after_colon(phrase, at) && number_in(at, value, phrase);
    }

    bool field_after_colon(const char* phrase, field& at) {
        for (std::size_t index = 0; field_at(index, at); ++index) {
            const std::size_t colon = at.text.find(':');
            if (colon == std::string_view::npos) continue;
            if (colon + 1 < at.text.size()) {
                at = {at.text.substr(colon + 1), at.column + colon + 1};
                return true;
            }
            return field_at(index + 1, at) || fail_missing(phrase);
        }
        return fail_missing(phrase);
    }

    // A header value after the line's colon, kept for the writer: a whole
    // number within 32 bits (as every layout that carries it reads it) and
    // nothing after it, so that no damaged value is silently replaced.
    // The horizon, which the writer derives from the durations when it has
    // none, may pass 32 bits: it is read within 64 (`wide`).
    bool header_number(const char* phrase, std::optional<std::int64_t>& kept, bool wide = false) {
        std::int64_t value = 0;
        field at;
        if (!field_after_colon(phrase, at) || !header_value_in(at, value, phrase, wide)) return false;
        for (std::size_t position = at.column + at.text.size(); position < line_.size(); ++position) {
            if (is_blank(line_[position])) continue;
            std::size_t end = position;
            while (end < line_.size() && !is_blank(line_[end])) ++end;
            return fail(kind::unexpected, position, line_.substr(position, end - position), phrase, 0, 0,
                        "after the value: one number on the line");
        }
        kept = value;
        return true;
    }

    bool read_header_line(std::string_view text) {
        std::int32_t value = 0;
        field at;
        if (starts_with(text, "projects")) {
            const char* phrase = "the number of projects, 1";
            if (!value_after_colon(value, phrase, at)) return false;
            return value == 1 || fail_at(at, phrase, 0, 0, "which is not 1: the instance holds one project");
        }
        if (starts_with(text, "jobs")) {
            if (!value_after_colon(value, "the number of jobs", at)) return false;
            header_jobs_ = value;
            // Kept to be named if the rows disagree.
            jobs_place_.what = kind::unexpected;
            lines_.place(jobs_place_, at.column);
            jobs_place_.set_found(at.text.data(), at.text.size(), false);
            return true;
        }
        if (starts_with(text, "-")) {
            text = trimmed(text.substr(1));
            const char* const kinds[] = {"renewable", "nonrenewable", "doubly constrained"};
            const char* const phrases[] = {"the number of renewable resources", "the number of nonrenewable resources",
                                           "the number of doubly constrained resources"};
            for (std::size_t kind_index = 0; kind_index < 3; ++kind_index) {
                if (!starts_with(text, kinds[kind_index])) continue;
                if (!value_after_colon(value, phrases[kind_index], at)) return false;
                if (value < 0) return fail_at(at, phrases[kind_index], 0, 0, "which is negative");
                header_kinds_[kind_index] = value;
                return true;
            }
        }
        // The basedata name, the seed and the horizon are kept for the writer,
        // as they stand; none is a value of the instance, so none is refused.
        const std::size_t colon = text.find(':');
        const std::string_view after =
            colon == std::string_view::npos ? std::string_view() : trimmed(text.substr(colon + 1));
        if (starts_with(text, "file with basedata")) {
            if (colon != std::string_view::npos) result_.header.basedata = std::string(after);
            return true;
        }
        if (starts_with(text, "initial value random generator"))
            return header_number("the initial value of the random generator", result_.header.seed);
        if (starts_with(text, "horizon")) return header_number("the horizon", result_.header.horizon, true);
        return text == "RESOURCES" || fail_field(0, "a header line or the PRECEDENCE RELATIONS section");
    }

    bool read_sections() {
        // The header block and PROJECT INFORMATION, up to the precedence relations.
        for (;;) {
            if (!next_line()) return fail_missing("the PRECEDENCE RELATIONS section");
            const std::string_view text = trimmed(line_);
            if (starts_with(text, "PRECEDENCE RELATIONS")) break;
            if (starts_with(text, "PROJECT INFORMATION")) {
                if (!read_project_information()) return false;
                if (starts_with(trimmed(line_), "PRECEDENCE RELATIONS")) break;
                continue;
            }
            if (!read_header_line(text)) return false;
        }
        if (!read_precedence_relations()) return false;
        if (!read_requests()) return false;
        return read_availabilities();
    }

    // Its label line and one project's row; stops at the next section's label.
    bool read_project_information() {
        std::size_t rows = 0;
        for (;;) {
            if (!next_line()) return fail_missing("the PRECEDENCE RELATIONS section");
            const std::string_view text = trimmed(line_);
            if (starts_with(text, "PRECEDENCE RELATIONS")) return true;
            if (starts_with(text, "pronr")) continue;
            std::int32_t value = 0;
            if (!number_at(0, value, "the project's number")) return false;
            if (++rows > 1)
                return fail_field(0, "the PRECEDENCE RELATIONS section", 0, 0,
                                  "which starts a second project: the instance holds one");
            // The number of jobs, then the release date, due date, tardiness
            // cost and MPM time, kept for the writer: six numbers in all.
            if (!number_at(1, value, "the project's number of jobs")) return false;
            std::optional<std::int64_t>* const kept[] = {&result_.header.release_date, &result_.header.due_date,
                                                         &result_.header.tardiness_cost, &result_.header.mpm_time};
            const char* const phrases[] = {"the project's release date", "the project's due date",
                                           "the project's tardiness cost", "the project's MPM time"};
            // The due date and the MPM time, like the horizon, may be derived
            // past 32 bits: read within 64.
            for (std::size_t index = 0; index < 4; ++index) {
                field at;
                std::int64_t kept_value = 0;
                if (!field_at(index + 2, at)) return fail_missing(phrases[index]);
                if (!header_value_in(at, kept_value, phrases[index], index == 1 || index == 3)) return false;
                *kept[index] = kept_value;
            }
            if (has_field(6)) return fail_field(6, "the end of the project's row", 0, 0, "after its six values");
        }
    }

    bool read_precedence_relations() {
        if (!next_line()) return fail_missing("the label line of PRECEDENCE RELATIONS");
        if (!starts_with(trimmed(line_), "jobnr")) return fail_field(0, "the label line of PRECEDENCE RELATIONS");
        const std::int64_t successor_limit =
            header_jobs_ ? std::int64_t{*header_jobs_} * *header_jobs_ : std::numeric_limits<std::int64_t>::max();
        std::int64_t successor_total = 0;
        for (std::int64_t job = 1;; ++job) {
            if (!next_line()) return fail_missing("the REQUESTS/DURATIONS section");
            std::int32_t count = 0;
            std::int32_t modes = 0;
            std::size_t listed = 0;
            if (header_jobs_ && plain_row(row::precedence, job, modes, count, listed, result_.successors) &&
                successor_total + static_cast<std::int64_t>(listed) <= successor_limit) {
                if (!result_.successor_counts.push_back(count) || !result_.mode_counts.push_back(modes))
                    return memory_failed();
                result_.successors.added(listed);
                successor_total += static_cast<std::int64_t>(listed);
                continue;
            }
            if (starts_with(trimmed(line_), "REQUESTS/DURATIONS")) {
                jobs_ = job - 1;
                break;
            }
            if (job > std::numeric_limits<std::int32_t>::max())
                return fail_field(0, "the REQUESTS/DURATIONS section", 0, 0, "after more jobs than 32 bits count");
            std::int32_t value = 0;
            if (!number_at(0, value, "job {a} (the jobs in order)", job)) {
                if (failure_.what == kind::not_an_integer)
                    failure_.expected.phrase = "job {a} or the REQUESTS/DURATIONS section";
                return false;
            }
            if (value != job) return fail_field(0, "job {a} (the jobs in order)", job);
            if (!number_at(1, modes, "the mode count of job {a}", job)) return false;
            if (modes < 1) return fail_field(1, "the mode count of job {a}", job, 0, "which is below 1");
            if (!number_at(2, count, "the successor count of job {a}", job)) return false;
            if (!result_.successor_counts.push_back(count) || !result_.mode_counts.push_back(modes))
                return memory_failed();
            field count_field;
            field_at(2, count_field);
            if (!header_jobs_) {
                read_failure place;
                lines_.place(place, count_field.column);
                row_places_.push_back({place.offset, place.line_ends_before, place.line_start});
                if (count_field.text != canonical(count).text())
                    written_counts_.push_back({row_places_.size() - 1, std::string(count_field.text)});
            }
            const std::size_t wanted = count > 0 ? static_cast<std::size_t>(count) : 0;
            if (count > 0 && successor_total + count > successor_limit) {
                failure_.successor_total = successor_total + count;
                failure_.successor_limit = successor_limit;
                fail(kind::too_many_successors, count_field.column, count_field.text, "the successor count of job {a}",
                     job);
                return false;
            }
            successor_total += static_cast<std::int64_t>(wanted);
            for (std::size_t position = 1; position <= wanted; ++position) {
                field at;
                if (!field_at(2 + position, at)) {
                    fail_missing("successor {n} of job {a}", job, static_cast<std::int64_t>(position));
                    failure_.reason = nullptr;
                    return false;
                }
                std::int32_t successor = 0;
                if (!number_in(at, successor, "successor {n} of job {a}", job, static_cast<std::int64_t>(position)))
                    return false;
                if (successor == std::numeric_limits<std::int32_t>::min())
                    return fail(kind::successor_out_of_range, at.column, at.text, "successor {n} of job {a}", job,
                                static_cast<std::int64_t>(position));
                if (!result_.successors.push_back(successor - 1)) return memory_failed();
            }
            if (has_field(3 + wanted))
                return fail_field(3 + wanted, "the end of the row of job {a}, after its {n} {|successor|successors}",
                                  job, static_cast<std::int64_t>(wanted), "beyond its successor count");
        }
        if (header_jobs_ && *header_jobs_ != jobs_) {
            failure_ = jobs_place_;
            failure_.expected = {{}, 0, jobs_, "the number of jobs, {n} as the precedence relations list"};
            failure_.reason = "which disagrees with the rows";
            return false;
        }
        // Without a header the limit is known only now: the place of the row
        // that passed it was kept.
        if (!header_jobs_ && successor_total > jobs_ * jobs_) {
            std::int64_t total = 0;
            for (std::size_t job = 0; job < row_places_.size(); ++job) {
                const std::int32_t count = result_.successor_counts[job];
                total += count > 0 ? count : 0;
                if (total <= jobs_ * jobs_) continue;
                failure_.offset = row_places_[job].offset;
                failure_.line_ends_before = row_places_[job].line_ends_before;
                failure_.line_start = row_places_[job].line_start;
                const digits written = canonical(count);
                std::string_view text = written.text();
                for (const written_count& kept : written_counts_)
                    if (kept.job == job) text = kept.text;
                failure_.set_found(text.data(), text.size(), false);
                failure_.what = kind::too_many_successors;
                failure_.successor_total = total;
                failure_.successor_limit = jobs_ * jobs_;
                failure_.expected = {{}, static_cast<std::int64_t>(job + 1), 0, "the successor count of job {a}"};
                return false;
            }
        }
        return true;
    }

    // What a label line must hold, when its count is known beforehand.
    struct label_count {
        std::int64_t wanted;  // -1: any number of labels
        const char* too_few;  // phrases for the end of the line before label {n} of {a}
        const char* too_many; // and for a label after the {a} wanted
        const char* beyond;
    };

    // "R 1", "R1", "N 1" or "D 1" for each resource, from field `first` on:
    // how many, each one's kind into `kinds` when asked. With `expected` (the
    // kind of resource {n} from 0, or 0 for any), each label must be of it. A
    // count other than `limit.wanted` fails at the end of the line or at the
    // first label too many.
    template <typename kind_of_label>
    bool count_labels(std::size_t first, std::int64_t& count, const char* phrase, const label_count& limit,
                      kind_of_label expected, int_store* kinds, const char* const (&wrong_kind)[3]) {
        count = 0;
        field at;
        for (std::size_t index = first; field_at(index, at); ++index) {
            const field label_start = at;
            const std::string_view text = at.text;
            const std::size_t letter = text[0] == 'R' ? 0 : text[0] == 'N' ? 1 : text[0] == 'D' ? 2 : 3;
            if (letter == 3) return fail_at(at, phrase);
            std::int32_t number = 0;
            field next;
            if (text.size() > 1) {
                if (parse_int32(text.substr(1), number) != kind::none) return fail_at(at, phrase);
            } else if (field_at(index + 1, next) && parse_int32(next.text, number) == kind::none) {
                ++index;
                at = next;
            } else {
                return fail_at(label_start, phrase);
            }
            const char* const label_end = at.text.data() + at.text.size();
            const std::string_view label(text.data(), static_cast<std::size_t>(label_end - text.data()));
            if (++count > limit.wanted && limit.wanted >= 0)
                return fail(kind::unexpected, label_start.column, label, limit.too_many, limit.wanted, 0, limit.beyond);
            const std::int32_t wanted_kind = expected(static_cast<std::size_t>(count - 1));
            const auto own_kind = static_cast<std::int32_t>(letter + 1);
            if (wanted_kind != 0 && wanted_kind != own_kind)
                return fail(kind::unexpected, label_start.column, label,
                            wrong_kind[static_cast<std::size_t>(wanted_kind - 1)], 0, count);
            if (kinds != nullptr && !kinds->push_back(own_kind)) throw std::bad_alloc();
        }
        if (count < limit.wanted)
            return fail(kind::end_of_line, line_.size(), {}, limit.too_few, limit.wanted, count + 1);
        return true;
    }

    // The RESOURCES block's kind of resource `index` (from 0): its renewable
    // ones, then the nonrenewable, then the doubly constrained; 0 (any) when
    // the block gave no count.
    std::int32_t declared_kind(std::size_t index) const {
        if (!header_kinds_[0] && !header_kinds_[1] && !header_kinds_[2]) return 0;
        std::int64_t end = 0;
        for (std::int32_t kind_index = 0; kind_index < 3; ++kind_index) {
            end += header_kinds_[kind_index].value_or(0);
            if (static_cast<std::int64_t>(index) < end) return kind_index + 1;
        }
        return 0;
    }

    // One row of each of a job's modes: mode 1's after the job's number, each
    // further one's without it.
    bool read_requests() {
        if (!next_line()) return fail_missing("the label line of REQUESTS/DURATIONS");
        field first;
        field second;
        field third;
        if (!field_at(0, first) || !field_at(1, second) || !field_at(2, third) || first.text != "jobnr." ||
            second.text != "mode" || (third.text != "duration" && third.text != "dur"))
            return fail_field(0, "the label line of REQUESTS/DURATIONS, jobnr. mode duration and the resources");
        std::int64_t labels = 0;
        const bool declared = header_kinds_[0] || header_kinds_[1] || header_kinds_[2];
        const std::int64_t declared_count =
            std::int64_t{header_kinds_[0].value_or(0)} + header_kinds_[1].value_or(0) + header_kinds_[2].value_or(0);
        const label_count columns{declared ? declared_count : -1,
                                  "the label of resource {n}, one for each of the {a} resources of the RESOURCES block",
                                  "the end of the resource labels, one for each of the {a} resources of the RESOURCES "
                                  "block",
                                  "beyond the RESOURCES block's counts"};
        static const char* const wrong_kind[3] = {
            "the label of resource {n}, a renewable one (R) as the RESOURCES block counts them",
            "the label of resource {n}, a nonrenewable one (N) as the RESOURCES block counts them",
            "the label of resource {n}, a doubly constrained one (D) as the RESOURCES block counts them"};
        if (!count_labels(
                3, labels, "the label of a resource, as R 1, N 1 or D 1", columns,
                [this](std::size_t index) { return declared_kind(index); }, &result_.resource_kinds, wrong_kind))
            return false;
        if (labels > std::numeric_limits<std::int32_t>::max()) return memory_failed();
        result_.resource_count = static_cast<std::int32_t>(labels);
        const auto demands = static_cast<std::size_t>(labels);
        const std::int32_t* const mode_counts = result_.mode_counts.begin();
        for (std::int64_t job = 1; job <= jobs_; ++job) {
            const std::int32_t modes = mode_counts[job - 1];
            for (std::int32_t mode = 1; mode <= modes; ++mode)
                if (!read_mode_row(job, mode, demands)) return false;
        }
        return true;
    }

    bool read_mode_row(std::int64_t job, std::int32_t mode, std::size_t demands) {
        const bool first_mode = mode == 1;
        if (!next_line())
            return fail_missing(first_mode ? "the request row of job {a}" : "the row of mode {n} of job {a}", job,
                                mode);
        std::int32_t duration = 0;
        std::size_t columns = demands;
        if (plain_row(first_mode ? row::requests : row::further_mode, job, mode, duration, columns, result_.demands)) {
            if (!result_.durations.push_back(duration)) return memory_failed();
            result_.demands.added(demands);
            return true;
        }
        // The row's own fields: one more in a job's first row, for its number.
        const std::size_t base = first_mode ? 1 : 0;
        const bool longer_row = has_field(demands + base + 2) && !has_field(demands + base + 3);
        const bool shorter_row = has_field(demands + base) && !has_field(demands + base + 1);
        std::int32_t value = 0;
        if (first_mode) {
            if (!number_at(0, value, "the request row of job {a}", job)) return false;
            if (value != job)
                return fail_field(0, "the request row of job {a}", job, 0,
                                  shorter_row && job > 1 ? "which is a further mode's row: the job before has "
                                                           "more than its mode count"
                                                         : "which disagrees with the precedence relations");
        }
        if (!number_at(base, value, "mode {n} of job {a}", job, mode)) return false;
        if (value != mode)
            return fail_field(base, "mode {n} of job {a}", job, mode,
                              longer_row ? "which starts the next job's rows: this job has fewer than its mode count"
                                         : nullptr);
        if (!number_at(base + 1, value, "the duration of mode {n} of job {a}", job, mode)) return false;
        if (!result_.durations.push_back(value)) return memory_failed();
        for (std::size_t resource = 1; resource <= demands; ++resource) {
            if (!number_at(base + 1 + resource, value, "the demand of job {a} for resource {n}", job,
                           static_cast<std::int64_t>(resource)))
                return false;
            if (!result_.demands.push_back(value)) return memory_failed();
        }
        if (has_field(demands + base + 2))
            return fail_field(demands + base + 2, "the end of the request row of job {a}", job, 0,
                              "beyond the resources' columns");
        return true;
    }

    bool read_availabilities() {
        if (!next_line()) return fail_missing("the RESOURCEAVAILABILITIES section");
        const std::string_view label = trimmed(line_);
        if (!starts_with(label, "RESOURCEAVAILABILITIES") && !starts_with(label, "RESOURCE AVAILABILITIES")) {
            const auto columns = static_cast<std::size_t>(result_.resource_count > 0 ? result_.resource_count : 0);
            std::int32_t ignored = 0;
            field at;
            const bool further_mode = has_field(columns + 1) && !has_field(columns + 2) && field_at(0, at) &&
                                      parse_int32(at.text, ignored) == kind::none;
            return fail_field(0, "the RESOURCEAVAILABILITIES section", 0, 0,
                              further_mode ? "which is a further mode's row: the last job has more than its mode count"
                                           : nullptr);
        }
        const std::size_t resources = result_.resource_count > 0 ? static_cast<std::size_t>(result_.resource_count) : 0;
        if (resources == 0) {
            // No labels and no capacities: the section's lines are empty, or absent.
            return true;
        }
        if (!next_line()) return fail_missing("the labels of the resource availabilities");
        std::int64_t labels = 0;
        const label_count columns{
            static_cast<std::int64_t>(resources), "the label of resource {n}, one for each of the {a} request columns",
            "the end of the resource labels, one for each of the {a} request columns", "beyond the request columns"};
        static const char* const wrong_kind[3] = {
            "the label of resource {n}, a renewable one (R) as the request columns have it",
            "the label of resource {n}, a nonrenewable one (N) as the request columns have it",
            "the label of resource {n}, a doubly constrained one (D) as the request columns have it"};
        const std::int32_t* const kinds = result_.resource_kinds.begin();
        if (!count_labels(
                0, labels, "the label of a resource's availability, as R 1", columns,
                [kinds](std::size_t index) { return kinds[index]; }, nullptr, wrong_kind))
            return false;
        if (!next_line()) return fail_missing("the capacity of resource {n}", 0, 1);
        for (std::size_t resource = 1; resource <= resources; ++resource) {
            std::int32_t value = 0;
            if (!number_at(resource - 1, value, "the capacity of resource {n}", 0, static_cast<std::int64_t>(resource)))
                return false;
            if (!result_.capacities.push_back(value)) return memory_failed();
        }
        if (has_field(resources))
            return fail_field(resources, "the end of the capacities, after {n}", 0,
                              static_cast<std::int64_t>(resources), "beyond the resources");
        return true;
    }

    void count_trailing(trailing_tokens& trailing) {
        trailing = trailing_tokens{};
        while (next_line()) {
            if (trailing.count == 0) {
                trailing.first_line = lines_.line_number();
                // Any line after the capacities is what a joined file's next
                // instance starts with ("file with basedata").
                field at;
                field_at(0, at);
                trailing.another_instance = true;
                trailing.first.what = kind::unexpected;
                lines_.place(trailing.first, at.column);
                trailing.first.set_found(at.text.data(), at.text.size(), false);
            }
            for (std::size_t index = 0; has_field(index); ++index) ++trailing.count;
        }
    }

    bool memory_failed() {
        failure_ = read_failure::out_of_memory_failure();
        return false;
    }

    line_reader& lines_;
    instance& result_;
    read_failure failure_;
    std::string_view line_;
    bool at_end_ = false;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    std::size_t walked_index_ = 0;    // the next field to walk to
    std::size_t walked_position_ = 0; // where in the line it may start
    std::size_t last_index_ = npos;   // the last field walked to
    field last_field_;
    std::int64_t jobs_ = 0;
    std::optional<std::int32_t> header_jobs_;
    read_failure jobs_place_; // where the header's jobs count is
    struct row_place {
        std::uint64_t offset, line_ends_before, line_start;
    };
    std::vector<row_place> row_places_; // without a header: each row's successor count
    struct written_count {
        std::size_t job; // from 0
        std::string text;
    };
    std::vector<written_count> written_counts_; // the counts not written as %d writes them
    // The RESOURCES block's counts of renewable, nonrenewable and doubly
    // constrained resources, each when the file gives it.
    std::optional<std::int32_t> header_kinds_[3];
};

} // namespace

read_failure read_sm(byte_source source, instance& result, trailing_tokens* trailing) {
    result = instance{};
    line_reader lines(source);
    read_failure failure = sm_parser(lines, result).run(trailing);
    if (failure) return failure;
    result.activity_count = static_cast<std::int32_t>(result.successor_counts.size());
    drop_single_modes_and_renewable_kinds(result);
    return failure;
}

} // namespace converter
