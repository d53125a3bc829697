// Questions about files that the console driver asks before it converts.
#pragma once

#include <cstdio>

namespace converter {

// True when the open stream is a directory (which POSIX systems let fopen open
// for reading). False when it is anything else or can't be examined.
bool is_directory(std::FILE* file);

// True when `path` names the file that `file` has open, by whatever name: another
// spelling of the path, a symbolic link or a hard link. False when `path` names
// another file, names nothing yet, or can't be examined.
bool is_same_file(std::FILE* file, const char* path);

// True when `path` names an existing FIFO (a named pipe). Always false on Windows.
bool is_fifo(const char* path);

} // namespace converter
