#include "files/text_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "files/bundle_output.h"
#include "files/system_path.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace converter {

bool write_text_file(const std::filesystem::path& path, std::string_view text, message_text& message) {
    bundle_output output;
    if (!output.open(path, message)) return false;
    if (!output.append(text)) {
        output.finish(message);
        return false;
    }
    return output.finish(message);
}

bool read_whole_file(const std::filesystem::path& path, std::string& text, int& error) {
    text.clear();
    const bool standard_input = path == "-";
#ifdef _WIN32
    const int descriptor = standard_input ? _fileno(stdin) : _wopen(system_path(path).c_str(), _O_RDONLY | _O_BINARY);
    struct _stati64 status;
    const bool regular =
        descriptor >= 0 && _fstati64(descriptor, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG;
#else
    const int descriptor = standard_input ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    const bool regular = descriptor >= 0 && fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
#endif
    if (descriptor < 0) {
        error = errno != 0 ? errno : EIO;
        return false;
    }
    // A byte more than the size, so that a read that stops short says the end.
    std::size_t wanted = regular && status.st_size >= 0 ? static_cast<std::size_t>(status.st_size) + 1 : 1 << 16;
    error = 0;
    for (;;) {
        const std::size_t filled = text.size();
        text.resize(filled + wanted);
#ifdef _WIN32
        const int count =
            _read(descriptor, text.data() + filled, static_cast<unsigned>(std::min<std::size_t>(wanted, 1u << 30)));
#else
        const ssize_t count = read(descriptor, text.data() + filled, wanted);
#endif
        if (count < 0 && errno == EINTR) {
            text.resize(filled);
            continue;
        }
        if (count < 0) error = errno != 0 ? errno : EIO;
        text.resize(filled + static_cast<std::size_t>(count > 0 ? count : 0));
        if (count <= 0 || (regular && static_cast<std::size_t>(count) < wanted)) break;
        wanted = 1 << 16;
    }
    if (!standard_input) {
#ifdef _WIN32
        _close(descriptor);
#else
        close(descriptor);
#endif
    }
    return error == 0;
}

} // namespace converter
