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

// Writes "PATH: TEXT" and a line end to `stream`.
void print_line(std::FILE* stream, const std::filesystem::path& path, std::string_view text);

} // namespace converter::batch
