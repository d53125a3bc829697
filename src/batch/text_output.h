// Paths and messages on the console, and the fate of standard output.
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
// file or a pipe gets the UTF-8 bytes. A write that fails because the stream's
// reader has gone (EPIPE) calls the closed-stream handler; any other failure
// of standard output is remembered (see standard_output_error).
void write_text(std::FILE* stream, std::string_view text);

// Writes "PATH: TEXT" and a line end to `stream`.
void print_line(std::FILE* stream, const std::filesystem::path& path, std::string_view text);

// Called when standard output or standard error turns out to have no reader
// any more; it must not return. Set once, before anything is written.
void set_closed_stream_handler(void (*handler)());

// Reports a failed write of `stream` with `error` (an errno value), as
// write_text does: the handler for EPIPE, remembered for standard output.
void note_write_failure(std::FILE* stream, int error);

// Flushes standard output; false (the error remembered) when it fails.
bool flush_standard_output();

// The errno value of the first failed write or flush of standard output, 0 if
// none failed.
int standard_output_error();

} // namespace converter::batch
