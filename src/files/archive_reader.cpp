#include "files/archive_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "files/system_path.h"
#include "instance/utf8.h"

namespace converter {
namespace fs = std::filesystem;
namespace {

bool ends_with_no_case(const std::string& text, const char* suffix) {
    const std::size_t length = std::strlen(suffix);
    if (text.size() < length) return false;
    for (std::size_t index = 0; index < length; ++index) {
        char c = text[text.size() - length + index];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[index]) return false;
    }
    return true;
}

std::string name_text(const fs::path& name) {
    const auto text = name.filename().u8string();
    return std::string(text.begin(), text.end());
}

// A member's bytes are taken in pieces of this size as they come, so that a
// size claimed by a damaged header costs no memory the data do not fill.
constexpr std::size_t member_piece = std::size_t{1} << 20;

constexpr const char* tar_suffixes[] = {".tar.gz", ".tar.xz", ".tgz", ".txz", ".tar"};

std::uint32_t little16(const char* bytes) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[1])) << 8;
}
std::uint32_t little32(const char* bytes) { return little16(bytes) | little16(bytes + 2) << 16; }
std::uint64_t little64(const char* bytes) {
    return static_cast<std::uint64_t>(little32(bytes)) | static_cast<std::uint64_t>(little32(bytes + 4)) << 32;
}

// A tar header's number: octal digits between spaces and NULs, or, with the
// top bit of its first byte set, base 256. False when it is neither.
bool tar_number(const char* field, std::size_t size, std::uint64_t& value) {
    value = 0;
    if ((static_cast<unsigned char>(field[0]) & 0x80) != 0) {
        for (std::size_t index = 0; index < size; ++index) {
            const auto byte = static_cast<unsigned char>(index == 0 ? field[0] & 0x7f : field[index]);
            if (value >> 55 != 0) return false;
            value = value << 8 | byte;
        }
        return true;
    }
    std::size_t at = 0;
    while (at < size && field[at] == ' ') ++at;
    bool digits = false;
    for (; at < size && field[at] >= '0' && field[at] <= '7'; ++at) {
        if (value >> 60 != 0) return false;
        value = value << 3 | static_cast<std::uint64_t>(field[at] - '0');
        digits = true;
    }
    for (; at < size; ++at)
        if (field[at] != ' ' && field[at] != '\0') return false;
    return digits;
}

std::string field_text(const char* field, std::size_t size) {
    return std::string(field, static_cast<std::size_t>(std::find(field, field + size, '\0') - field));
}

// `name` as a path below the archive's root, or why it is not read.
void place_member(archive_member& member) {
    const std::string& name = member.name;
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t length = utf8_sequence_length(name.data() + at, name.size() - at);
        const auto byte = static_cast<unsigned char>(name[at]);
        if (length == 0 || byte < 0x20 || byte == 0x7f) {
            member.refused = message_text("The member's name is not well-formed UTF-8 or holds a control "
                                          "character; it is not read.");
            return;
        }
        at += length;
    }
    const bool absolute = !name.empty() && (name[0] == '/' || name[0] == '\\' || (name.size() >= 2 && name[1] == ':'));
    if (absolute) {
        member.refused = message_text("The member's path is absolute; it is not read.");
        return;
    }
    // Both separators count, as Windows would take them.
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= name.size(); ++at) {
        if (at < name.size() && name[at] != '/' && name[at] != '\\') continue;
        const std::string part = name.substr(start, at - start);
        start = at + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (parts.empty()) {
                member.refused = message_text("The member's path goes up out of the archive; it is not read.");
                return;
            }
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    member.path.clear();
    for (const std::string& part : parts) member.path /= fs::u8path(part);
}

} // namespace

archive_kind archive_of(const fs::path& name) {
    const std::string text = name_text(name);
    for (const char* suffix : tar_suffixes)
        if (ends_with_no_case(text, suffix)) return archive_kind::tar;
    return ends_with_no_case(text, ".zip") ? archive_kind::zip : archive_kind::none;
}

archive_reader::~archive_reader() {
    decompressed_.reset();
    if (file_ != nullptr) std::fclose(file_);
}

bool archive_reader::open(const fs::path& path, archive_kind kind, int& error) {
    kind_ = kind;
#ifdef _WIN32
    file_ = _wfopen(system_path(path).c_str(), L"rb");
#else
    file_ = std::fopen(path.c_str(), "rb");
#endif
    if (file_ == nullptr) {
        error = errno != 0 ? errno : EIO;
        return false;
    }
    if (kind == archive_kind::tar) {
        raw_ = stream_source(file_);
        const std::string text = name_text(path);
        const bool gzip = ends_with_no_case(text, ".gz") || ends_with_no_case(text, ".tgz");
        const bool xz = ends_with_no_case(text, ".xz") || ends_with_no_case(text, ".txz");
        if (gzip || xz) {
            decompressed_ = std::make_unique<decompressing_source>(gzip ? compression::gzip : compression::xz, raw_);
            source_ = decompressed_->source();
        } else {
            source_ = raw_;
        }
    }
    return true;
}

bool archive_reader::fail(const char* what, std::uint64_t at) {
    damaged_ = true;
    failure_ = message_text("Can't read the archive: ").append(what).append(", at byte ");
    failure_.append_number(static_cast<std::int64_t>(at)).append(".");
    return false;
}

bool archive_reader::failed(message_text& message) const {
    if (decompressed_ && decompressed_->failed(message)) return true;
    if (error_ != 0) {
        message = message_text("Can't read the input file: ").append(std::strerror(error_)).append(".");
        return true;
    }
    if (damaged_) message = failure_;
    return damaged_;
}

bool archive_reader::read_exactly(char* buffer, std::size_t size) {
    std::size_t filled = 0;
    while (filled < size) {
        int error = 0;
        const std::size_t count = source_.read(source_.context, buffer + filled, size - filled, error);
        if (count == 0) {
            if (error != 0 && !(decompressed_ && error == EIO)) error_ = error;
            offset_ += filled;
            return false;
        }
        filled += count;
    }
    offset_ += size;
    return true;
}

bool archive_reader::read_member_bytes(std::string& bytes, std::uint64_t size) {
    bytes.clear();
    while (bytes.size() < size) {
        const std::size_t filled = bytes.size();
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(size - filled, member_piece));
        bytes.resize(filled + part);
        if (!read_exactly(bytes.data() + filled, part)) return false;
    }
    return true;
}

bool archive_reader::skip(std::uint64_t size) {
    char buffer[1 << 14];
    while (size != 0) {
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof buffer));
        if (!read_exactly(buffer, part)) return false;
        size -= part;
    }
    return true;
}

bool archive_reader::next(archive_member& member, bool with_bytes) {
    if (ended_ || damaged_ || error_ != 0) return false;
    member = archive_member();
    return kind_ == archive_kind::tar ? next_tar(member, with_bytes) : next_zip(member, with_bytes);
}

bool archive_reader::next_tar(archive_member& member, bool with_bytes) {
    std::string long_name, long_link;
    std::uint64_t pax_size = 0;
    bool has_pax_size = false;
    for (;;) {
        const std::uint64_t at = offset_;
        char header[512];
        if (!read_exactly(header, sizeof header)) {
            // The end of the data without the closing blocks ends the archive
            // too, as tar itself takes it; a header cut short does not.
            if (error_ != 0 || (decompressed_ && decompressed_->failed(failure_))) return false;
            if (offset_ == at) {
                ended_ = true;
                return false;
            }
            return fail("it ends within a header", offset_);
        }
        if (std::all_of(header, header + sizeof header, [](char byte) { return byte == '\0'; })) {
            ended_ = true;
            return false;
        }
        std::uint64_t stored = 0, size = 0;
        if (!tar_number(header + 148, 8, stored)) return fail("a tar header without a checksum", at);
        std::uint64_t sum = 0;
        std::int64_t signed_sum = 0;
        for (std::size_t index = 0; index < sizeof header; ++index) {
            const char byte = index >= 148 && index < 156 ? ' ' : header[index];
            sum += static_cast<unsigned char>(byte);
            signed_sum += static_cast<signed char>(byte);
        }
        if (sum != stored && static_cast<std::uint64_t>(signed_sum) != stored)
            return fail("a tar header's checksum does not match", at);
        if (!tar_number(header + 124, 12, size)) return fail("a tar header's size is no number", at);
        if (has_pax_size) size = pax_size;
        const char type = header[156];
        const std::uint64_t padded = (size + 511) / 512 * 512;
        if (type == 'x' || type == 'g' || type == 'L' || type == 'K') {
            // Extended headers: a pax record list, or GNU's long name or link.
            if (size > (1u << 20)) return fail("an extended tar header of more than 1 MB", at);
            std::string data(static_cast<std::size_t>(size), '\0');
            if (!read_exactly(data.data(), data.size()) || !skip(padded - size))
                return error_ != 0 ? false : fail("it ends within an extended header", offset_);
            if (type == 'L') long_name = field_text(data.data(), data.size());
            if (type == 'K') long_link = field_text(data.data(), data.size());
            if (type == 'x') {
                for (std::size_t record = 0; record < data.size();) {
                    const std::size_t space = data.find(' ', record);
                    std::size_t length = 0;
                    for (std::size_t digit = record; digit < space && digit < data.size(); ++digit) {
                        if (data[digit] < '0' || data[digit] > '9' || length > data.size()) {
                            length = 0;
                            break;
                        }
                        length = length * 10 + static_cast<std::size_t>(data[digit] - '0');
                    }
                    if (space == std::string::npos || length <= space - record + 1 || record + length > data.size() ||
                        data[record + length - 1] != '\n')
                        return fail("a pax header record that is malformed", at);
                    const std::string entry = data.substr(space + 1, record + length - space - 2);
                    const std::size_t equals = entry.find('=');
                    const std::string key = entry.substr(0, equals);
                    const std::string value = equals == std::string::npos ? std::string() : entry.substr(equals + 1);
                    if (key == "path") long_name = value;
                    if (key == "linkpath") long_link = value;
                    if (key == "size") {
                        pax_size = 0;
                        for (const char digit : value) {
                            if (digit < '0' || digit > '9' || pax_size >> 59 != 0)
                                return fail("a pax header's size is no number", at);
                            pax_size = pax_size * 10 + static_cast<std::uint64_t>(digit - '0');
                        }
                        has_pax_size = true;
                    }
                    record += length;
                }
            }
            continue;
        }
        ++number_;
        member.number = number_;
        if (!long_name.empty()) {
            member.name = long_name;
        } else {
            const std::string prefix =
                std::memcmp(header + 257, "ustar", 5) == 0 ? field_text(header + 345, 155) : std::string();
            member.name = (prefix.empty() ? std::string() : prefix + "/") + field_text(header, 100);
        }
        member.size = size;
        member.directory = type == '5';
        place_member(member);
        if (type == '1' || type == '2') {
            const std::string target = long_link.empty() ? field_text(header + 157, 100) : long_link;
            member.refused = message_text("The member is a link (to ")
                                 .append(target)
                                 .append("); links in an archive are not followed.");
        } else if (type != '0' && type != '\0' && type != '7' && type != '5') {
            member.refused = message_text("The member is no regular file (a device, a pipe); it is not read.");
        }
        if (member.directory) member.refused = message_text();
        if (member.directory || !member.refused.view().empty()) member.path.clear();
        if (with_bytes && member.refused.view().empty() && !member.directory) {
            if (!read_member_bytes(member.bytes, size) || !skip(padded - size))
                return error_ != 0 ? false
                                   : fail((std::string("it ends within the member ") + member.name).c_str(), offset_);
        } else if (!skip(padded)) {
            return error_ != 0 ? false
                               : fail((std::string("it ends within the member ") + member.name).c_str(), offset_);
        }
        return true;
    }
}

#ifdef _WIN32
#define seek_file _fseeki64
#define tell_file _ftelli64
#else
#define seek_file fseeko
#define tell_file ftello
#endif

bool archive_reader::read_zip_directory() {
    if (seek_file(file_, 0, SEEK_END) != 0) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    const std::int64_t size = tell_file(file_);
    // The end record is in the last 22 bytes and the comment after it.
    const std::int64_t tail = std::min<std::int64_t>(size, 22 + 65535 + 20);
    std::string end(static_cast<std::size_t>(tail), '\0');
    if (seek_file(file_, size - tail, SEEK_SET) != 0 || std::fread(end.data(), 1, end.size(), file_) != end.size()) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    std::size_t record = std::string::npos;
    for (std::size_t at = end.size() >= 22 ? end.size() - 22 + 1 : 0; at-- > 0;)
        if (little32(end.data() + at) == 0x06054b50) {
            record = at;
            break;
        }
    if (record == std::string::npos)
        return fail("no end of a zip central directory: not a zip archive, or cut short",
                    static_cast<std::uint64_t>(size));
    std::uint64_t entries = little16(end.data() + record + 10);
    std::uint64_t directory_size = little32(end.data() + record + 12);
    std::uint64_t directory_offset = little32(end.data() + record + 16);
    const std::uint64_t record_at = static_cast<std::uint64_t>(size - tail) + record;
    if ((entries == 0xffff || directory_size == 0xffffffff || directory_offset == 0xffffffff) && record >= 20 &&
        little32(end.data() + record - 20) == 0x07064b50) {
        // zip64: the sizes are in a record that its locator points to.
        const std::uint64_t zip64_at = little64(end.data() + record - 20 + 8);
        char zip64[56];
        if (seek_file(file_, static_cast<std::int64_t>(zip64_at), SEEK_SET) != 0 ||
            std::fread(zip64, 1, sizeof zip64, file_) != sizeof zip64 || little32(zip64) != 0x06064b50)
            return fail("a zip64 end record that is not there", zip64_at);
        entries = little64(zip64 + 32);
        directory_size = little64(zip64 + 40);
        directory_offset = little64(zip64 + 48);
    }
    if (directory_offset > record_at || directory_size > record_at - directory_offset || directory_size > (1u << 30))
        return fail("a zip central directory outside the archive", record_at);
    directory_.resize(static_cast<std::size_t>(directory_size));
    if (seek_file(file_, static_cast<std::int64_t>(directory_offset), SEEK_SET) != 0 ||
        std::fread(directory_.data(), 1, directory_.size(), file_) != directory_.size())
        return fail("a zip central directory cut short", directory_offset);
    entries_ = entries;
    offset_ = directory_offset;
    return true;
}

bool archive_reader::next_zip(archive_member& member, bool with_bytes) {
    if (number_ == 0 && directory_.empty() && entries_ == 0 && !read_zip_directory()) return false;
    if (number_ == entries_) {
        ended_ = true;
        return false;
    }
    const std::uint64_t at = offset_ + directory_at_;
    if (directory_.size() - directory_at_ < 46 || little32(directory_.data() + directory_at_) != 0x02014b50)
        return fail("a zip central directory entry that is malformed", at);
    const char* entry = directory_.data() + directory_at_;
    const std::uint32_t flags = little16(entry + 8), method = little16(entry + 10);
    const std::uint32_t crc = little32(entry + 16);
    std::uint64_t compressed = little32(entry + 20), size = little32(entry + 24);
    const std::size_t name_length = little16(entry + 28), extra_length = little16(entry + 30),
                      comment_length = little16(entry + 32);
    std::uint64_t local = little32(entry + 42);
    const std::size_t length = 46 + name_length + extra_length + comment_length;
    if (directory_.size() - directory_at_ < length) return fail("a zip central directory entry cut short", at);
    // zip64 sizes and offset, each present only where its field is full.
    for (std::size_t extra = 46 + name_length; extra + 4 <= 46 + name_length + extra_length;) {
        const std::uint32_t id = little16(entry + extra), data = little16(entry + extra + 2);
        if (id == 1) {
            std::size_t field = extra + 4;
            for (std::uint64_t* value : {&size, &compressed, &local})
                if (*value == 0xffffffff && field + 8 <= extra + 4 + data) {
                    *value = little64(entry + field);
                    field += 8;
                }
        }
        extra += 4 + data;
    }
    member.number = ++number_;
    member.name.assign(entry + 46, name_length);
    member.size = size;
    member.directory = !member.name.empty() && (member.name.back() == '/' || member.name.back() == '\\');
    place_member(member);
    directory_at_ += length;
    const std::uint32_t host = static_cast<unsigned char>(entry[5]), mode = little32(entry + 38) >> 16;
    if (member.directory) {
        member.refused = message_text();
        member.path.clear();
        return true;
    }
    if (member.refused.view().empty()) {
        if (host == 3 && (mode & 0170000) == 0120000)
            member.refused = message_text("The member is a link; links in an archive are not followed.");
        else if ((flags & 1) != 0)
            member.refused = message_text("The member is encrypted; it is not read.");
        else if (method != 0 && method != 8)
            member.refused = message_text("The member is compressed by method ")
                                 .append_number(method)
                                 .append(", which is not read; only stored and deflated members are.");
    }
    if (!member.refused.view().empty()) member.path.clear();
    if (!with_bytes || !member.refused.view().empty()) return true;

    char header[30];
    if (seek_file(file_, static_cast<std::int64_t>(local), SEEK_SET) != 0 ||
        std::fread(header, 1, sizeof header, file_) != sizeof header || little32(header) != 0x04034b50)
        return fail("a zip member's local header that is not there", local);
    const std::uint64_t data_at = local + 30 + little16(header + 26) + little16(header + 28);
    if (seek_file(file_, static_cast<std::int64_t>(data_at), SEEK_SET) != 0)
        return fail("a zip member outside the archive", data_at);
    const std::string damaged = "the member " + member.name + " is damaged";
    // The bytes grow as they come, never to the size the directory claims
    // before they are there.
    std::string& bytes = member.bytes;
    if (method == 0) {
        if (compressed != size) return fail(damaged.c_str(), data_at);
        while (bytes.size() < size) {
            const std::size_t filled = bytes.size();
            const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(size - filled, member_piece));
            bytes.resize(filled + part);
            if (std::fread(bytes.data() + filled, 1, part, file_) != part) return fail(damaged.c_str(), data_at);
        }
    } else {
        struct inflater {
            z_stream stream{};
            bool ready = false;
            ~inflater() {
                if (ready) inflateEnd(&stream);
            }
        } state;
        if (inflateInit2(&state.stream, -MAX_WBITS) != Z_OK) throw std::bad_alloc();
        state.ready = true;
        z_stream& stream = state.stream;
        char input[1 << 14];
        std::uint64_t left = compressed;
        std::size_t filled = 0;
        int status = Z_OK;
        while (status == Z_OK) {
            if (stream.avail_in == 0 && left != 0) {
                const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(left, sizeof input));
                if (std::fread(input, 1, part, file_) != part) break;
                left -= part;
                stream.next_in = reinterpret_cast<Bytef*>(input);
                stream.avail_in = static_cast<uInt>(part);
            }
            // One byte past the size, to tell data that go on beyond it.
            if (filled == bytes.size())
                bytes.resize(filled + static_cast<std::size_t>(std::min<std::uint64_t>(
                                          size - std::min<std::uint64_t>(size, filled) + 1, member_piece)));
            stream.next_out = reinterpret_cast<Bytef*>(bytes.data() + filled);
            stream.avail_out = static_cast<uInt>(std::min<std::size_t>(bytes.size() - filled, 1u << 30));
            const uInt before = stream.avail_out;
            status = inflate(&stream, Z_NO_FLUSH);
            filled += before - stream.avail_out;
            if (filled > size) status = Z_DATA_ERROR;
            if (status == Z_BUF_ERROR && stream.avail_in == 0 && left == 0) break;
            if (status == Z_BUF_ERROR) status = Z_OK;
        }
        bytes.resize(std::min<std::size_t>(filled, bytes.size()));
        if (status != Z_STREAM_END || filled != size) return fail(damaged.c_str(), data_at);
    }
    const uLong check = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(member.bytes.data()),
                              static_cast<uInt>(member.bytes.size()));
    if (member.bytes.size() <= 0xffffffffu && check != crc)
        return fail((damaged + " (its CRC does not match)").c_str(), data_at);
    return true;
}

} // namespace converter
