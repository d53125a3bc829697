#include "layouts/output_buffer.h"

#include <cerrno>
#include <new>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace converter {
namespace {

struct file_sink {
    std::FILE* file;
    int error;
};

bool write_file(void* context, const char* bytes, std::size_t count) {
    auto* sink = static_cast<file_sink*>(context);
    if (std::fwrite(bytes, 1, count, sink->file) == count) return true;
    sink->error = errno != 0 ? errno : EIO;
    return false;
}

struct descriptor_sink {
    int descriptor;
    int error;
};

bool write_descriptor(void* context, const char* bytes, std::size_t count) {
    auto* sink = static_cast<descriptor_sink*>(context);
    while (count != 0) {
#ifdef _WIN32
        // In text mode _write turns each LF into CR LF and reports the bytes it took.
        const int written = _write(sink->descriptor, bytes, static_cast<unsigned>(count));
#else
        const ssize_t written = write(sink->descriptor, bytes, count);
#endif
        if (written < 0) {
            if (errno == EINTR) continue;
            sink->error = errno != 0 ? errno : EIO;
            return false;
        }
        if (written == 0) {
            sink->error = ENOSPC;
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

bool append_text(void* context, const char* bytes, std::size_t count) {
    static_cast<std::string*>(context)->append(bytes, count);
    return true;
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
    file_sink sink{output, 0};
    output_buffer buffer(write_file, &sink);
    if (!buffer.ready()) return write_failure{0, true, 0};
    if (!run_writer(buffer, write, source)) return write_failure{0, true, buffer.written()};
    if (buffer.flush() && std::fflush(output) != 0) sink.error = errno != 0 ? errno : EIO;
    return write_failure{sink.error, false, buffer.written()};
}

write_failure write_layout_to_descriptor(int output, layout_writer write, const instance& source) {
    descriptor_sink sink{output, 0};
    output_buffer buffer(write_descriptor, &sink);
    if (!buffer.ready()) return write_failure{0, true, 0};
    if (!run_writer(buffer, write, source)) return write_failure{0, true, buffer.written()};
    buffer.flush();
    return write_failure{sink.error, false, buffer.written()};
}

void write_layout(std::string& output, layout_writer write, const instance& source) {
    output_buffer buffer(append_text, &output);
    if (!buffer.ready()) throw std::bad_alloc();
    write(buffer, source);
    buffer.flush();
}

} // namespace converter
