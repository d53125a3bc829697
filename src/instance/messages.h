// The texts that report a failure to the user, built without allocating memory so
// that running out of it can be reported too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "instance/read_failure.h"

namespace converter {

// A message of bounded length in a fixed buffer. Appending past the capacity
// keeps the start and drops the rest; no message built here comes near it.
class message_text {
public:
    static constexpr std::size_t capacity = 512;

    message_text() = default;
    explicit message_text(std::string_view text) { append(text); }
    message_text& append(std::string_view text);
    message_text& append_number(std::int64_t number);
    // `bytes` in double quotes: a quote or a backslash gets a backslash before it,
    // any other byte outside printable ASCII is shown as \xNN.
    message_text& append_quoted(std::string_view bytes, bool cut);

    std::string_view view() const { return {text_, size_}; }
    // NUL-terminated.
    const char* c_str() const { return text_; }

private:
    char text_[capacity + 1] = {};
    std::size_t size_ = 0;
};

// The message for a failure of read_instance, one sentence ending in a full stop
// and no line end, e.g. `Invalid input at line 3, column 5: expected the duration
// of activity 2, found "3.5", which is not an integer.` The line and column come
// from the failure's own place.
message_text describe(const read_failure& failure);

// "Writing the output file failed: <the system's reason>."
message_text describe_write_error(int system_error);

// "Not enough memory for the instance."
inline constexpr char out_of_memory_message[] = "Not enough memory for the instance.";

} // namespace converter
