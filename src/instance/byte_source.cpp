#include "instance/byte_source.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace converter {
namespace {

// Reads a descriptor directly: a read returns what has arrived, so a pipe that
// stays open never holds back a verdict the bytes already allow, and the end of
// a file costs one empty read.
std::size_t read_descriptor(int descriptor, char* buffer, std::size_t capacity, int& error) {
    for (;;) {
#ifdef _WIN32
        // In text mode, as the file was opened, _read turns CR LF into LF.
        const int count = _read(descriptor, buffer, static_cast<unsigned>(capacity));
#else
        const ssize_t count = read(descriptor, buffer, capacity);
#endif
        if (count >= 0) return static_cast<std::size_t>(count);
        if (errno != EINTR) {
            error = errno != 0 ? errno : EIO;
            return 0;
        }
    }
}

std::size_t read_from_descriptor(void* context, char* buffer, std::size_t capacity, int& error) {
    return read_descriptor(*static_cast<int*>(context), buffer, capacity, error);
}

// Streams without a descriptor (memory streams) are read through fread.
std::size_t read_file(void* context, char* buffer, std::size_t capacity, int& error) {
    auto* file = static_cast<std::FILE*>(context);
#ifdef _WIN32
    const int descriptor = _fileno(file);
#else
    const int descriptor = fileno(file);
#endif
    if (descriptor >= 0) return read_descriptor(descriptor, buffer, capacity, error);
    const std::size_t count = std::fread(buffer, 1, capacity, file);
    if (count == 0 && std::ferror(file)) error = errno != 0 ? errno : EIO;
    return count;
}

std::size_t read_text(void* context, char* buffer, std::size_t capacity, int&) {
    auto* cursor = static_cast<text_cursor*>(context);
    const std::size_t count = cursor->text.size() < capacity ? cursor->text.size() : capacity;
    if (count == 0) return 0; // an empty view may have no data pointer at all
    std::memcpy(buffer, cursor->text.data(), count);
    cursor->text.remove_prefix(count);
    return count;
}

} // namespace

byte_source stream_source(std::FILE* file) { return {read_file, file}; }
byte_source descriptor_source(int* descriptor) { return {read_from_descriptor, descriptor}; }
byte_source text_source(text_cursor* cursor) { return {read_text, cursor}; }

std::string_view lookahead_source::peek(std::size_t wanted, std::size_t lines) {
    if (wanted > sample_capacity) wanted = sample_capacity;
    std::size_t line_ends = 0;
    for (std::size_t index = 0; index < size_; ++index) line_ends += sample_[index] == '\n';
    while (size_ < wanted && line_ends < lines && !ended_) {
        const std::size_t count = rest_.read(rest_.context, sample_ + size_, wanted - size_, error_);
        if (count == 0) ended_ = true;
        for (std::size_t index = size_; index < size_ + count; ++index) line_ends += sample_[index] == '\n';
        size_ += count;
    }
    return {sample_, size_};
}

std::size_t lookahead_source::read(void* context, char* buffer, std::size_t capacity, int& error) {
    auto* self = static_cast<lookahead_source*>(context);
    if (self->handed_ < self->size_) {
        const std::size_t left = self->size_ - self->handed_;
        const std::size_t count = left < capacity ? left : capacity;
        std::memcpy(buffer, self->sample_ + self->handed_, count);
        self->handed_ += count;
        return count;
    }
    if (self->error_ != 0) {
        error = self->error_;
        return 0;
    }
    if (self->ended_) return 0;
    return self->rest_.read(self->rest_.context, buffer, capacity, error);
}

} // namespace converter
