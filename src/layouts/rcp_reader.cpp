#include "layouts/rcp_reader.h"

#include <cerrno>
#include <cstring>

#include "instance/byte_source.h"
#include "instance/token_reader.h"

namespace converter {

namespace {

using value_kind = expected_value::kind;

// Nothing is reserved for the counts the header claims: a header may claim far
// more than the file holds. The stores grow geometrically with realloc, which
// extends large blocks in place, so growing costs no copying.
read_failure read_from(token_reader& tokens, instance& result) {
    result = instance{};
    if (!tokens.ready()) return read_failure::out_of_memory_failure();
    read_failure failure;
    std::int32_t value = 0;
    // Called only on the way out, so the hot loops build no description.
    const auto expected = [&failure](value_kind what, std::int64_t activity = 0, std::int64_t number = 0) {
        failure.expected = {what, activity, number};
        return failure;
    };

    if (!tokens.next(value, failure)) return expected(value_kind::activity_count);
    const std::int32_t activity_count = result.activity_count = value;
    if (!tokens.next(value, failure)) return expected(value_kind::resource_count);
    const std::int32_t resource_count = result.resource_count = value;
    const std::int64_t resources = resource_count > 0 ? resource_count : 0;

    for (std::int64_t resource = 1; resource <= resources; ++resource) {
        if (!tokens.next(value, failure)) return expected(value_kind::capacity, 0, resource);
        if (!result.capacities.push_back(value)) return read_failure::out_of_memory_failure();
    }

    const std::int64_t successor_limit = static_cast<std::int64_t>(activity_count) * activity_count;
    std::int64_t successor_total = 0;
    for (std::int64_t activity = 1; activity <= activity_count; ++activity) {
        if (!tokens.next(value, failure)) return expected(value_kind::duration, activity);
        if (!result.durations.push_back(value)) return read_failure::out_of_memory_failure();
        const std::int64_t demands_read = read_values(tokens, result.demands, resources, 0, failure);
        if (demands_read < 0) return read_failure::out_of_memory_failure();
        if (demands_read != resources) return expected(value_kind::demand, activity, demands_read + 1);
        if (!tokens.next(value, failure)) return expected(value_kind::successor_count, activity);
        if (!result.successor_counts.push_back(value)) return read_failure::out_of_memory_failure();
        const std::int32_t successor_count = value;
        if (successor_count <= 0) continue;
        if (successor_total + successor_count > successor_limit) {
            failure.what = read_failure::kind::too_many_successors;
            tokens.describe_last_token(failure);
            failure.successor_total = successor_total + successor_count;
            failure.successor_limit = successor_limit;
            return expected(value_kind::successor_count, activity);
        }
        successor_total += successor_count;
        // Stored 0-based; only the most negative number has no 0-based form.
        const std::int64_t successors_read = read_values(tokens, result.successors, successor_count, 1, failure);
        if (successors_read < 0) return read_failure::out_of_memory_failure();
        if (successors_read != successor_count) {
            if (!failure) {
                failure.what = read_failure::kind::successor_out_of_range;
                tokens.describe_last_token(failure);
            }
            return expected(value_kind::successor, activity, successors_read + 1);
        }
    }
    return read_failure{};
}

read_failure read_whole(token_reader& tokens, instance& result, trailing_tokens* trailing) {
    read_failure failure = read_from(tokens, result);
    if (!failure && trailing != nullptr) {
        *trailing = trailing_tokens{};
        tokens.count_remaining(*trailing, failure);
    }
    return failure;
}

} // namespace

read_failure read_rcp(byte_source source, instance& result, trailing_tokens* trailing) {
    token_reader tokens(source);
    return read_whole(tokens, result, trailing);
}

read_failure read_instance(std::FILE* input, instance& result, trailing_tokens* trailing) {
    token_reader tokens(stream_source(input));
    return read_whole(tokens, result, trailing);
}

read_failure read_instance(std::string_view input, instance& result, trailing_tokens* trailing) {
    text_cursor cursor{input};
    token_reader tokens(text_source(&cursor));
    return read_whole(tokens, result, trailing);
}

} // namespace converter
