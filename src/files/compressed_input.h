// Inputs compressed with gzip or xz, decompressed as they are read (zlib and
// liblzma), so that a set kept compressed converts without unpacking it first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "instance/byte_source.h"
#include "instance/messages.h"

namespace converter {

enum class compression { gzip, xz };

// The compression a file's name tells by its last extension, ".gz" or ".xz"
// (without case), or false. The layout is then the name's under that suffix:
// j301_1.sm.gz holds an sm file.
bool compression_of(const std::filesystem::path& name, compression& kind);
// `name` without its compression suffix; `name` itself when it has none.
std::filesystem::path without_compression(const std::filesystem::path& name);

// Whether this build reads `kind` (a build for a system without liblzma reads
// no xz).
bool can_decompress(compression kind);

// Decompresses `compressed` as it is read: source() hands on the plain bytes.
// gzip data may hold several members one after the other, and xz several
// streams, as `cat a.gz b.gz` gives; each is read in turn. Data that can't be
// decompressed (corrupt, truncated, another format) ends the source with EIO
// and leaves why in failed(). Throws std::bad_alloc when the decompressor can't
// get its memory.
class decompressing_source {
public:
    decompressing_source(compression kind, byte_source compressed);
    ~decompressing_source();
    decompressing_source(const decompressing_source&) = delete;
    decompressing_source& operator=(const decompressing_source&) = delete;

    byte_source source() { return {read, this}; }
    // After the source ended with an error: "Can't decompress the input file:
    // the gzip data is corrupt (invalid distance too far back) after 1024 bytes."
    // for data at fault; false when the data were sound (or the error came from
    // reading the compressed bytes, which the error number then says).
    bool failed(message_text& message) const;
    // The compressed bytes read so far.
    std::uint64_t compressed_bytes() const { return compressed_bytes_; }

private:
    static std::size_t read(void* context, char* buffer, std::size_t capacity, int& error);
    std::size_t inflate_into(char* buffer, std::size_t capacity, int& error);

    struct state;
    std::unique_ptr<state> state_;
    compression kind_;
    byte_source compressed_;
    std::uint64_t compressed_bytes_ = 0;
};

// Compresses what it is given into gzip (one member, zlib's level 6) or xz
// (liblzma's preset 6, CRC64 checks), as `gzip` and `xz` write by default.
class compressor {
public:
    // Throws std::bad_alloc when the library can't get its memory.
    explicit compressor(compression kind);
    ~compressor();
    compressor(const compressor&) = delete;
    compressor& operator=(const compressor&) = delete;

    // Appends to `out` what `size` bytes at `data` compress to, and with
    // `finish` the end of the data (nothing may follow). False when the
    // library fails (which only memory can make it do).
    bool compress(const char* data, std::size_t size, bool finish, std::string& out);

private:
    struct state;
    std::unique_ptr<state> state_;
    compression kind_;
};

} // namespace converter
