#include "layouts/dzn_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "instance/char_scanner.h"
#include "instance/number_text.h"

namespace converter {
namespace {

using kind = read_failure::kind;

bool is_name_start(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_name_byte(int c) { return is_name_start(c) || (c >= '0' && c <= '9'); }

// The values a name was given, and where its value starts.
// Values are read into int_stores, which grow in place, so that the largest
// arrays can become the instance's own stores without a copy.
struct int_list {
    bool given = false;
    char_scanner::mark at{};
    int_store values;
};

// Appends `value`; running out of memory ends the read (see run()).
void append(int_store& store, std::int32_t value) {
    if (!store.push_back(value)) throw std::bad_alloc();
}

struct set_list {
    bool given = false;
    char_scanner::mark at{};
    int_store sizes; // how many members each set lists, its members following the last set's
    // A set given as a range a..b holds its two ends, never its members, so
    // that memory follows the bytes read.
    int_store members;
    std::size_t listed = 0; // the members of the sets already ended
    // Ends the set whose members were read last.
    void end_set() {
        const std::size_t size = members.size() - listed;
        // Beyond 2^31 - 1 members a set needs a file of many gigabytes.
        if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) throw std::bad_alloc();
        append(sizes, static_cast<std::int32_t>(size));
        listed = members.size();
    }
    std::vector<std::size_t> range_sets; // the sets given as ranges, ascending
    // Where each range starts, kept when n_tasks comes after suc and the
    // ranges can only be judged once the sets are all read.
    std::vector<char_scanner::mark> range_at;
};

class dzn_parser {
public:
    dzn_parser(char_scanner& scanner, instance& result) : in_(scanner), result_(result) {}

    read_failure run() {
        if (!in_.ready()) return read_failure::out_of_memory_failure();
        in_.skip_byte_order_mark();
        try {
            if (read_assignments()) build();
        } catch (const std::bad_alloc&) {
            return read_failure::out_of_memory_failure();
        }
        if (in_.error() != 0 && failure_.what != kind::out_of_memory) {
            failure_ = read_failure{};
            failure_.what = kind::read_error;
            failure_.system_error = in_.error();
        }
        return failure_;
    }

private:
    // White space and comments: % to the end of the line, /* to */.
    void skip() {
        for (;;) {
            in_.skip_space();
            const int c = in_.peek();
            if (c == '%') {
                while (in_.peek() != -1 && in_.peek() != '\n' && in_.peek() != '\r') in_.advance();
            } else if (c == '/' && in_.peek(1) == '*') {
                const char_scanner::mark at = in_.here();
                in_.advance();
                in_.advance();
                while (in_.peek() != -1 && !(in_.peek() == '*' && in_.peek(1) == '/')) in_.advance();
                if (in_.peek() != -1) {
                    in_.advance();
                    in_.advance();
                } else if (!comment_open_) {
                    comment_open_ = true;
                    comment_at_ = at;
                }
            } else {
                return;
            }
        }
    }

    // A refusal at the next token, quoting it (a name or number whole, else one byte).
    bool fail_here(kind what, const char* phrase, std::int64_t activity = 0, std::int64_t number = 0,
                   const char* reason = nullptr) {
        skip();
        if (comment_open_) return fail_open_comment();
        failure_.expected = {{}, activity, number, phrase};
        failure_.reason = reason;
        in_.describe_next(failure_, what, false, true);
        return false;
    }

    // A comment the file ends in is the fault, whatever was expected after it.
    bool fail_open_comment() {
        return fail_at(comment_at_, "/*", "\"*/\" at the end of the comment", 0, "a comment the file ends in");
    }

    // An array1d's index set against the values it indexes.
    bool check_index_set(const char_scanner::mark& at, std::int32_t low, std::int32_t high, std::size_t values) {
        const std::int64_t size = std::max<std::int64_t>(0, std::int64_t{high} - low + 1);
        if (size == static_cast<std::int64_t>(values)) return true;
        char text[32];
        const int length = std::snprintf(text, sizeof text, "%d..%d", low, high);
        (void)length;
        return fail_at(at, text, "an index set of {n} {|index|indices}, one per value",
                       static_cast<std::int64_t>(values), "an index set of another size");
    }

    bool fail_at(const char_scanner::mark& at, const char* found, const char* phrase, std::int64_t number,
                 const char* reason, std::int64_t activity = 0) {
        failure_ = read_failure{};
        char_scanner::place(failure_, at);
        failure_.what = kind::unexpected;
        failure_.set_found(found, std::strlen(found), false);
        failure_.expected = {{}, activity, number, phrase};
        failure_.reason = reason;
        return false;
    }

    bool accept(char symbol) {
        skip();
        if (in_.peek() != static_cast<unsigned char>(symbol)) return false;
        in_.advance();
        return true;
    }

    bool expect(char symbol, const char* phrase) { return accept(symbol) || fail_here(kind::unexpected, phrase); }

    bool accept_word(std::string_view word) {
        skip();
        for (std::size_t index = 0; index < word.size(); ++index)
            if (in_.peek(index) != static_cast<unsigned char>(word[index])) return false;
        if (is_name_byte(in_.peek(word.size()))) return false;
        for (std::size_t index = 0; index < word.size(); ++index) in_.advance();
        return true;
    }

    bool read_name(std::string& name) {
        skip();
        if (!is_name_start(in_.peek())) return fail_here(kind::unexpected, "a name, as in n_res = 4;");
        name.clear();
        while (is_name_byte(in_.peek())) {
            if (name.size() < 64) name += static_cast<char>(in_.peek());
            in_.advance();
        }
        return true;
    }

    // The number at the next byte as written, its first found_limit bytes, not taken.
    std::size_t peek_number(char (&text)[read_failure::found_limit]) {
        std::size_t size = 0;
        for (int c = in_.peek(); size < sizeof text && ((c >= '0' && c <= '9') || (size == 0 && c == '-'));
             c = in_.peek(size))
            text[size++] = static_cast<char>(c);
        return size;
    }

    bool read_int(std::int32_t& value, const char* phrase, std::int64_t activity = 0, std::int64_t number = 0) {
        skip();
        if (in_.next_short_int(value)) return true;
        // Digits are looked at up to a point past any 32-bit value written
        // with leading zeros, and a longer run is out of range whatever follows.
        constexpr std::size_t longest = 4096;
        char text[read_failure::found_limit];
        std::size_t size = 0;
        int c = in_.peek();
        for (; size < longest && ((c >= '0' && c <= '9') || (size == 0 && c == '-')); c = in_.peek(++size))
            if (size < sizeof text) text[size] = static_cast<char>(c);
        const bool followed = size < longest && (is_name_byte(c) || (c == '.' && in_.peek(size + 1) != '.'));
        kind verdict = kind::out_of_range;
        if (followed)
            verdict = kind::not_an_integer;
        else if (size <= sizeof text)
            verdict = parse_int32({text, size}, value);
        if (verdict == kind::none) {
            for (std::size_t index = 0; index < size; ++index) in_.advance();
            return true;
        }
        return fail_here(verdict, phrase, activity, number);
    }

    // n_res and n_tasks: refused at their place when negative.
    bool read_count(std::int32_t& value, const char* phrase) {
        skip();
        const char_scanner::mark at = in_.here();
        char text[read_failure::found_limit];
        const std::size_t size = peek_number(text);
        if (!read_int(value, phrase)) return false;
        if (value >= 0) return true;
        fail_at(at, "", phrase, 0, "a negative count");
        failure_.set_found(text, size, false);
        return false;
    }

    // "a..b", after `low` was read.
    bool read_range_end(std::int32_t& high, const char* phrase) {
        return expect('.', "\"..\" in a range") && expect('.', "\"..\" in a range") && read_int(high, phrase);
    }

    // The fast path of a list up to its `closing` byte, taken; false where
    // the careful path goes on.
    bool fast_list(int_store& values, char closing, std::int32_t highest = 0) {
        skip();
        return in_.next_int_list(
                   [&values, highest](std::int32_t value) {
                       if (highest != 0 && (value < 1 || value > highest)) return 0;
                       append(values, value);
                       return 1;
                   },
                   closing) > 0;
    }

    // "[ v, v, ... ]" with a trailing comma allowed, into `values`.
    bool read_bracketed(int_store& values, const char* phrase) {
        if (!expect('[', "\"[\"")) return false;
        for (;;) {
            if (fast_list(values, ']')) {
                in_.advance();
                return true;
            }
            if (accept(']')) return true;
            std::int32_t value = 0;
            if (!read_int(value, phrase, 0, static_cast<std::int64_t>(values.size()) + 1)) return false;
            append(values, value);
            if (accept(']')) return true;
            if (!expect(',', "\",\" or \"]\"")) return false;
        }
    }

    // An array1d(1..n, [ ... ]) or [ ... ] of integers.
    bool read_int_array(int_list& list, const char* phrase) {
        skip();
        list.at = in_.here();
        if (accept_word("array1d")) {
            std::int32_t low = 0, high = 0;
            if (!expect('(', "\"(\" after array1d")) return false;
            skip();
            const char_scanner::mark index_at = in_.here();
            if (!read_int(low, "the index set's first number") ||
                !read_range_end(high, "the index set's last number") || !expect(',', "\",\" after the index set"))
                return false;
            skip();
            list.at = in_.here();
            if (!read_bracketed(list.values, phrase) || !expect(')', "\")\" after array1d's values")) return false;
            return check_index_set(index_at, low, high, list.values.size());
        }
        return read_bracketed(list.values, phrase);
    }

    // The words a matrix's refusals name it by.
    struct matrix_words {
        const char* value;     // "demand {n} of the row of resource {a} in rr"
        const char* separator; // "\",\" or \"|\" in rr"
        const char* rows;      // "rr's rows, each as long as the first ({n} {|demand|demands})"
        const char* values;    // "a demand in rr"
    };

    // rr or dcons: [| row | row |] (rows of equal length), [| |], [||], [], or
    // array2d(1..R, 1..T, [ ... ]).
    bool read_matrix(int_list& matrix, std::int64_t& matrix_rows, std::int64_t& matrix_columns,
                     const matrix_words& words) {
        skip();
        matrix.at = in_.here();
        if (accept_word("array2d")) {
            std::int32_t low = 0, high = 0;
            if (!expect('(', "\"(\" after array2d") || !read_int(low, "the resources' first index") ||
                !read_range_end(high, "the resources' last index") || !expect(',', "\",\" after the index set"))
                return false;
            matrix_rows = static_cast<std::int64_t>(high) - low + 1;
            if (!read_int(low, "the tasks' first index") || !read_range_end(high, "the tasks' last index") ||
                !expect(',', "\",\" after the index set"))
                return false;
            matrix_columns = static_cast<std::int64_t>(high) - low + 1;
            if (matrix_rows < 0) matrix_rows = 0;
            if (matrix_columns < 0) matrix_columns = 0;
            skip();
            matrix.at = in_.here();
            return read_bracketed(matrix.values, words.values) && expect(')', "\")\" after array2d's values");
        }
        if (!expect('[', "\"[|\" or array2d")) return false;
        if (accept(']')) return true; // []
        if (!expect('|', "\"|\" after \"[\"")) return false;
        if (accept('|')) return expect(']', "\"]\" after \"[||\"");
        for (std::int64_t row = 1;; ++row) {
            std::int64_t columns = 0;
            const bool into_grid = rr_by_task_ && &matrix == &rr_;
            for (;;) {
                bool ended = false;
                if (into_grid) {
                    skip();
                    ended = in_.next_int_list(
                                [this, row, &columns](std::int32_t value) {
                                    put_in_grid(row, columns++, value);
                                    return 1;
                                },
                                '|') > 0;
                } else {
                    const std::size_t before = matrix.values.size();
                    ended = fast_list(matrix.values, '|');
                    columns += static_cast<std::int64_t>(matrix.values.size() - before);
                }
                if (ended) break;
                skip();
                if (in_.peek() == '|') break;
                std::int32_t value = 0;
                if (!read_int(value, words.value, row, columns + 1)) return false;
                if (into_grid)
                    put_in_grid(row, columns, value);
                else
                    append(matrix.values, value);
                ++columns;
                skip();
                if (in_.peek() == '|') break;
                if (!expect(',', words.separator)) return false;
            }
            const char_scanner::mark row_end = in_.here();
            in_.advance();
            if (row == 1) {
                matrix_columns = columns;
                if (&matrix == &rr_ && given_[0] && resources_ >= 1 && resources_ <= grid_resource_limit &&
                    columns != 0)
                    spread_first_row();
            }
            if (columns == 0 && row == 1 && accept(']')) return true; // [| |]
            if (columns != matrix_columns)
                return fail_at(row_end, "|", words.rows, matrix_columns, "after a row of another length");
            matrix_rows = row;
            if (accept(']')) return true;
        }
    }

    // rr (or rreq) is read into the instance's own order, a task's (or a
    // mode's) demands together, when n_res came before it and is small: its
    // first row, resource 1's demands, is spread out to every n_res-th place
    // and the rows after it are put in between. The grid is as wide as the
    // first row; a value beyond it or in a row beyond n_res is counted, not
    // kept, as the matrix is then refused by its size. The limit bounds the
    // grid against the bytes of the first row, should the file end early.
    static constexpr std::int32_t grid_resource_limit = 16;

    void spread_first_row() {
        const auto columns = rr_.values.size();
        const auto resources = static_cast<std::size_t>(resources_);
        if (rr_.values.room(columns * resources - columns) == nullptr) throw std::bad_alloc();
        std::int32_t* const grid = rr_.values.data();
        for (std::size_t column = columns; column-- > 1;) grid[column * resources] = grid[column];
        rr_.values.added(columns * resources - columns);
        rr_grid_columns_ = columns;
        rr_read_ = columns;
        rr_by_task_ = true;
    }

    void put_in_grid(std::int64_t row, std::int64_t column, std::int32_t value) {
        ++rr_read_;
        if (row > resources_ || static_cast<std::uint64_t>(column) >= rr_grid_columns_) return;
        rr_.values.data()[static_cast<std::size_t>(column) * static_cast<std::size_t>(resources_) +
                          static_cast<std::size_t>(row - 1)] = value;
    }

    // The demand of `resource` (from 0) of task or mode `column` (from 0),
    // in a matrix of `columns` columns.
    std::int32_t demand_at(std::size_t resource, std::size_t column, std::size_t columns) const {
        return rr_by_task_ ? rr_.values[column * static_cast<std::size_t>(resources_) + resource]
                           : rr_.values[resource * columns + column];
    }
    std::size_t rr_value_count() const { return rr_by_task_ ? rr_read_ : rr_.values.size(); }

    // Whether the members of the sets read are tasks, known to lie within
    // 1..n_tasks: successors once n_tasks was given (modes are judged once
    // all is read).
    bool bounded() const { return sets_ == &suc_ && tasks_known_; }

    // One set: { a, b, ... } or a..b.
    // A set's members after its "{", up to its "}".
    bool read_set_members(std::int64_t task) {
        for (;;) {
            if (fast_list(sets_->members, '}', bounded() ? (tasks_ > 0 ? tasks_ : -1) : 0)) {
                in_.advance();
                break;
            }
            if (accept('}')) break;
            std::int32_t value = 0;
            if (!read_successor(value, task)) return false;
            if (accept('}')) break;
            if (!expect(',', "\",\" or \"}\" in a set")) return false;
        }
        sets_->end_set();
        return true;
    }

    bool read_set(std::int64_t task) {
        skip();
        if (accept('{')) {
            return read_set_members(task);
        } else {
            std::int32_t low = 0, high = 0;
            const char_scanner::mark at = in_.here();
            if (!read_int(low,
                          sets_ == &suc_ ? "the set of task {a}'s successors, { } or a range"
                                         : "the set of task {a}'s modes, { } or a range",
                          task) ||
                !read_range_end(high, "the range's last number"))
                return false;
            if (bounded() && low <= high && (low < 1 || high > tasks_)) return fail_range(at, low, high);
            sets_->range_sets.push_back(sets_->sizes.size());
            append(sets_->members, low);
            append(sets_->members, high);
            if (!bounded()) sets_->range_at.push_back(at);
        }
        sets_->end_set();
        return true;
    }

    bool fail_range(const char_scanner::mark& at, std::int32_t low, std::int32_t high) {
        char text[32];
        const int length = std::snprintf(text, sizeof text, "%d..%d", low, high);
        (void)length;
        return fail_at(at, text, "successors within 1..{n}", tasks_, "a range beyond them");
    }

    bool read_successor(std::int32_t& value, std::int64_t task) {
        skip();
        const char_scanner::mark at = in_.here();
        char text[read_failure::found_limit];
        const std::size_t size = peek_number(text);
        if (!read_int(value, sets_ == &suc_ ? "a successor of task {a}" : "a mode of task {a}", task)) return false;
        if (bounded() && (value < 1 || value > tasks_)) {
            fail_at(at, "", "a successor of task {a} within 1..{n}", tasks_, "which is not a task", task);
            failure_.set_found(text, size, false);
            return false;
        }
        append(sets_->members, value);
        return true;
    }

    bool read_sets() {
        skip();
        sets_->at = in_.here();
        const bool wrapped = accept_word("array1d");
        std::int32_t index_low = 0, index_high = 0;
        char_scanner::mark index_at{};
        if (wrapped) {
            if (!expect('(', "\"(\" after array1d")) return false;
            skip();
            index_at = in_.here();
            if (!read_int(index_low, "the index set's first number") ||
                !read_range_end(index_high, "the index set's last number") || !expect(',', "\",\" after the index set"))
                return false;
            skip();
            sets_->at = in_.here();
        }
        if (!expect('[', "\"[\"")) return false;
        const std::int32_t highest = bounded() ? (tasks_ > 0 ? tasks_ : -1) : 0;
        for (std::int64_t task = 1;; ++task) {
            // The fast path of a set as the benchmarks write it: "{ a, b }," with
            // nothing else about it.
            if (in_.take_after_blanks('{')) {
                const bool empty = in_.take_after_blanks('}');
                if (empty || fast_list(sets_->members, '}', highest)) {
                    if (!empty) in_.advance();
                    sets_->end_set();
                    if (in_.take_after_blanks(',')) continue;
                    if (accept(']')) break;
                    return fail_here(kind::unexpected, "\",\" or \"]\" after a set");
                }
                if (!read_set_members(task)) return false;
            } else {
                if (accept(']')) break;
                if (!read_set(task)) return false;
            }
            if (accept(']')) break;
            if (!expect(',', "\",\" or \"]\" after a set")) return false;
        }
        return !wrapped || (expect(')', "\")\" after array1d's values") &&
                            check_index_set(index_at, index_low, index_high, sets_->sizes.size()));
    }

    // Another name's value, whatever it is: up to its ";" outside brackets and strings.
    bool skip_value() {
        int depth = 0;
        for (;;) {
            skip();
            const int c = in_.peek();
            if (c == -1) return fail_here(kind::unexpected, "\";\" after the value");
            if (c == ';' && depth == 0) return true;
            if (c == '(' || c == '[' || c == '{') ++depth;
            if (c == ')' || c == ']' || c == '}') --depth;
            in_.advance();
            if (c == '"') {
                while (in_.peek() != -1 && in_.peek() != '"') {
                    if (in_.peek() == '\\') in_.advance();
                    if (in_.peek() != -1) in_.advance();
                }
                if (in_.peek() == '"') in_.advance();
            }
        }
    }

    bool read_assignments() {
        std::string name;
        for (;;) {
            skip();
            if (in_.peek() == -1) {
                if (comment_open_) return fail_open_comment();
                break;
            }
            const char_scanner::mark at = in_.here();
            if (!read_name(name)) return false;
            // The standard model's names, then the rcpsp_max model's (rcap and
            // dur stand for rc and d, dcons and n_dc for suc), then the mrcpsp
            // model's (rcap, dur, succ and rreq for rc, d, suc and rr).
            const char* const ours[] = {"n_res", "rc",   "n_tasks", "d",     "rr",   "suc",   "rcap", "dur",
                                        "dcons", "n_dc", "rtype",   "modes", "succ", "n_opt", "rreq"};
            constexpr int names = 15;
            int which = -1;
            for (int index = 0; index < names; ++index)
                if (name == ours[index]) which = index;
            const int slot = slot_of(which);
            if (slot >= 0 && given_[slot]) return fail_at(at, ours[which], "each name once", 0, "given a second time");
            if (!expect('=', "\"=\" after the name")) return false;
            if (slot >= 0) given_[slot] = true;
            if (which >= 0) given_name_[which] = true;
            if (which == 8 || which == 9) {
                if (!max_model_) {
                    max_model_at_ = at;
                    max_name_ = name;
                }
                max_model_ = true;
            }
            if (which >= 10) {
                if (!modes_model_) {
                    modes_model_at_ = at;
                    modes_name_ = name;
                }
                modes_model_ = true;
            }
            bool read = true;
            std::int32_t value = 0;
            switch (which) {
            case 0:
                read = read_count(value, "the value of n_res, a count of 0 or more");
                resources_ = value;
                break;
            case 1: read = read_int_array(rc_, "capacity {n} in rc"); break;
            case 2:
                read = read_count(value, "the value of n_tasks, a count of 0 or more");
                tasks_ = value;
                tasks_known_ = true;
                break;
            case 3: read = read_int_array(d_, "duration {n} in d"); break;
            case 4:
                read = read_matrix(rr_, rr_rows_, rr_columns_,
                                   {"demand {n} of the row of resource {a} in rr", "\",\" or \"|\" in rr",
                                    "rr's rows, each as long as the first ({n} {|demand|demands})", "a demand in rr"});
                break;
            case 5:
            case 12: read = read_sets(); break;
            case 6: read = read_int_array(rc_, "capacity {n} in rcap"); break;
            case 7: read = read_int_array(d_, "duration {n} in dur"); break;
            case 8:
                read = read_matrix(dcons_, dcons_rows_, dcons_columns_,
                                   {"value {n} of row {a} in dcons", "\",\" or \"|\" in dcons",
                                    "dcons's rows, each of {n} values: i, lag, j", "a value in dcons"});
                break;
            case 9:
                read = read_count(value, "the value of n_dc, a count of 0 or more");
                arc_count_ = value;
                break;
            case 10: read = read_int_array(rtype_, "the kind of resource {n} in rtype"); break;
            case 11:
                sets_ = &modes_;
                read = read_sets();
                sets_ = &suc_;
                break;
            case 13:
                read = read_count(value, "the value of n_opt, a count of 0 or more");
                options_ = value;
                break;
            case 14:
                read =
                    read_matrix(rr_, rr_rows_, rr_columns_,
                                {"demand {n} of the row of resource {a} in rreq", "\",\" or \"|\" in rreq",
                                 "rreq's rows, each as long as the first ({n} {|demand|demands})", "a demand in rreq"});
                break;
            default: read = skip_value(); break;
            }
            if (!read || !expect(';', "\";\" after the value")) return false;
        }
        const char* const missing[] = {
            "the assignment of n_res", "the assignment of rc",    "the assignment of n_tasks",
            "the assignment of d",     "the assignment of rr",    "the assignment of suc",
            "the assignment of rcap",  "the assignment of dur",   "the assignment of dcons",
            "the assignment of n_dc",  "the assignment of rtype", "the assignment of modes",
            "the assignment of succ",  "the assignment of n_opt", "the assignment of rreq"};
        if (max_model_ && modes_model_)
            return fail_at(modes_model_at_, modes_name_.c_str(), "the names of one model", 0,
                           "a name of MiniZinc's mrcpsp model beside rcpsp_max's (no model has both modes and "
                           "general time lags)");
        // rcpsp_max data hold dcons and n_dc where the standard model's hold suc.
        if (max_model_ && given_[5])
            return fail_at(max_model_at_, max_name_.c_str(), "suc or dcons, not both", 0,
                           "a name of MiniZinc's rcpsp_max model beside suc, the standard model's");
        const int needed_max[] = {0, 6, 2, 7, 4, 8, 9};
        const int needed_standard[] = {0, 1, 2, 3, 4, 5};
        const int needed_modes[] = {0, 6, 10, 2, 11, 12, 13, 7, 14};
        const int* const needed = max_model_ ? needed_max : modes_model_ ? needed_modes : needed_standard;
        const int needed_count = max_model_ ? 7 : modes_model_ ? 9 : 6;
        for (int place = 0; place < needed_count; ++place) {
            const int index = needed[place];
            if (!given_[slot_of(index)]) return fail_here(kind::unexpected, missing[index]);
        }
        return true;
    }

    // Where a name's being given is kept: names that stand for one another
    // share one.
    static int slot_of(int which) {
        switch (which) {
        case 6: return 1;  // rcap: rc
        case 7: return 3;  // dur: d
        case 12: return 5; // succ: suc
        case 14: return 4; // rreq: rr
        default: return which;
        }
    }

    // The sizes against the counts, then the instance, with dummies where the
    // tasks have none.
    void build() {
        const std::int64_t resources = resources_ > 0 ? resources_ : 0;
        const std::int64_t tasks = tasks_ > 0 ? tasks_ : 0;
        // Each array named as the file names it.
        const bool rcap = given_name_[6], dur = given_name_[7], rreq = given_name_[14];
        if (static_cast<std::int64_t>(rc_.values.size()) != resources) {
            fail_at(rc_.at, "[",
                    rcap ? "rcap with {n} {|capacity|capacities}, one per resource"
                         : "rc with {n} {|capacity|capacities}, one per resource",
                    resources, "an array of another size");
            return;
        }
        // mrcpsp's dur and rreq hold a value per mode, the others' per task.
        const std::int64_t options = options_ > 0 ? options_ : 0;
        const std::int64_t per_task = modes_model_ ? options : tasks;
        if (static_cast<std::int64_t>(d_.values.size()) != per_task) {
            fail_at(d_.at, "[",
                    modes_model_ ? (dur ? "dur with {n} {|duration|durations}, one per mode (n_opt)"
                                        : "d with {n} {|duration|durations}, one per mode (n_opt)")
                    : dur        ? "dur with {n} {|duration|durations}, one per task"
                                 : "d with {n} {|duration|durations}, one per task",
                    per_task, "an array of another size");
            return;
        }
        const bool empty_rr = rr_value_count() == 0 && (resources == 0 || per_task == 0);
        if (!empty_rr && (rr_rows_ != resources || rr_columns_ != per_task ||
                          static_cast<std::int64_t>(rr_value_count()) != resources * per_task)) {
            fail_at(rr_.at, "[",
                    modes_model_ ? (rreq ? "rreq with {n} {|row|rows}, one per resource, of one demand per mode"
                                         : "rr with {n} {|row|rows}, one per resource, of one demand per mode")
                    : rreq       ? "rreq with {n} {|row|rows}, one per resource, of one demand per task"
                                 : "rr with {n} {|row|rows}, one per resource, of one demand per task",
                    resources, "an array of another size");
            return;
        }
        if (modes_model_ && !read_task_modes(resources, tasks, options)) return;
        if (max_model_) {
            build_max();
            return;
        }
        if (static_cast<std::int64_t>(suc_.sizes.size()) != tasks) {
            fail_at(suc_.at, "[", "suc with {n} {|set|sets}, one per task", tasks, "an array of another size");
            return;
        }
        // One pass over the sets: each within the tasks, put ascending and once
        // (sets written so are kept as they are), and who has a predecessor.
        // Each set's size becomes the size kept.
        const auto count = static_cast<std::size_t>(tasks);
        const std::size_t listed_members = suc_.members.size();
        std::int32_t* const sorted = suc_.members.data();
        std::int32_t* const sizes = suc_.sizes.data();
        std::vector<char> has_predecessor(count, 0);
        std::size_t kept_members = 0, expanded_members = 0, listed_at = 0;
        std::size_t next_range = 0, kept_ranges = 0;
        for (std::size_t task = 0; task < count; ++task) {
            std::int32_t* const first = sorted + listed_at;
            std::int32_t* last = first + sizes[task];
            listed_at += static_cast<std::size_t>(sizes[task]);
            if (next_range < suc_.range_sets.size() && suc_.range_sets[next_range] == task) {
                // A range: judged against the tasks before anything of it is
                // stored; an empty one becomes an empty set.
                const std::int32_t low = first[0], high = first[1];
                const bool empty = low > high;
                if (!empty && (low < 1 || high > tasks)) {
                    if (next_range < suc_.range_at.size())
                        fail_range(suc_.range_at[next_range], low, high);
                    else
                        fail_at(suc_.at, "[", "successors within 1..{n}", tasks, "an array holding others");
                    return;
                }
                ++next_range;
                for (std::int32_t member = low; !empty && member <= high; ++member)
                    has_predecessor[static_cast<std::size_t>(member - 1)] = 1;
                sizes[task] = empty ? 0 : 2;
                if (empty) continue;
                sorted[kept_members] = low;
                sorted[kept_members + 1] = high;
                kept_members += 2;
                expanded_members += static_cast<std::size_t>(high - low) + 1;
                suc_.range_sets[kept_ranges++] = task;
                continue;
            }
            bool ascending = true;
            for (std::int32_t* member = first; member != last; ++member) {
                if (*member < 1 || *member > tasks) {
                    fail_at(suc_.at, "[", "successors within 1..{n}", tasks, "an array holding others");
                    return;
                }
                ascending = ascending && (member == first || member[-1] < *member);
                has_predecessor[static_cast<std::size_t>(*member - 1)] = 1;
            }
            if (!ascending) {
                std::sort(first, last);
                last = std::unique(first, last);
            }
            const auto size = static_cast<std::size_t>(last - first);
            if (sorted + kept_members != first) std::copy(first, last, sorted + kept_members);
            sizes[task] = static_cast<std::int32_t>(size);
            kept_members += size;
            expanded_members += size;
        }
        suc_.range_sets.resize(kept_ranges);
        if (tasks * tasks > 0 && static_cast<std::int64_t>(listed_members) > (tasks + 2) * (tasks + 2)) {
            fail_at(suc_.at, "[", "no more successors than the tasks squared", tasks, "an array holding more");
            return;
        }
        suc_.members.truncate(kept_members);
        const auto columns = static_cast<std::size_t>(resources);
        const auto option_count = static_cast<std::size_t>(options);
        const auto looks_dummy = [&](std::size_t task) {
            std::size_t mode = task, stride = count;
            if (modes_model_ && modes_in_order_) {
                // Asked of the first and the last task alone: their one mode
                // is the first or the last.
                if (modes_.sizes[task] != 1) return false;
                mode = task == 0 ? 0 : option_count - 1;
                stride = option_count;
            } else if (modes_model_) {
                if (task_mode_start_[task + 1] - task_mode_start_[task] != 1) return false;
                mode = task_modes_[task_mode_start_[task]];
                stride = option_count;
            }
            if (d_.values[mode] != 0) return false;
            for (std::size_t resource = 0; resource < columns; ++resource)
                if (demand_at(resource, mode, stride) != 0) return false;
            return true;
        };
        const bool kept =
            count >= 2 && looks_dummy(0) && !has_predecessor[0] && looks_dummy(count - 1) && sizes[count - 1] == 0;
        const std::size_t activities = count + (kept ? 0 : 2);
        result_.activity_count = static_cast<std::int32_t>(activities);
        result_.dummies_added = !kept;
        result_.resource_count = static_cast<std::int32_t>(resources);
        for (const std::int32_t capacity : rc_.values) push(result_.capacities, capacity);
        if ((!modes_model_ || modes_in_order_) && suc_.range_sets.empty()) {
            build_in_place(kept, has_predecessor);
            return;
        }
        if (modes_in_order_) {
            // The modes as the careful path lists them.
            task_mode_start_.assign(1, 0);
            for (std::size_t task = 0; task < count; ++task)
                task_mode_start_.push_back(task_mode_start_.back() + static_cast<std::size_t>(modes_.sizes[task]));
            task_modes_.resize(option_count);
            for (std::size_t mode = 0; mode < option_count; ++mode) task_modes_[mode] = mode;
        }
        build_by_copy(kept, has_predecessor, expanded_members);
    }

    // The standard model's instance from the arrays read, in their own memory:
    // the durations, the grid of demands (when read as one) and the sets'
    // members and sizes become the instance's stores, shifted in place to
    // make room for the dummies. Every set's members then move back to front
    // to their places, which lie at or after where they are (a set grows by
    // the dummy end at most, and the dummy start's list comes first).
    void build_in_place(bool kept, const std::vector<char>& has_predecessor) {
        const auto count = static_cast<std::size_t>(tasks_ > 0 ? tasks_ : 0);
        const auto columns = static_cast<std::size_t>(resources_ > 0 ? resources_ : 0);
        const std::size_t shift = kept ? 0 : 1; // activity of task t (from 0) is t + shift
        const std::size_t activities = count + 2 * shift;
        std::size_t first_count = 0;
        if (!kept)
            for (const char has : has_predecessor) first_count += has == 0;

        int_store& sizes = suc_.sizes;
        int_store& members = suc_.members;
        std::size_t total = first_count;
        for (std::size_t task = 0; task < count; ++task)
            total += sizes[task] == 0 ? shift : static_cast<std::size_t>(sizes[task]);
        const std::size_t kept_members = members.size();
        if (total > kept_members) room(members, total - kept_members);
        std::int32_t* const successors = members.data();
        std::size_t source_end = kept_members, target_end = total;
        for (std::size_t task = count; task-- > 0;) {
            const auto size = static_cast<std::size_t>(sizes[task]);
            if (size == 0) {
                if (!kept) successors[--target_end] = static_cast<std::int32_t>(activities - 1);
                continue;
            }
            source_end -= size;
            target_end -= size;
            for (std::size_t place = size; place-- > 0;)
                successors[target_end + place] = successors[source_end + place] - 1 + static_cast<std::int32_t>(shift);
        }
        for (std::size_t task = 0, place = 0; place < first_count; ++task)
            if (has_predecessor[task] == 0) successors[place++] = static_cast<std::int32_t>(task + shift);
        members.added(total - kept_members);

        std::int32_t* counts = sizes.data();
        if (!kept) {
            room(sizes, 2);
            counts = sizes.data();
            std::memmove(counts + 1, counts, count * sizeof *counts);
            counts[0] = static_cast<std::int32_t>(first_count);
            counts[count + 1] = 0;
            sizes.added(2);
        }
        for (std::size_t task = shift; task < count + shift; ++task)
            if (counts[task] == 0 && !kept) counts[task] = 1;
        result_.successor_counts = std::move(sizes);
        result_.successors = std::move(members);

        // A task's durations and demands, one row a mode with the modes in
        // order, are d's and rr's in their own order.
        const std::size_t rows = modes_model_ ? static_cast<std::size_t>(options_) : count;
        result_.durations = std::move(d_.values);
        with_dummies(result_.durations, 1, shift);
        if (rr_by_task_) {
            result_.demands = std::move(rr_.values);
            with_dummies(result_.demands, columns, shift);
        } else {
            const std::size_t all_rows = rows + 2 * shift;
            std::int32_t* const demands = room(result_.demands, all_rows * columns);
            std::fill(demands, demands + shift * columns, 0);
            for (std::size_t row = 0; row < rows; ++row)
                for (std::size_t resource = 0; resource < columns; ++resource)
                    demands[(row + shift) * columns + resource] = demand_at(resource, row, rows);
            std::fill(demands + (rows + shift) * columns, demands + all_rows * columns, 0);
            result_.demands.added(all_rows * columns);
            rr_.values.release();
        }
        if (modes_model_) {
            for (const std::int32_t resource_type : rtype_.values) push(result_.resource_kinds, resource_type);
            result_.mode_counts = std::move(modes_.sizes);
            with_dummies(result_.mode_counts, 1, shift);
            if (shift != 0) {
                std::int32_t* const mode_counts = result_.mode_counts.data();
                mode_counts[0] = mode_counts[activities - 1] = 1;
            }
            drop_single_modes_and_renewable_kinds(result_);
        }
    }

    // `store`, rows of `width` values, with `shift` rows of zeros (0 or 1)
    // put before and after them.
    void with_dummies(int_store& store, std::size_t width, std::size_t shift) {
        if (shift == 0 || width == 0) return;
        const std::size_t size = store.size();
        room(store, 2 * width);
        std::int32_t* const values = store.data();
        std::memmove(values + width, values, size * sizeof *values);
        std::fill(values, values + width, 0);
        std::fill(values + width + size, values + 2 * width + size, 0);
        store.added(2 * width);
    }

    // The instance of the mrcpsp model, or of sets given as ranges, built
    // afresh from the arrays read.
    void build_by_copy(bool kept, const std::vector<char>& has_predecessor, std::size_t expanded_members) {
        const auto count = static_cast<std::size_t>(tasks_ > 0 ? tasks_ : 0);
        const auto columns = static_cast<std::size_t>(resources_ > 0 ? resources_ : 0);
        const auto option_count = static_cast<std::size_t>(options_ > 0 ? options_ : 0);
        const std::int32_t* const sorted = suc_.members.begin();
        const int_store& sizes = suc_.sizes;
        const std::size_t shift = kept ? 0 : 1; // activity of task t (from 0) is t + shift
        const std::size_t activities = count + 2 * shift;
        const auto add_dummy = [&](const std::vector<std::int32_t>& successors) {
            push(result_.durations, 0);
            for (std::size_t resource = 0; resource < columns; ++resource) push(result_.demands, 0);
            push(result_.successor_counts, static_cast<std::int32_t>(successors.size()));
            for (const std::int32_t successor : successors) push(result_.successors, successor);
        };
        if (!kept) {
            std::vector<std::int32_t> first;
            for (std::size_t task = 0; task < count; ++task)
                if (!has_predecessor[task]) first.push_back(static_cast<std::int32_t>(task + shift));
            add_dummy(first);
        }
        if (modes_model_) {
            for (const std::int32_t resource_type : rtype_.values) push(result_.resource_kinds, resource_type);
            if (!kept) push(result_.mode_counts, 1);
            for (std::size_t task = 0; task < count; ++task) {
                push(result_.mode_counts,
                     static_cast<std::int32_t>(task_mode_start_[task + 1] - task_mode_start_[task]));
                for (std::size_t place = task_mode_start_[task]; place < task_mode_start_[task + 1]; ++place) {
                    const std::size_t mode = task_modes_[place];
                    push(result_.durations, d_.values[mode]);
                    for (std::size_t resource = 0; resource < columns; ++resource)
                        push(result_.demands, demand_at(resource, mode, option_count));
                }
            }
            if (!kept) push(result_.mode_counts, 1);
        }
        std::int32_t* const durations = modes_model_ ? nullptr : room(result_.durations, count);
        std::int32_t* const demands = modes_model_ ? nullptr : room(result_.demands, count * columns);
        std::int32_t* const counts = room(result_.successor_counts, count);
        std::int32_t* const successors = room(result_.successors, expanded_members + count);
        std::size_t successor_total = 0, next_range = 0, listed_at = 0;
        for (std::size_t task = 0; task < count; ++task) {
            if (!modes_model_) {
                durations[task] = d_.values[task];
                for (std::size_t resource = 0; resource < columns; ++resource)
                    demands[task * columns + resource] = demand_at(resource, task, count);
            }
            const auto listed = static_cast<std::size_t>(sizes[task]);
            const std::size_t begin = listed_at;
            listed_at += listed;
            if (!kept && listed == 0) {
                counts[task] = 1;
                successors[successor_total++] = static_cast<std::int32_t>(activities - 1);
                continue;
            }
            if (next_range < suc_.range_sets.size() && suc_.range_sets[next_range] == task) {
                ++next_range;
                const std::int32_t low = sorted[begin], high = sorted[begin + 1];
                counts[task] = high - low + 1;
                for (std::int32_t member = low; member <= high; ++member)
                    successors[successor_total++] = member - 1 + static_cast<std::int32_t>(shift);
                continue;
            }
            counts[task] = static_cast<std::int32_t>(listed);
            for (std::size_t index = begin; index < begin + listed; ++index)
                successors[successor_total++] = sorted[index] - 1 + static_cast<std::int32_t>(shift);
        }
        if (!modes_model_) {
            result_.durations.added(count);
            result_.demands.added(count * columns);
        }
        result_.successor_counts.added(count);
        result_.successors.added(successor_total);
        if (!kept) add_dummy({});
        drop_single_modes_and_renewable_kinds(result_);
    }

    // Whether the tasks' modes are 1..n_opt in order, as MiniZinc's own data
    // give them: task 1 the first few, task 2 the next, each set ascending
    // (or a range). Then no list of them is made: each task's set size in
    // modes_.sizes becomes its mode count, and the modes' durations and
    // demands are the task's in the order read. Anything else is left to the
    // careful path, with its checks and words.
    bool modes_in_order(std::int64_t options) {
        const std::int32_t* const members = modes_.members.data();
        std::int64_t total = 0;
        std::size_t listed_at = 0, next_range = 0;
        for (std::size_t task = 0; task < modes_.sizes.size(); ++task) {
            const auto size = static_cast<std::size_t>(modes_.sizes[task]);
            const std::int32_t* const first = members + listed_at;
            listed_at += size;
            if (next_range < modes_.range_sets.size() && modes_.range_sets[next_range] == task) {
                ++next_range;
                if (first[0] != total + 1 || first[1] < first[0]) return false;
                total = first[1];
                continue;
            }
            if (size == 0) return false;
            for (std::size_t place = 0; place < size; ++place)
                if (first[place] != total + 1 + static_cast<std::int64_t>(place)) return false;
            total += static_cast<std::int64_t>(size);
        }
        if (total != options) return false;
        listed_at = 0;
        next_range = 0;
        std::int32_t* const sizes = modes_.sizes.data();
        for (std::size_t task = 0; task < modes_.sizes.size(); ++task) {
            const std::int32_t* const first = members + listed_at;
            listed_at += static_cast<std::size_t>(sizes[task]);
            if (next_range < modes_.range_sets.size() && modes_.range_sets[next_range] == task) {
                ++next_range;
                sizes[task] = first[1] - first[0] + 1;
            }
        }
        modes_.members.release();
        modes_in_order_ = true;
        return true;
    }

    // mrcpsp's rtype and modes against the counts, each task's modes then in
    // task_modes_ (from 0, ascending, a range expanded).
    bool read_task_modes(std::int64_t resources, std::int64_t tasks, std::int64_t options) {
        if (static_cast<std::int64_t>(rtype_.values.size()) != resources)
            return fail_at(rtype_.at, "[", "rtype with {n} {|kind|kinds}, one per resource", resources,
                           "an array of another size");
        for (std::size_t resource = 0; resource < rtype_.values.size(); ++resource)
            if (rtype_.values[resource] != 1 && rtype_.values[resource] != 2)
                return fail_at(rtype_.at, "[", "rtype of 1 (renewable) and 2 (nonrenewable), resource {n} too",
                               static_cast<std::int64_t>(resource + 1), "an array holding others");
        if (static_cast<std::int64_t>(modes_.sizes.size()) != tasks)
            return fail_at(modes_.at, "[", "modes with {n} {|set|sets}, one per task", tasks,
                           "an array of another size");
        if (modes_in_order(options)) return true;
        task_mode_start_.assign(1, 0);
        std::size_t next_range = 0;
        const std::int32_t* last = modes_.members.data();
        for (std::size_t task = 0; task < modes_.sizes.size(); ++task) {
            const std::size_t begin = task_modes_.size();
            const std::int32_t* const first = last;
            last = first + modes_.sizes[task];
            if (next_range < modes_.range_sets.size() && modes_.range_sets[next_range] == task) {
                ++next_range;
                for (std::int64_t mode = first[0]; mode <= first[1]; ++mode) {
                    if (mode < 1 || mode > options) break;
                    task_modes_.push_back(static_cast<std::size_t>(mode - 1));
                }
                if (first[0] <= first[1] && (first[0] < 1 || first[1] > options))
                    return fail_at(modes_.at, "[", "modes within 1..{n} (n_opt)", options, "an array holding others");
            } else {
                for (const std::int32_t* mode = first; mode != last; ++mode) {
                    if (*mode < 1 || *mode > options)
                        return fail_at(modes_.at, "[", "modes within 1..{n} (n_opt)", options,
                                       "an array holding others");
                    task_modes_.push_back(static_cast<std::size_t>(*mode - 1));
                }
                std::sort(task_modes_.begin() + static_cast<std::ptrdiff_t>(begin), task_modes_.end());
                task_modes_.erase(
                    std::unique(task_modes_.begin() + static_cast<std::ptrdiff_t>(begin), task_modes_.end()),
                    task_modes_.end());
            }
            if (task_modes_.size() == begin)
                return fail_at(modes_.at, "[", "a mode or more for each task, task {n} too",
                               static_cast<std::int64_t>(task + 1), "an array holding an empty set");
            task_mode_start_.push_back(task_modes_.size());
        }
        // The model gives each mode to one task: a mode in none would be
        // dropped, one in two copied.
        std::vector<char> taken(static_cast<std::size_t>(options), 0);
        for (const std::size_t mode : task_modes_)
            if (taken[mode]++ != 0)
                return fail_at(modes_.at, "[", "each mode of 1..n_opt in exactly one task, mode {n} too",
                               static_cast<std::int64_t>(mode + 1), "an array holding it in two tasks");
        for (std::size_t mode = 0; mode < taken.size(); ++mode)
            if (taken[mode] == 0)
                return fail_at(modes_.at, "[", "each mode of 1..n_opt in exactly one task, mode {n} too",
                               static_cast<std::int64_t>(mode + 1), "an array holding it in none");
        return true;
    }

    // rcpsp_max data: each row i, lag, j of dcons an arc of task i, in row
    // order. The model holds no dummies: it asks S_i >= 0 and S_i + d_i <= the
    // makespan of every task, which the dummies' arcs must keep. The dummy start
    // gets an arc of lag 0 to each task that no row of a lag of 0 or more leads
    // to, and the dummy end an arc from each task that no such row leads from,
    // its lag the task's duration (rows of negative lags, maximal time lags, are
    // arcs back): the benchmarks' own arcs. Within cycles these may leave a
    // task unbounded (its only such row runs back into its cycle), so further
    // arcs are added, in task order, to each task that those arcs do not bound
    // yet: see bound_by_start and bound_by_end.
    void build_max() {
        const auto count = static_cast<std::size_t>(tasks_ > 0 ? tasks_ : 0);
        const auto columns = static_cast<std::size_t>(resources_ > 0 ? resources_ : 0);
        if (!dcons_.values.empty() && dcons_columns_ != 3) {
            fail_at(dcons_.at, "[", "dcons with rows of {n} values: i, lag, j", 3, "rows of another length");
            return;
        }
        if (dcons_.values.size() != static_cast<std::size_t>(arc_count_) * 3) {
            fail_at(dcons_.at, "[", "dcons with {n} {|row|rows}, as n_dc says", arc_count_, "an array of another size");
            return;
        }
        const std::size_t rows = dcons_.values.size() / 3;
        std::vector<std::size_t> first_row(count + 2, 0); // task t's rows: first_row[t]..first_row[t + 1]
        std::vector<char> has_predecessor(count, 0), has_successor(count, 0);
        for (std::size_t row = 0; row < rows; ++row) {
            const std::int32_t from = dcons_.values[row * 3], to = dcons_.values[row * 3 + 2];
            if (from < 1 || from > tasks_ || to < 1 || to > tasks_) {
                fail_at(dcons_.at, "[", "arcs between tasks 1..{n} in dcons", tasks_, "an array holding others");
                return;
            }
            ++first_row[static_cast<std::size_t>(from) + 1];
            if (dcons_.values[row * 3 + 1] < 0) continue;
            has_predecessor[static_cast<std::size_t>(to - 1)] = 1;
            has_successor[static_cast<std::size_t>(from - 1)] = 1;
        }
        for (std::size_t task = 1; task < first_row.size(); ++task) first_row[task] += first_row[task - 1];
        // Rows grouped by task, each group in row order.
        std::vector<std::size_t> by_task(rows);
        std::vector<std::size_t> next(first_row);
        for (std::size_t row = 0; row < rows; ++row)
            by_task[next[static_cast<std::size_t>(dcons_.values[row * 3])]++] = row;
        std::vector<char>& from_start = has_predecessor;
        for (char& flag : from_start) flag = static_cast<char>(!flag);
        bound_by_start(from_start, first_row, by_task);
        std::vector<char>& to_end = has_successor;
        for (char& flag : to_end) flag = static_cast<char>(!flag);
        bound_by_end(to_end);
        const std::size_t activities = count + 2;
        result_.activity_count = static_cast<std::int32_t>(activities);
        result_.resource_count = static_cast<std::int32_t>(columns);
        result_.dummies_added = true;
        for (const std::int32_t capacity : rc_.values) push(result_.capacities, capacity);
        push(result_.durations, 0); // the dummy start
        for (std::size_t resource = 0; resource < columns; ++resource) push(result_.demands, 0);
        std::int32_t starts = 0;
        for (std::size_t task = 0; task < count; ++task)
            if (from_start[task] == 1) {
                push(result_.successors, static_cast<std::int32_t>(task + 1));
                push(result_.lags, 0);
                ++starts;
            }
        push(result_.successor_counts, starts);
        for (std::size_t task = 0; task < count; ++task) {
            const std::int32_t duration = d_.values[task];
            push(result_.durations, duration);
            for (std::size_t resource = 0; resource < columns; ++resource)
                push(result_.demands, demand_at(resource, task, count));
            const std::size_t arcs = first_row[task + 2] - first_row[task + 1];
            for (std::size_t place = first_row[task + 1]; place < first_row[task + 2]; ++place) {
                push(result_.successors, dcons_.values[by_task[place] * 3 + 2]);
                push(result_.lags, dcons_.values[by_task[place] * 3 + 1]);
            }
            const bool ends = to_end[task] == 1;
            if (ends) {
                push(result_.successors, static_cast<std::int32_t>(activities - 1));
                push(result_.lags, duration);
            }
            push(result_.successor_counts, static_cast<std::int32_t>(arcs + (ends ? 1 : 0)));
        }
        push(result_.durations, 0); // the dummy end
        for (std::size_t resource = 0; resource < columns; ++resource) push(result_.demands, 0);
        push(result_.successor_counts, 0);
        drop_lags_equal_to_durations(result_);
    }

    // Marks bounded the tasks `arc` holds and every task `leads(task, mark)`
    // reaches from them (it calls mark(next) for each task `task` bounds in
    // turn); then gives each task left unbounded, in task order, an arc of its
    // own in `arc`, and spreads from it.
    template <typename edges> static void bound_in_task_order(std::vector<char>& arc, edges leads) {
        std::vector<char> bounded(arc);
        std::vector<std::size_t> waiting;
        const auto spread = [&](std::size_t from) {
            waiting.push_back(from);
            while (!waiting.empty()) {
                const std::size_t task = waiting.back();
                waiting.pop_back();
                leads(task, [&](std::size_t next) {
                    if (bounded[next] != 0) return;
                    bounded[next] = 1;
                    waiting.push_back(next);
                });
            }
        };
        for (std::size_t task = 0; task < arc.size(); ++task)
            if (arc[task] != 0) spread(task);
        for (std::size_t task = 0; task < arc.size(); ++task) {
            if (bounded[task] != 0) continue;
            arc[task] = bounded[task] = 1;
            spread(task);
        }
    }

    // `start_arc` holds 1 for each task the dummy start has an arc to; on
    // return also for each task that S >= 0 needs it for. A task is bounded
    // below by 0 when a path of rows of lags of 0 or more leads to it from one
    // with an arc; the tasks that none leads to get one each, in task order.
    void bound_by_start(std::vector<char>& start_arc, const std::vector<std::size_t>& first_row,
                        const std::vector<std::size_t>& by_task) {
        bound_in_task_order(start_arc, [&](std::size_t task, auto mark) {
            for (std::size_t place = first_row[task + 1]; place < first_row[task + 2]; ++place) {
                const std::size_t row = by_task[place];
                if (dcons_.values[row * 3 + 1] >= 0) mark(static_cast<std::size_t>(dcons_.values[row * 3 + 2] - 1));
            }
        });
    }

    // `end_arc` holds 1 for each task with an arc to the dummy end (of its
    // duration); on return also for each task that S + d <= the makespan
    // needs it for. Task i is bounded so when a row i, lag, k leads to a
    // bounded task k with lag + d_k >= d_i (S_i + d_i <= S_k - lag + d_i <=
    // S_k + d_k); the tasks left unbounded get one each, in task order.
    void bound_by_end(std::vector<char>& end_arc) {
        const std::size_t count = end_arc.size();
        const std::size_t rows = dcons_.values.size() / 3;
        // Rows grouped by the task they lead to.
        std::vector<std::size_t> first_in(count + 1, 0), into(rows);
        for (std::size_t row = 0; row < rows; ++row) ++first_in[static_cast<std::size_t>(dcons_.values[row * 3 + 2])];
        for (std::size_t task = 1; task <= count; ++task) first_in[task] += first_in[task - 1];
        std::vector<std::size_t> next(first_in.begin(), first_in.end() - 1);
        for (std::size_t row = 0; row < rows; ++row)
            into[next[static_cast<std::size_t>(dcons_.values[row * 3 + 2] - 1)]++] = row;
        bound_in_task_order(end_arc, [&](std::size_t task, auto mark) {
            for (std::size_t place = first_in[task]; place < first_in[task + 1]; ++place) {
                const std::size_t row = into[place];
                const auto before = static_cast<std::size_t>(dcons_.values[row * 3] - 1);
                if (std::int64_t{dcons_.values[row * 3 + 1]} + d_.values[task] >= std::int64_t{d_.values[before]})
                    mark(before);
            }
        });
    }

    void push(int_store& store, std::int32_t value) {
        if (!store.push_back(value)) throw std::bad_alloc();
    }

    // Room for `count` more values, written then marked added.
    std::int32_t* room(int_store& store, std::size_t count) {
        if (count == 0) return nullptr;
        std::int32_t* const slots = store.room(count);
        if (slots == nullptr) throw std::bad_alloc();
        return slots;
    }

    char_scanner& in_;
    instance& result_;
    read_failure failure_;
    bool given_[15] = {};      // by slot (see slot_of)
    bool given_name_[15] = {}; // by name, for messages that name an array as written
    bool max_model_ = false;   // dcons or n_dc given: data for the rcpsp_max model
    char_scanner::mark max_model_at_{};
    std::string max_name_;
    int_list dcons_;
    std::int64_t dcons_rows_ = 0, dcons_columns_ = 0;
    std::int32_t arc_count_ = 0;
    std::int32_t resources_ = 0, tasks_ = 0;
    bool tasks_known_ = false;
    bool comment_open_ = false; // the file ends in a comment opened at comment_at_
    char_scanner::mark comment_at_{};
    int_list rc_, d_, rr_;
    std::int64_t rr_rows_ = 0, rr_columns_ = 0;
    bool rr_by_task_ = false;         // rr_ holds a grid of rr_grid_columns_ columns by n_res
    std::size_t rr_grid_columns_ = 0; // the first row's length
    std::size_t rr_read_ = 0;         // the values read into the grid, kept or not
    set_list suc_;
    set_list modes_;         // mrcpsp's modes: each task's set of mode numbers
    set_list* sets_ = &suc_; // the sets being read
    std::vector<std::size_t> task_mode_start_, task_modes_;
    bool modes_in_order_ = false; // modes_.sizes then holds each task's mode count (see modes_in_order)
    int_list rtype_;
    std::int32_t options_ = 0; // n_opt
    bool modes_model_ = false; // a name only the mrcpsp model has was given
    char_scanner::mark modes_model_at_{};
    std::string modes_name_;
};

} // namespace

read_failure read_dzn(byte_source source, instance& result, trailing_tokens* trailing) {
    result = instance{};
    char_scanner scanner(source);
    const read_failure failure = dzn_parser(scanner, result).run();
    if (trailing != nullptr) *trailing = trailing_tokens{};
    return failure;
}

} // namespace converter
