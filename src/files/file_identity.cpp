#include "files/file_identity.h"

#include "files/system_path.h"

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace converter {

#ifdef _WIN32

bool is_directory(std::FILE* file) {
    struct _stati64 status;
    return _fstati64(_fileno(file), &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFDIR;
}

// On Windows st_ino is always 0, so files are told apart by volume and file index.
bool is_same_file(std::FILE* file, const char* path) {
    const auto open_handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    BY_HANDLE_FILE_INFORMATION open_info;
    if (open_handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(open_handle, &open_info)) return false;
    // No access rights are asked for, so this neither locks nor changes the file.
    const HANDLE path_handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (path_handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION path_info;
    const bool known = GetFileInformationByHandle(path_handle, &path_info) != 0;
    CloseHandle(path_handle);
    return known && open_info.dwVolumeSerialNumber == path_info.dwVolumeSerialNumber &&
           open_info.nFileIndexHigh == path_info.nFileIndexHigh && open_info.nFileIndexLow == path_info.nFileIndexLow;
}

bool is_fifo(const char*) { return false; }

bool identify(const std::filesystem::path& path, file_key& key) {
    const HANDLE handle =
        CreateFileW(system_path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(handle, &info) != 0;
    CloseHandle(handle);
    if (!known) return false;
    key.device = info.dwVolumeSerialNumber;
    key.index = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return true;
}

#else

bool identify(const std::filesystem::path& path, file_key& key) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) return false;
    key.device = static_cast<std::uint64_t>(status.st_dev);
    key.index = static_cast<std::uint64_t>(status.st_ino);
    return true;
}

bool is_fifo(const char* path) {
    struct stat status;
    return stat(path, &status) == 0 && S_ISFIFO(status.st_mode);
}

bool is_directory(std::FILE* file) {
    struct stat status;
    return fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode);
}

bool is_same_file(std::FILE* file, const char* path) {
    struct stat open_status;
    struct stat path_status;
    return fstat(fileno(file), &open_status) == 0 && stat(path, &path_status) == 0 &&
           open_status.st_dev == path_status.st_dev && open_status.st_ino == path_status.st_ino;
}

#endif

} // namespace converter
