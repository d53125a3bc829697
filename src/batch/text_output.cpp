#include "batch/text_output.h"

#include <atomic>
#include <cerrno>

#include "layouts/output_buffer.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace converter::batch {
namespace {

std::atomic<int> output_error{0};
void (*closed_stream_handler)() = nullptr;

// After a failed stream call: errno tells why, unless the call set none.
void check_stream(std::FILE* stream, bool failed, int error) {
    if (failed) note_write_failure(stream, error != 0 ? closed_pipe_as_epipe(error, descriptor_of(stream)) : EIO);
}

} // namespace

std::string displayed(const std::filesystem::path& path) {
#ifdef _WIN32
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.native();
#endif
}

std::filesystem::path path_from_argument(const std::string& argument) {
#ifdef _WIN32
    return std::filesystem::u8path(argument);
#else
    return std::filesystem::path(argument);
#endif
}

void set_closed_stream_handler(void (*handler)()) { closed_stream_handler = handler; }

void note_write_failure(std::FILE* stream, int error) {
    if (error == EPIPE && closed_stream_handler != nullptr) closed_stream_handler();
    int none = 0;
    if (stream == stdout) output_error.compare_exchange_strong(none, error);
}

int standard_output_error() { return output_error.load(); }

bool flush_standard_output() {
    errno = 0;
    const bool failed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    check_stream(stdout, failed, errno);
    return !failed;
}

void write_text(std::FILE* stream, std::string_view text) {
#ifdef _WIN32
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (!text.empty() && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
        std::fflush(stream);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
#endif
    // A stream that failed once stays failed: the error was noted then.
    if (std::ferror(stream) != 0) return;
    errno = 0;
    const bool failed = std::fwrite(text.data(), 1, text.size(), stream) != text.size() || std::ferror(stream) != 0;
    check_stream(stream, failed, errno);
}

void print_line(std::FILE* stream, const std::filesystem::path& path, std::string_view text) {
    std::string line = displayed(path);
    line += ": ";
    line += text;
    line += '\n';
    write_text(stream, line);
}

} // namespace converter::batch
