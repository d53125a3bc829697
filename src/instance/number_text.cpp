#include "instance/number_text.h"

#include <limits>

namespace converter {

read_failure::kind parse_int64(std::string_view text, std::int64_t& value) {
    using kind = read_failure::kind;
    std::size_t position = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) position = 1;
    if (position == text.size()) return kind::not_an_integer;
    std::uint64_t magnitude = 0;
    bool overflow = false;
    constexpr std::uint64_t limit = std::uint64_t{1} << 63; // the magnitude of the most negative value
    for (; position < text.size(); ++position) {
        const auto digit = static_cast<unsigned char>(text[position] - '0');
        if (digit > 9) return kind::not_an_integer;
        if (magnitude > (limit - digit) / 10) overflow = true;
        if (!overflow) magnitude = magnitude * 10 + digit;
    }
    if (overflow || magnitude > limit - (negative ? 0 : 1)) return kind::out_of_range;
    value = negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return kind::none;
}

read_failure::kind parse_int32(std::string_view text, std::int32_t& value) {
    std::int64_t wide = 0;
    const read_failure::kind verdict = parse_int64(text, wide);
    if (verdict != read_failure::kind::none) return verdict;
    if (wide < std::numeric_limits<std::int32_t>::min() || wide > std::numeric_limits<std::int32_t>::max())
        return read_failure::kind::out_of_range;
    value = static_cast<std::int32_t>(wide);
    return read_failure::kind::none;
}

} // namespace converter
