#include "file_conversion.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "conversion.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace converter {
namespace fs = std::filesystem;
namespace {

// The temporary files being written; the mutex also orders the renames against
// an interrupt's removal.
std::mutex temporary_files_mutex;
std::vector<fs::path>& temporary_files() {
    static std::vector<fs::path> files;
    return files;
}

void forget_temporary_file(const fs::path& path) {
    auto& files = temporary_files();
    for (auto file = files.begin(); file != files.end(); ++file)
        if (*file == path) {
            files.erase(file);
            return;
        }
}

message_text system_message(const char* what, int error) {
    return message_text(what).append(std::strerror(error)).append(".");
}

std::FILE* open_for_reading(const fs::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"r");
#else
    return std::fopen(path.c_str(), "r");
#endif
}

std::uint64_t size_of(std::FILE* file) {
#ifdef _WIN32
    struct _stati64 status;
    if (_fstati64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) return 0;
#else
    struct stat status;
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return 0;
#endif
    return status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

// Creates a new file beside `output` for writing in text mode and registers it.
// Returns nullptr with errno set when it can't.
std::FILE* create_temporary(const fs::path& output, fs::path& temporary) {
    const fs::path::string_type stem =
        (output.has_parent_path() ? output.parent_path() / ("." + output.filename().string())
                                  : fs::path("." + output.filename().string()))
            .native();
#ifdef _WIN32
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t tail[32];
        std::swprintf(tail, 32, L".%lx-%x.tmp", GetCurrentProcessId(), counter++);
        temporary = fs::path(stem + tail);
        // Shared for deletion, so that an interrupt can remove it while it is open.
        const HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            errno = GetLastError() == ERROR_ACCESS_DENIED    ? EACCES
                    : GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT
                                                             : EIO;
            return nullptr;
        }
        const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_TEXT);
        std::FILE* file = descriptor < 0 ? nullptr : _fdopen(descriptor, "w");
        if (file == nullptr) {
            if (descriptor < 0)
                CloseHandle(handle);
            else
                _close(descriptor);
            DeleteFileW(temporary.c_str());
            errno = ENOMEM;
            return nullptr;
        }
        {
            std::lock_guard<std::mutex> lock(temporary_files_mutex);
            temporary_files().push_back(temporary);
        }
        return file;
    }
    errno = EEXIST;
    return nullptr;
#else
    // Opened with the mode of any new file (the umask applies), so that renaming
    // it gives the output the permissions users expect; a name taken already,
    // by a file left from another run say, is skipped.
    static std::atomic<unsigned> counter{0};
    const unsigned long process = static_cast<unsigned long>(getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char tail[48];
        std::snprintf(tail, sizeof tail, ".%lx-%x.tmp", process, counter++);
        std::string name = stem + tail;
        std::lock_guard<std::mutex> lock(temporary_files_mutex);
        const int descriptor = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        std::FILE* file = fdopen(descriptor, "w");
        if (file == nullptr) {
            const int error = errno;
            close(descriptor);
            unlink(name.c_str());
            errno = error;
            return nullptr;
        }
        temporary = std::move(name);
        temporary_files().push_back(temporary);
        return file;
    }
    errno = EEXIST;
    return nullptr;
#endif
}

void discard_temporary(const fs::path& temporary) {
    std::lock_guard<std::mutex> lock(temporary_files_mutex);
    std::error_code ignored;
    fs::remove(temporary, ignored);
    forget_temporary_file(temporary);
}

// Reads the input file into `scratch`; fills `result` on failure.
bool read_file(const fs::path& input, instance& scratch, file_result& result) {
    std::FILE* const file = open_for_reading(input);
    if (file == nullptr) {
        result.failed = true;
        result.message = errno == ENOMEM ? message_text("Not enough memory to open the input file.")
                                         : system_message("Can't open the input file: ", errno);
        return false;
    }
    result.bytes_in = size_of(file);
    const bool read = read_stream(file, scratch, result.message);
    std::fclose(file);
    result.failed = !read;
    return read;
}

void validate_into(const instance& scratch, std::size_t finding_limit, file_result& result) {
    try {
        result.report = validate(scratch, finding_limit);
    } catch (const std::bad_alloc&) {
        result.failed = true;
        result.message = message_text("Not enough memory to validate the instance.");
    }
}

} // namespace

file_result convert_file(const fs::path& input, const fs::path& output, instance& scratch) {
    file_result result;
    try {
        if (!read_file(input, scratch, result)) return result;
        fs::path temporary;
        std::FILE* const file = create_temporary(output, temporary);
        if (file == nullptr) {
            result.failed = true;
            result.message = system_message("Can't create the output file: ", errno);
            return result;
        }
        if (!write_stream(file, scratch, result.message, result.bytes_out)) {
            std::fclose(file);
            discard_temporary(temporary);
            result.failed = true;
            return result;
        }
        if (!close_output(file, result.message)) {
            discard_temporary(temporary);
            result.failed = true;
            return result;
        }
        std::lock_guard<std::mutex> lock(temporary_files_mutex);
        std::error_code error;
        fs::rename(temporary, output, error);
        if (error) {
            fs::remove(temporary, error);
            result.failed = true;
            result.message = message_text("Can't replace the output file: ").append(error.message()).append(".");
        }
        forget_temporary_file(temporary);
    } catch (const std::bad_alloc&) {
        result.failed = true;
        result.message = message_text(out_of_memory_message);
    }
    return result;
}

file_result check_file(const fs::path& input, instance& scratch, std::size_t finding_limit) {
    file_result result;
    try {
        if (read_file(input, scratch, result)) validate_into(scratch, finding_limit, result);
    } catch (const std::bad_alloc&) {
        result.failed = true;
        result.message = message_text(out_of_memory_message);
    }
    return result;
}

file_result convert_standard_streams(instance& scratch) {
    file_result result;
    result.failed = !read_stream(stdin, scratch, result.message) ||
                    !write_stream(stdout, scratch, result.message, result.bytes_out);
    return result;
}

file_result check_standard_input(instance& scratch, std::size_t finding_limit) {
    file_result result;
    result.failed = !read_stream(stdin, scratch, result.message);
    if (!result.failed) validate_into(scratch, finding_limit, result);
    return result;
}

void remove_temporary_files_for_exit() {
    // Never unlocked: no conversion may rename a file after this.
    temporary_files_mutex.lock();
    std::error_code ignored;
    for (const fs::path& file : temporary_files()) fs::remove(file, ignored);
}

} // namespace converter
