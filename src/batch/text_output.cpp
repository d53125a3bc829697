#include "text_output.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#endif

namespace converter::batch {

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
    std::fwrite(text.data(), 1, text.size(), stream);
}

void print_line(std::FILE* stream, const std::filesystem::path& path, std::string_view text) {
    std::string line = displayed(path);
    line += ": ";
    line += text;
    line += '\n';
    write_text(stream, line);
}

} // namespace converter::batch
