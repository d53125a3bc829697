// Integers written as text, judged as every reader judges them: an optional
// sign, decimal digits (leading zeros allowed), nothing else.
#pragma once

#include <cstdint>
#include <string_view>

#include "instance/read_failure.h"

namespace converter {

// Parses all of `text` as a signed 32-bit integer. Returns none with `value`
// set, not_an_integer (also for an empty text), or out_of_range.
read_failure::kind parse_int32(std::string_view text, std::int32_t& value);

// The same for values up to 64 bits (out_of_range beyond them).
read_failure::kind parse_int64(std::string_view text, std::int64_t& value);

} // namespace converter
