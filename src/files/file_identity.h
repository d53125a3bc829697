// Questions about files that the console driver asks before it converts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace converter {

// True when the open stream is a directory (which POSIX systems let fopen open
// for reading). False when it is anything else or can't be examined.
bool is_directory(std::FILE* file);

// True when `path` names the file that `file` has open, by whatever name: another
// spelling of the path, a symbolic link or a hard link. False when `path` names
// another file, names nothing yet, or can't be examined.
bool is_same_file(std::FILE* file, const char* path);

// What tells one file from another whatever its name: device and inode on POSIX
// systems, volume serial number and file index on Windows.
struct file_key {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const file_key& other) const { return device == other.device && index == other.index; }
    bool operator<(const file_key& other) const {
        return device != other.device ? device < other.device : index < other.index;
    }
};

// Fills `key` for the file or directory `path` names (following symbolic links);
// false when it names nothing or can't be examined.
bool identify(const std::filesystem::path& path, file_key& key);

// True when `path` names an existing FIFO (a named pipe). Always false on Windows.
bool is_fifo(const char* path);

} // namespace converter
