// Lines of text from a byte source, for layouts whose lines carry meaning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "instance/byte_source.h"
#include "instance/read_failure.h"

namespace converter {

// Reads lines ended by LF, CR LF or a lone CR (or by the end of the input)
// through a buffer of its own, which starts at 64 KiB and grows only for a
// line longer than that, so memory follows the longest line. A read returns
// what the source has, so a pipe that stays open holds back no line it has sent.
class line_reader {
public:
    // Check ready() before anything else: false when the buffer could not be obtained.
    explicit line_reader(byte_source source);
    line_reader(const line_reader&) = delete;
    line_reader& operator=(const line_reader&) = delete;
    ~line_reader();

    bool ready() const { return buffer_ != nullptr; }

    // The next line without its line end, valid until the next call. False at
    // the end of the input, on a read error (error() says which) and when a line
    // outgrows the memory that can be obtained (out_of_memory()).
    bool next(std::string_view& line);

    // The line last returned: its number from 1 and the offset of its first byte.
    std::uint64_t line_number() const { return line_number_; }
    std::uint64_t line_offset() const { return line_offset_; }
    int error() const { return error_; }
    bool out_of_memory() const { return out_of_memory_; }

    // Places `failure` at byte `column` (from 0) of the line last returned.
    void place(read_failure& failure, std::size_t column) const {
        failure.offset = line_offset_ + column;
        failure.line_ends_before = line_number_ - 1;
        failure.line_start = line_offset_;
    }

    // Places `failure` at the end of the input: after the last line end, or at
    // the end of a last line that has none.
    void place_at_end(read_failure& failure) const {
        failure.offset = end_offset_;
        failure.line_ends_before = line_ends_;
        failure.line_start = after_last_line_end_;
    }

private:
    bool refill();
    void skip_byte_order_mark(std::string_view& line);

    byte_source source_;
    char* buffer_;
    std::size_t capacity_;
    char* next_;
    char* end_;
    std::uint64_t buffer_offset_ = 0; // of buffer_[0] in the input
    std::uint64_t line_number_ = 0;
    std::uint64_t line_offset_ = 0;
    std::uint64_t line_ends_ = 0;           // in the lines returned
    std::uint64_t after_last_line_end_ = 0; // offset of the byte after the last of them
    std::uint64_t end_offset_ = 0;          // after the last line returned and its line end
    bool at_end_ = false;
    bool out_of_memory_ = false;
    int error_ = 0;
};

} // namespace converter
