#include "layouts/sch_reader.h"

#include <limits>

#include "instance/number_text.h"
#include "instance/token_reader.h"

namespace converter {
namespace {

class sch_parser {
public:
    sch_parser(token_reader& tokens, instance& result) : tokens_(tokens), result_(result) {}

    read_failure run() {
        if (!tokens_.ready()) return read_failure::out_of_memory_failure();
        if (!read_header()) return failure_;
        const std::int64_t activities = result_.activity_count > 0 ? result_.activity_count : 0;
        const std::int64_t resources = result_.resource_count > 0 ? result_.resource_count : 0;
        const std::int64_t successor_limit = std::int64_t{result_.activity_count} * result_.activity_count;
        std::int64_t successor_total = 0;
        std::int32_t value = 0;
        for (std::int64_t activity = 0; activity < activities; ++activity) {
            if (!expect_number(activity, "the number of activity {n} in the precedence section")) return failure_;
            if (!expect_one(activity, "the mode count of activity {a}")) return failure_;
            if (!next(value, activity, 0, "the successor count of activity {a}")) return failure_;
            if (!result_.successor_counts.push_back(value)) return read_failure::out_of_memory_failure();
            if (value <= 0) continue;
            if (successor_total + value > successor_limit) {
                failure_.what = read_failure::kind::too_many_successors;
                tokens_.describe_last_token(failure_);
                failure_.successor_total = successor_total + value;
                failure_.successor_limit = successor_limit;
                failure_.expected = {{}, activity, 0, "the successor count of activity {a}"};
                return failure_;
            }
            successor_total += value;
            if (!read_successors(activity, value) || !read_lags(activity, value)) return failure_;
        }
        for (std::int64_t activity = 0; activity < activities; ++activity) {
            if (!expect_number(activity, "the number of activity {n} in the duration section")) return failure_;
            if (!expect_one(activity, "the mode of activity {a}")) return failure_;
            if (!next(value, activity, 0, "the duration of activity {a}")) return failure_;
            if (!result_.durations.push_back(value)) return read_failure::out_of_memory_failure();
            if (!read_run(result_.demands, resources, activity, "the demand of activity {a} for resource {n}"))
                return failure_;
        }
        if (!read_run(result_.capacities, resources, 0, "the capacity of resource {n}")) return failure_;
        const int after = tokens_.byte_after_last_token();
        result_.capacities_line_ended = resources > 0 && (after == '\n' || after == '\r');
        result_.lags = std::move(lags_);
        drop_lags_equal_to_durations(result_);
        return read_failure{};
    }

private:
    bool next(std::int32_t& value, std::int64_t activity, std::int64_t number, const char* phrase) {
        if (tokens_.next(value, failure_)) return true;
        failure_.expected = {{}, activity, number, phrase};
        return false;
    }

    bool unexpected(std::int64_t activity, std::int64_t number, const char* phrase, const char* reason) {
        failure_.what = read_failure::kind::unexpected;
        tokens_.describe_last_token(failure_);
        failure_.expected = {{}, activity, number, phrase};
        failure_.reason = reason;
        return false;
    }

    // The header holds N - 2, which needs 33 bits for the smallest N.
    bool read_header() {
        std::int32_t value = 0;
        std::int64_t activity_count = 0;
        if (tokens_.next(value, failure_)) {
            activity_count = std::int64_t{value} + 2;
        } else {
            std::int64_t wide = 0;
            if (failure_.what != read_failure::kind::out_of_range || failure_.found_cut ||
                parse_int64(failure_.found_text(), wide) != read_failure::kind::none ||
                wide + 2 < std::numeric_limits<std::int32_t>::min()) {
                failure_.expected = {{}, 0, 0, "the activity count minus 2"};
                return false;
            }
            failure_ = read_failure{};
            activity_count = wide + 2;
        }
        if (activity_count > std::numeric_limits<std::int32_t>::max())
            return unexpected(0, 0, "the activity count minus 2", "which is outside the signed 32-bit range");
        result_.activity_count = static_cast<std::int32_t>(activity_count);
        if (!next(value, 0, 0, "the resource count")) return false;
        result_.resource_count = value;
        if (!next(value, 0, 0, "the third header field, 0")) return false;
        if (value != 0) return unexpected(0, 0, "the third header field, 0", "which is not 0");
        if (!next(value, 0, 0, "the fourth header field, 0")) return false;
        if (value != 0) return unexpected(0, 0, "the fourth header field, 0", "which is not 0");
        return true;
    }

    bool expect_number(std::int64_t activity, const char* phrase) {
        std::int32_t value = 0;
        if (!next(value, 0, activity, phrase)) return false;
        return value == activity || unexpected(0, activity, phrase, "which is not that number");
    }

    bool expect_one(std::int64_t activity, const char* phrase) {
        std::int32_t value = 0;
        if (!next(value, activity, 0, phrase)) return false;
        return value == 1 ||
               unexpected(activity, 0, phrase,
                          "which is not 1: multi-mode RCPSP/max, with a time lag for each pair of modes, is not "
                          "held, only one mode per activity");
    }

    // Read 1-based (minus -1), so that a successor without a 1-based number in
    // 32 bits stops the run at its token, then stored 0-based as given.
    bool read_successors(std::int64_t activity, std::int32_t count) {
        const std::size_t before = result_.successors.size();
        const std::int64_t read = read_values(tokens_, result_.successors, count, -1, failure_);
        if (read < 0) return memory_failed();
        std::int32_t* const stored = result_.successors.data() + before;
        for (std::int64_t index = 0; index < read; ++index) --stored[index];
        if (read == count) return true;
        if (failure_) {
            failure_.expected = {{}, activity, read + 1, "successor {n} of activity {a}"};
            return false;
        }
        return unexpected(activity, read + 1, "successor {n} of activity {a}",
                          "whose 1-based number is outside the signed 32-bit range");
    }

    bool read_run(int_store& store, std::int64_t count, std::int64_t activity, const char* phrase) {
        const std::int64_t read = read_values(tokens_, store, count, 0, failure_);
        if (read < 0) return memory_failed();
        if (read == count) return true;
        failure_.expected = {{}, activity, read + 1, phrase};
        return false;
    }

    // "[d]" for each successor, each its own.
    bool read_lags(std::int64_t activity, std::int32_t count) {
        std::int32_t* const stored = lags_.room(static_cast<std::size_t>(count));
        if (stored == nullptr) return memory_failed();
        for (std::int32_t position = 1; position <= count; ++position) {
            std::int32_t& lag = stored[position - 1];
            if (tokens_.next_short_lag(lag)) continue;
            std::string_view word;
            bool cut = false;
            if (!tokens_.next_word(word, cut, failure_)) {
                failure_.expected = {{}, activity, position, "time lag {n} of activity {a}"};
                return false;
            }
            if (cut || word.size() < 2 || word.front() != '[')
                return unexpected(activity, position, "time lag {n} of activity {a}, as \"[d]\"", nullptr);
            if (word.back() != ']')
                return unexpected(activity, position, "\"]\" after time lag {n} of activity {a}", nullptr);
            const read_failure::kind verdict = parse_int32(word.substr(1, word.size() - 2), lag);
            if (verdict != read_failure::kind::none) {
                tokens_.describe_last_token(failure_);
                failure_.what = verdict;
                failure_.expected = {{}, activity, position, "time lag {n} of activity {a}"};
                return false;
            }
        }
        lags_.added(static_cast<std::size_t>(count));
        return true;
    }

    bool memory_failed() {
        failure_ = read_failure::out_of_memory_failure();
        return false;
    }

    token_reader& tokens_;
    instance& result_;
    read_failure failure_;
    int_store lags_; // every arc's time lag, in the successors' order
};

} // namespace

read_failure read_sch(byte_source source, instance& result, trailing_tokens* trailing) {
    result = instance{};
    token_reader tokens(source);
    read_failure failure = sch_parser(tokens, result).run();
    if (!failure && trailing != nullptr) {
        *trailing = trailing_tokens{};
        tokens.count_remaining(*trailing, failure);
    }
    return failure;
}

} // namespace converter
