#include "layouts/output_buffer.h"

#include <cerrno>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace converter {
namespace {

std::uint64_t count_line_ends(const char* bytes, std::size_t count) {
    std::uint64_t line_ends = 0;
    const char* const end = bytes + count;
    while ((bytes = static_cast<const char*>(std::memchr(bytes, '\n', static_cast<std::size_t>(end - bytes)))) !=
           nullptr) {
        ++line_ends;
        ++bytes;
    }
    return line_ends;
}

// Whether `file` turns LF into CR LF: on Windows, a stream in text mode (asked
// by setting the mode it already has); elsewhere never.
bool stores_line_ends_as_crlf(std::FILE* file) {
#ifdef _WIN32
    const int descriptor = _fileno(file);
    if (descriptor < 0) return false;
    const int mode = _setmode(descriptor, _O_TEXT);
    if (mode == -1) return false;
    _setmode(descriptor, mode);
    return mode == _O_TEXT;
#else
    (void)file;
    return false;
#endif
}

struct file_sink {
    std::FILE* file;
    int error;
    bool text_mode;          // Windows only: the stream stores each LF as CR LF
    std::uint64_t line_ends; // LF bytes written to a text-mode stream
};

bool write_file(void* context, const char* bytes, std::size_t count) {
    auto* sink = static_cast<file_sink*>(context);
    if (sink->text_mode) sink->line_ends += count_line_ends(bytes, count);
    if (std::fwrite(bytes, 1, count, sink->file) == count) return true;
    sink->error = errno != 0 ? closed_pipe_as_epipe(errno, descriptor_of(sink->file)) : EIO;
    return false;
}

struct descriptor_sink {
    int descriptor;
    int error;
};

bool write_descriptor(void* context, const char* bytes, std::size_t count) {
    auto* sink = static_cast<descriptor_sink*>(context);
    sink->error = write_all(sink->descriptor, bytes, count);
    return sink->error == 0;
}

// A writer's own work (a schedule, say) may need memory; running out of it is
// reported like a failed buffer.
bool run_writer(output_buffer& buffer, layout_writer write, const instance& source) {
    try {
        write(buffer, source);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace

write_failure write_layout(std::FILE* output, layout_writer write, const instance& source) {
    file_sink sink{output, 0, stores_line_ends_as_crlf(output), 0};
    output_buffer buffer(write_file, &sink);
    if (!buffer.ready()) return write_failure{0, true, 0};
    if (!run_writer(buffer, write, source)) return write_failure{0, true, buffer.written() + sink.line_ends};
    if (buffer.flush() && std::fflush(output) != 0) sink.error = errno != 0 ? errno : EIO;
    return write_failure{sink.error, false, buffer.written() + sink.line_ends};
}

write_failure write_layout_to_descriptor(int output, layout_writer write, const instance& source) {
    descriptor_sink sink{output, 0};
    output_buffer buffer(write_descriptor, &sink);
    if (!buffer.ready()) return write_failure{0, true, 0};
    if (!run_writer(buffer, write, source)) return write_failure{0, true, buffer.written()};
    buffer.flush();
    return write_failure{sink.error, false, buffer.written()};
}

int closed_pipe_as_epipe(int error, int descriptor) {
#ifdef _WIN32
    // The C runtime has no errno of its own for a pipe whose reader is gone: it
    // says EINVAL, which a write of ours to a pipe has no other cause for.
    if (error == EINVAL && GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor))) == FILE_TYPE_PIPE)
        return EPIPE;
#else
    (void)descriptor;
#endif
    return error;
}

int write_all(int descriptor, const char* bytes, std::size_t count) {
    while (count != 0) {
#ifdef _WIN32
        // In text mode _write turns each LF into CR LF and reports the bytes it took.
        const int written = _write(descriptor, bytes, static_cast<unsigned>(count));
#else
        const ssize_t written = write(descriptor, bytes, count);
#endif
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno != 0 ? closed_pipe_as_epipe(errno, descriptor) : EIO;
        }
        if (written == 0) return ENOSPC;
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return 0;
}

void write_layout(std::string& output, layout_writer write, const instance& source) {
    output_buffer buffer(append_to_string, &output);
    if (!buffer.ready()) throw std::bad_alloc();
    write(buffer, source);
    buffer.flush();
}

bool append_to_string(void* context, const char* bytes, std::size_t count) {
    static_cast<std::string*>(context)->append(bytes, count);
    return true;
}

} // namespace converter
