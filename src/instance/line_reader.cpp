#include "instance/line_reader.h"

#include <cstdlib>
#include <cstring>

namespace converter {
namespace {

constexpr std::size_t initial_capacity = std::size_t{1} << 16;

// The first LF or CR, in one pass through windows of a few lines: memchr for
// the LF (files end their lines with it), then for a CR before it, so that a
// file whose lines end in a lone CR is not searched to the buffer's end for an
// LF at every line.
const char* find_line_end(const char* begin, const char* end) {
    constexpr std::size_t window = 256;
    for (const char* start = begin; start != end;) {
        const std::size_t size = static_cast<std::size_t>(end - start) < window ? static_cast<std::size_t>(end - start)
                                                                                : window;
        const auto* line_feed = static_cast<const char*>(std::memchr(start, '\n', size));
        const char* const before = line_feed != nullptr ? line_feed : start + size;
        const auto* carriage_return =
            static_cast<const char*>(std::memchr(start, '\r', static_cast<std::size_t>(before - start)));
        if (carriage_return != nullptr) return carriage_return;
        if (line_feed != nullptr) return line_feed;
        start += size;
    }
    return end;
}

} // namespace

line_reader::line_reader(byte_source source)
    : source_(source), buffer_(static_cast<char*>(std::malloc(initial_capacity))), capacity_(initial_capacity),
      next_(buffer_), end_(buffer_) {}

line_reader::~line_reader() { std::free(buffer_); }

// Keeps the unread bytes, moved to the front (the buffer doubled when they fill
// it), and reads more after them. False when nothing more came.
bool line_reader::refill() {
    if (at_end_) return false;
    const auto kept = static_cast<std::size_t>(end_ - next_);
    buffer_offset_ += static_cast<std::uint64_t>(next_ - buffer_);
    std::memmove(buffer_, next_, kept);
    if (kept == capacity_) {
        char* const grown = static_cast<char*>(std::realloc(buffer_, capacity_ * 2));
        if (grown == nullptr) {
            out_of_memory_ = true;
            return false;
        }
        buffer_ = grown;
        capacity_ *= 2;
    }
    next_ = buffer_;
    end_ = buffer_ + kept;
    const std::size_t count = source_.read(source_.context, end_, capacity_ - kept, error_);
    end_ += count;
    if (count == 0) at_end_ = true;
    return count != 0;
}

bool line_reader::next(std::string_view& line) {
    if (buffer_ == nullptr || out_of_memory_) return false;
    std::size_t scanned = 0;
    for (;;) {
        const char* const line_end = find_line_end(next_ + scanned, end_);
        // A CR at the end of what has arrived may be the start of CR LF.
        if (line_end != end_ && !(*line_end == '\r' && line_end + 1 == end_ && !at_end_)) {
            line = {next_, static_cast<std::size_t>(line_end - next_)};
            line_offset_ = buffer_offset_ + static_cast<std::uint64_t>(next_ - buffer_);
            ++line_number_;
            next_ = const_cast<char*>(line_end) +
                    (*line_end == '\r' && line_end + 1 != end_ && line_end[1] == '\n' ? 2 : 1);
            ++line_ends_;
            end_offset_ = after_last_line_end_ = buffer_offset_ + static_cast<std::uint64_t>(next_ - buffer_);
            skip_byte_order_mark(line);
            return true;
        }
        scanned = static_cast<std::size_t>(line_end - next_);
        // A CR waiting for its next byte is a line end of its own at the end of the input.
        const bool nothing_found = line_end == end_;
        if (!refill() && (nothing_found || error_ != 0 || out_of_memory_)) break;
    }
    if (error_ != 0 || out_of_memory_ || next_ == end_) return false;
    // The last line, without a line end.
    line = {next_, static_cast<std::size_t>(end_ - next_)};
    line_offset_ = buffer_offset_ + static_cast<std::uint64_t>(next_ - buffer_);
    ++line_number_;
    next_ = end_;
    end_offset_ = buffer_offset_ + static_cast<std::uint64_t>(end_ - buffer_);
    skip_byte_order_mark(line);
    return true;
}

// A UTF-8 byte-order mark, which editors on Windows write, is not part of the
// first line: the byte after it is column 1.
void line_reader::skip_byte_order_mark(std::string_view& line) {
    if (line_number_ != 1 || line.substr(0, 3) != std::string_view(byte_order_mark, 3)) return;
    line.remove_prefix(3);
    line_offset_ += 3;
}

} // namespace converter
