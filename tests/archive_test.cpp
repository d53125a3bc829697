// Archives read member by member: the tar header's forms, and member paths
// placed below the archive's root or refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/archive_reader.h"

namespace converter {
namespace {
namespace fs = std::filesystem;

// A 512-byte tar header of `type` for `name`, holding `size` bytes, its
// checksum as tar writes it; `base256` writes the size in base 256.
std::string tar_header(const std::string& name, std::uint64_t size, char type = '0', bool base256 = false,
                       const std::string& prefix = "", const std::string& link = "") {
    std::string header(512, '\0');
    header.replace(0, std::min<std::size_t>(name.size(), 100), name.substr(0, 100));
    header.replace(100, 7, "0000644");
    if (base256) {
        header[124] = static_cast<char>(0x80);
        for (int index = 0; index < 8; ++index)
            header[static_cast<std::size_t>(135 - index)] = static_cast<char>((size >> (8 * index)) & 0xff);
    } else {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%011llo", static_cast<unsigned long long>(size));
        header.replace(124, 11, digits);
    }
    header[156] = type;
    header.replace(157, link.size(), link);
    header.replace(257, 6, std::string("ustar\0", 6));
    header.replace(263, 2, "00");
    header.replace(345, prefix.size(), prefix);
    header.replace(148, 8, "        ");
    unsigned sum = 0;
    for (const char byte : header) sum += static_cast<unsigned char>(byte);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06o", sum);
    header.replace(148, 7, std::string(digits, 6) + '\0');
    return header;
}

std::string padded(const std::string& data) { return data + std::string((512 - data.size() % 512) % 512, '\0'); }

struct read_entry {
    std::string name, path, refused, bytes;
};

std::vector<read_entry> read_tar(const std::string& bytes, std::string& failure) {
    const fs::path file = fs::temp_directory_path() / "converter_archive_test.tar";
    std::ofstream(file, std::ios::binary) << bytes;
    archive_reader reader;
    int error = 0;
    EXPECT_TRUE(reader.open(file, archive_kind::tar, error));
    std::vector<read_entry> entries;
    archive_member member;
    while (reader.next(member, true))
        entries.push_back(
            {member.name, member.path.generic_u8string(), std::string(member.refused.view()), member.bytes});
    message_text message;
    failure = reader.failed(message) ? std::string(message.view()) : std::string();
    fs::remove(file);
    return entries;
}

TEST(archive_reader, reads_the_forms_of_tar_headers) {
    const std::string long_name(150, 'n');
    const struct {
        const char* name;
        std::string bytes;
        std::vector<read_entry> entries;
        const char* failure;
    } cases[] = {
        {"a plain member, the closing blocks",
         tar_header("a.sm", 3) + padded("abc") + std::string(1024, '\0'),
         {{"a.sm", "a.sm", "", "abc"}},
         ""},
        {"no closing blocks: the end of the data ends it",
         tar_header("a.sm", 3) + padded("abc"),
         {{"a.sm", "a.sm", "", "abc"}},
         ""},
        {"ustar's prefix",
         tar_header("a.sm", 1, '0', false, "set/j30") + padded("x"),
         {{"set/j30/a.sm", "set/j30/a.sm", "", "x"}},
         ""},
        {"a size in base 256", tar_header("a.sm", 2, '0', true) + padded("xy"), {{"a.sm", "a.sm", "", "xy"}}, ""},
        {"GNU's long name",
         tar_header("././@LongLink", long_name.size() + 1, 'L') + padded(long_name + '\0') + tar_header("cut", 1) +
             padded("z"),
         {{long_name, long_name, "", "z"}},
         ""},
        {"pax's path",
         tar_header("pax", 15, 'x') + padded("15 path=b/c.sm\n") + tar_header("cut", 1) + padded("p"),
         {{"b/c.sm", "b/c.sm", "", "p"}},
         ""},
        {"a pax record whose length is not its own",
         tar_header("pax", 15, 'x') + padded("16 path=b/c.sm\n"),
         {},
         "Can't read the archive: a pax header record that is malformed, at byte 0."},
        {"a hard link, refused",
         tar_header("h.sm", 0, '1', false, "", "a.sm"),
         {{"h.sm", "", "The member is a link (to a.sm); links in an archive are not followed.", ""}},
         ""},
        {"a header cut short",
         tar_header("a.sm", 3).substr(0, 300),
         {},
         "Can't read the archive: it ends within a header, at byte 300."},
        {"a member cut short",
         tar_header("a.sm", 600) + "abc",
         {},
         "Can't read the archive: it ends within the member a.sm, at byte 515."},
        {"a size of 100 GB claimed, three bytes there: no memory for the claim",
         tar_header("a.sm", 100000000000, '0', true) + "abc",
         {},
         "Can't read the archive: it ends within the member a.sm, at byte 515."},
        {"a checksum that does not match",
         tar_header("a.sm", 1).replace(0, 1, "b") + padded("x"),
         {},
         "Can't read the archive: a tar header's checksum does not match, at byte 0."},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        std::string failure;
        const std::vector<read_entry> entries = read_tar(expected.bytes, failure);
        ASSERT_EQ(entries.size(), expected.entries.size());
        for (std::size_t index = 0; index < entries.size(); ++index) {
            EXPECT_EQ(entries[index].name, expected.entries[index].name);
            EXPECT_EQ(entries[index].path, expected.entries[index].path);
            EXPECT_EQ(entries[index].refused, expected.entries[index].refused);
            EXPECT_EQ(entries[index].bytes, expected.entries[index].bytes);
        }
        EXPECT_EQ(failure, expected.failure);
    }
}

TEST(archive_reader, places_member_paths_below_the_root_or_refuses_them) {
    const char* const up = "The member's path goes up out of the archive; it is not read.";
    const char* const absolute = "The member's path is absolute; it is not read.";
    const char* const unnamed =
        "The member's name is not well-formed UTF-8 or holds a control character; it is not read.";
    const struct {
        std::string name;
        const char* path;
        const char* refused;
    } cases[] = {
        {"./set//a.sm", "set/a.sm", ""}, {"set/../a.sm", "a.sm", ""},
        {"set/../../a.sm", "", up},      {"set\\..\\..\\a.sm", "", up},
        {"/etc/a.sm", "", absolute},     {"\\a.sm", "", absolute},
        {"C:a.sm", "", absolute},        {"a\x01.sm", "", unnamed},
        {"a\xff.sm", "", unnamed},       {"caf\xc3\xa9.sm", "caf\xc3\xa9.sm", ""},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        std::string failure;
        const std::vector<read_entry> entries = read_tar(tar_header(expected.name, 1) + padded("x"), failure);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].refused, expected.refused);
        if (*expected.refused == '\0') {
            EXPECT_EQ(entries[0].path, expected.path);
        }
        EXPECT_EQ(failure, "");
    }
}

TEST(archive_of, tells_archives_by_their_names) {
    const struct {
        const char* name;
        archive_kind kind;
    } cases[] = {
        {"j30.tar", archive_kind::tar},    {"j30.TAR.GZ", archive_kind::tar}, {"j30.tgz", archive_kind::tar},
        {"j30.tar.xz", archive_kind::tar}, {"j30.txz", archive_kind::tar},    {"j30.sm.zip", archive_kind::zip},
        {"j30.sm.gz", archive_kind::none}, {"tar", archive_kind::none},       {"set.jsonl.xz", archive_kind::none},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(archive_of(expected.name), expected.kind);
    }
}

} // namespace
} // namespace converter
