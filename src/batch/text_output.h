// Paths and messages on the console.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace converter::batch {

// The path as the user would write it: bytes as they are on POSIX systems,
// UTF-8 on Windows.
std::string displayed(const std::filesystem::path& path);

// A command-line argument as a path: bytes on POSIX systems; on Windows, where
// arguments arrive as UTF-16 and are handed on as UTF-8, the wide path they name.
std::filesystem::path path_from_argument(const std::string& argument);

// Writes UTF-8 text to standard output or standard error. On Windows a stream
// that is a console gets the text as UTF-16 (WriteConsoleW), so that every
// character shows whatever the console's code page; a stream redirected to a
// file or a pipe gets the UTF-8 bytes.
void write_text(std::FILE* stream, std::string_view text);

// Writes "PATH: TEXT" and a line end to `stream`.
void print_line(std::FILE* stream, const std::filesystem::path& path, std::string_view text);

} // namespace converter::batch
