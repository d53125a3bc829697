// A whole text file written at once, never left half-written.
#pragma once

#include <filesystem>
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

} // namespace converter
