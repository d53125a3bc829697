// Sets in archives, as the libraries publish them: tar (plain, or compressed
// with gzip or xz) and zip, read member by member in archive order, each
// member an input of its own.
//
// Written here rather than through libarchive: Debian has no libarchive for
// the Windows cross build, and these two layouts need little beyond the zlib
// and liblzma the program already links.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "files/compressed_input.h"
#include "instance/messages.h"

namespace converter {

enum class archive_kind { none, tar, zip };

// The kind an archive's name says, without case: .tar, .tar.gz, .tgz, .tar.xz
// and .txz are tar, .zip is zip; none for any other name.
archive_kind archive_of(const std::filesystem::path& name);

struct archive_member {
    std::uint64_t number = 0; // from 1: the entry's place among the archive's entries
    std::string name;         // its path as the archive stores it
    // Its path below the archive's root, "." components, repeated separators
    // and a ".." with the component before it dropped; empty for a directory
    // and for a member refused.
    std::filesystem::path path;
    bool directory = false;
    // Why the member is not read, as a sentence: a link ("The member is a
    // link (to ../x); links in an archive are not followed."), a path that
    // leaves the archive ("The member's path goes up out of the archive;
    // it is not read.") or is absolute, a name that is not well-formed UTF-8
    // or holds a control character, a device or pipe, a zip member encrypted
    // or compressed by a method other than store and deflate. Empty when the
    // member is read.
    message_text refused;
    std::uint64_t size = 0; // its bytes, uncompressed
    std::string bytes;      // with next(member, true), when not refused
};

// The entries of one archive in order. Tar is read as a stream (through its
// decompressor when compressed), zip from its central directory.
class archive_reader {
public:
    archive_reader() = default;
    ~archive_reader();
    archive_reader(const archive_reader&) = delete;
    archive_reader& operator=(const archive_reader&) = delete;

    // False with errno in `error` when the file can't be opened.
    bool open(const std::filesystem::path& path, archive_kind kind, int& error);
    // The next entry into `member`, its bytes too when `with_bytes` and it is a
    // file that is not refused; false at the end, or when the archive can't be
    // read further: failed() then says why. Throws std::bad_alloc when memory
    // runs out.
    bool next(archive_member& member, bool with_bytes);
    // After next() gave false: whether the archive is damaged or could not be
    // read, with the place in `message`: "Can't read the archive: a tar
    // header's checksum does not match, at byte 1536.", "Can't read the
    // archive: it ends within the member j301_3.sm, at byte 4000.", or the
    // decompressor's message.
    bool failed(message_text& message) const;
    // The number next() gives the next entry.
    std::uint64_t next_number() const { return number_ + 1; }

private:
    bool next_tar(archive_member& member, bool with_bytes);
    bool next_zip(archive_member& member, bool with_bytes);
    bool read_zip_directory();
    bool read_exactly(char* buffer, std::size_t size);
    bool read_member_bytes(std::string& bytes, std::uint64_t size);
    bool skip(std::uint64_t size);
    bool fail(const char* what, std::uint64_t at);

    std::FILE* file_ = nullptr;
    archive_kind kind_ = archive_kind::none;
    byte_source raw_{};
    std::unique_ptr<decompressing_source> decompressed_;
    byte_source source_{};
    std::uint64_t offset_ = 0; // of the tar stream read so far, decompressed
    std::uint64_t number_ = 0;
    int error_ = 0;
    message_text failure_;
    bool damaged_ = false, ended_ = false;
    // zip: the central directory, and the place of the next entry in it.
    std::string directory_;
    std::size_t directory_at_ = 0;
    std::uint64_t entries_ = 0;
};

} // namespace converter
