// Known makespans of benchmark instances, as the field publishes them, to
// measure schedules against.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "instance/messages.h"

namespace converter {

// What is known of an instance's optimal makespan: both bounds equal for a
// proven optimum ("43"), a range ("40..43"), or an upper bound alone ("..43").
struct reference_value {
    std::optional<std::int64_t> lower, upper;
    bool proven() const { return lower && upper && *lower == *upper; }
};

class reference_table {
public:
    // Reads a table and adds its rows: CSV "problem,optimum" (a header line
    // first, values as above, the problem a file name whose stem is the key),
    // or PSPLIB's own tables ("Par Inst Makespan ...", rows of numbers, the
    // instance "<set><Par>_<Inst>" with the set `set_name`, as "j30").
    // False with "line L: <what is wrong>" in `why`.
    bool read(std::string_view text, std::string_view set_name, message_text& why);
    // The value for an instance by its stem ("j301_1"), or nullptr.
    const reference_value* find(const std::string& stem) const;
    bool empty() const { return values_.empty(); }

private:
    std::map<std::string, reference_value> values_;
};

// The tables shipped with the program (--reference psplib): PSPLIB's j30
// optima, as CSV.
std::string_view builtin_references();

} // namespace converter
