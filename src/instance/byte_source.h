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

} // namespace converter
