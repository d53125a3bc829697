// The JSON Lines file of a whole run, written as its lines come.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "files/compressed_input.h"
#include "instance/messages.h"

namespace converter {

// The JSON Lines file of a whole run (--bundle), written as the lines come: into
// a temporary file beside `path` that finish() renames over it, so that a failed
// or interrupted run leaves no file and an existing one untouched; or, for "-",
// straight to standard output. In text mode, as every output (CR LF on Windows),
// but for a file named .gz or .xz, which is written compressed (gzip or xz, as
// those programs write by default) and in binary mode, with LF line ends.
class bundle_output {
public:
    bundle_output() = default;
    bundle_output(const bundle_output&) = delete;
    bundle_output& operator=(const bundle_output&) = delete;
    // Removes the temporary file unless finish() renamed it.
    ~bundle_output();

    // False with "Can't create the output file: <reason>." in `message`.
    bool open(const std::filesystem::path& path, message_text& message);
    // Takes one line (its line end included); false once a write has failed.
    bool append(std::string_view line);
    // Writes out what is held, closes and renames; false with "Writing the
    // output file failed: <reason>." or "Can't replace the output file:
    // <reason>." in `message`, and no file left.
    bool finish(message_text& message);
    // The bytes handed to the file so far (before CR LF on Windows; once
    // compressed for a compressed file).
    std::uint64_t bytes() const { return bytes_; }

private:
    bool write_held(bool last = false);

    std::filesystem::path path_;
    int descriptor_ = -1;
    bool standard_output_ = false;
    int error_ = 0;
    std::uint64_t bytes_ = 0;
    std::string held_;
    std::unique_ptr<compressor> compressor_; // for a .gz or .xz file
    std::string compressed_;
};

} // namespace converter
