#include "files/file_access.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>

#include "files/system_path.h"

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

std::mutex slots_mutex;
std::deque<temporary_slot>& all_slots() {
    static std::deque<temporary_slot> slots;
    return slots;
}

} // namespace

temporary_slot& own_slot() {
    thread_local temporary_slot* slot = [] {
        std::lock_guard<std::mutex> lock(slots_mutex);
        return &all_slots().emplace_back();
    }();
    return *slot;
}

message_text system_message(const char* what, int error) {
    return message_text(what).append(std::strerror(error)).append(".");
}

// Descriptors rather than streams: a stream adds an allocation, a lock shared by
// all threads and, for the output, a system call, per file.
// Compressed data are read as they are, in binary mode on Windows too.
int open_for_reading(const fs::path& path, bool binary) {
#ifdef _WIN32
    return _wopen(system_path(path).c_str(), _O_RDONLY | (binary ? _O_BINARY : _O_TEXT));
#else
    (void)binary;
    return open(path.c_str(), O_RDONLY | O_CLOEXEC);
#endif
}

int close_descriptor(int descriptor) {
#ifdef _WIN32
    return _close(descriptor);
#else
    return close(descriptor);
#endif
}

std::uint64_t size_of(int descriptor) {
#ifdef _WIN32
    struct _stati64 status;
    if (_fstati64(descriptor, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) return 0;
#else
    struct stat status;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) return 0;
#endif
    return status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
}

int create_temporary(const fs::path& output, fs::path& temporary, bool binary) {
    // Built from the path's own characters: a narrow copy of a wide name would
    // lose every character outside the ANSI code page on Windows.
    fs::path hidden_name(".");
    hidden_name += output.filename().native();
    const fs::path::string_type stem = (output.parent_path() / hidden_name).native();
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    static const unsigned long process = GetCurrentProcessId();
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t tail[32];
        std::swprintf(tail, 32, L".%lx-%x.tmp", process, counter++);
        temporary = fs::path(stem + tail);
        // Shared for deletion, so that an interrupt can remove it while it is open.
        const HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS) continue;
            errno = error == ERROR_ACCESS_DENIED ? EACCES : error == ERROR_PATH_NOT_FOUND ? ENOENT : EIO;
            return -1;
        }
        const int descriptor =
            _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | (binary ? _O_BINARY : _O_TEXT));
        if (descriptor < 0) {
            CloseHandle(handle);
            DeleteFileW(temporary.c_str());
            errno = EMFILE;
        }
        return descriptor;
    }
#else
    // Opened with the mode of any new file (the umask applies), so that renaming
    // it gives the output the permissions users expect; a name taken already,
    // by a file left from another run say, is skipped.
    (void)binary;
    static const unsigned long process = static_cast<unsigned long>(getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char tail[48];
        std::snprintf(tail, sizeof tail, ".%lx-%x.tmp", process, counter++);
        temporary = stem + tail;
        const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST) return descriptor;
    }
#endif
    errno = EEXIST;
    return -1;
}

void discard_temporaries(temporary_slot& slot) {
    std::lock_guard<std::mutex> lock(slot.mutex);
    std::error_code ignored;
    for (const fs::path& file : slot.files) fs::remove(file, ignored);
    slot.files.clear();
}

bool is_directory_wide(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOENT:
    case ENOTDIR:
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return true;
    default: return false;
    }
}

int standard_output_descriptor() {
#ifdef _WIN32
    return _fileno(stdout);
#else
    return STDOUT_FILENO;
#endif
}

int standard_input_descriptor() {
#ifdef _WIN32
    return _fileno(stdin);
#else
    return STDIN_FILENO;
#endif
}

std::uint64_t standard_input_size() { return size_of(standard_input_descriptor()); }

void remove_temporary_files_for_exit() {
    // Never unlocked: no conversion may create or rename a file after this.
    slots_mutex.lock();
    std::error_code ignored;
    for (temporary_slot& slot : all_slots()) {
        slot.mutex.lock();
        for (const fs::path& file : slot.files) fs::remove(file, ignored);
    }
}

} // namespace converter
