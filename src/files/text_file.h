// A whole text file written at once, never left half-written.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "instance/messages.h"

namespace converter {

// Writes `text` to `path` (whose directory exists) in text mode (CR LF on
// Windows), through a temporary file beside it that replaces `path` only once
// complete. False with "Can't create the output file: <reason>.", "Writing
// the output file failed: <reason>." or "Can't replace the output file:
// <reason>." in `message`, and no file left but an existing `path` as it was.
// Never throws.
bool write_text_file(const std::filesystem::path& path, std::string_view text, message_text& message);

// Reads the whole of `path` ("-": standard input) into `text`, its bytes as
// they are (binary mode). False with errno in `error` when it can't be opened
// or read. A regular file is read in one call when it does not grow
// meanwhile. Throws std::bad_alloc when memory runs out.
bool read_whole_file(const std::filesystem::path& path, std::string& text, int& error);

} // namespace converter
