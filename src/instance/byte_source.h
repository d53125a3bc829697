// Where readers take their bytes from: a stream, a file descriptor or memory.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace converter {

// A pull source of bytes: fills up to `capacity` bytes and returns how many it
// gave, 0 at the end or on an error (then `error` holds errno, never 0).
struct byte_source {
    std::size_t (*read)(void* context, char* buffer, std::size_t capacity, int& error);
    void* context;
};

// A stream, read through its descriptor directly when it has one (so nothing
// may have been read through the stream's own buffer before), through fread
// otherwise. A descriptor (on Windows one the C runtime opened, in text mode to
// read as text-mode streams do). Bytes in memory, taken from the front of
// `cursor->text`. Each context must outlive the source.
struct text_cursor {
    std::string_view text;
};
byte_source stream_source(std::FILE* file);
byte_source descriptor_source(int* descriptor);
byte_source text_source(text_cursor* cursor);

// A source whose first bytes are read ahead, to tell its layout, and then
// handed on again before the rest: readers see every byte once, in order.
class lookahead_source {
public:
    explicit lookahead_source(byte_source rest) : rest_(rest) {}
    lookahead_source(const lookahead_source&) = delete;
    lookahead_source& operator=(const lookahead_source&) = delete;

    // Reads until `wanted` bytes (at most sample_capacity) or `lines` line ends
    // have come, or the input has ended, and returns them. A read returns what
    // the source has, so a short input is not waited for beyond its end. The
    // view stays valid while this object lives, after reads from source() too.
    std::string_view peek(std::size_t wanted, std::size_t lines);
    // The bytes peeked, then the rest. Valid while this object lives.
    byte_source source() { return {read, this}; }

    static constexpr std::size_t sample_capacity = 4096;

private:
    static std::size_t read(void* context, char* buffer, std::size_t capacity, int& error);

    byte_source rest_;
    char sample_[sample_capacity];
    std::size_t size_ = 0;
    std::size_t handed_ = 0;
    bool ended_ = false;
    int error_ = 0;
};

} // namespace converter
