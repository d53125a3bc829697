// How an input is resolved once: its compression, plain name and layout and
// why; and whole files read in one call.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "files/input_work.h"
#include "files/text_file.h"
#include "test_files.h"

namespace converter {
namespace {
namespace fs = std::filesystem;

TEST(resolve_source, tells_compression_layout_and_why_once) {
    const layout_format* const json = find_format("json");
    const struct {
        const char* name;
        const layout_format* from;
        bool compressed;
        compression kind;
        const char* plain_name;
        const char* layout;       // nullptr: told by content
        const char* chosen_by;    // nullptr with no layout
        const char* named_layout; // what the extension names, whatever --from says
    } cases[] = {
        {"j30/j301_1.sm", nullptr, false, compression::gzip, "j30/j301_1.sm", "sm", "as its extension says", "sm"},
        {"j301_1.sm.gz", nullptr, true, compression::gzip, "j301_1.sm", "sm", "as its extension says", "sm"},
        {"J301_1.SM.XZ", nullptr, true, compression::xz, "J301_1.SM", "sm", "as its extension says", "sm"},
        {"a.txt", nullptr, false, compression::gzip, "a.txt", nullptr, nullptr, nullptr},
        {"a.txt", json, false, compression::gzip, "a.txt", "json", "as --from says", nullptr},
        {"a.sch.gz", json, true, compression::gzip, "a.sch", "json", "as --from says", "sch"},
        {"", nullptr, false, compression::gzip, "", nullptr, nullptr, nullptr},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        const input_source source = resolve_source(expected.name, expected.from);
        EXPECT_EQ(source.path, fs::path(expected.name));
        EXPECT_EQ(source.part.line, 0u);
        EXPECT_EQ(source.compressed, expected.compressed);
        if (expected.compressed) {
            EXPECT_EQ(source.kind, expected.kind);
        }
        EXPECT_EQ(source.plain_name, fs::path(expected.plain_name));
        EXPECT_EQ(source.layout, expected.layout != nullptr ? find_format(expected.layout) : nullptr);
        EXPECT_STREQ(source.chosen_by, expected.chosen_by);
        EXPECT_EQ(source.named_layout, expected.named_layout != nullptr ? find_format(expected.named_layout) : nullptr);
    }
}

TEST(resolve_source, reads_a_line_as_json_and_a_member_as_its_own_name_says) {
    const input_part line{5, 120, 40, "{}", "j10/PSP33.SCH", false};
    const input_source from_line = line_source("set.jsonl.gz", line);
    EXPECT_EQ(from_line.path, fs::path("set.jsonl.gz"));
    EXPECT_EQ(from_line.part.line, 5u);
    EXPECT_FALSE(from_line.part.member);
    EXPECT_FALSE(from_line.compressed); // the line's bytes are plain already
    EXPECT_EQ(from_line.plain_name, fs::path("j10/PSP33.SCH"));
    EXPECT_EQ(from_line.layout, find_format("json"));

    const input_part member{3, 0, 10, "...", "set/x.sch", false};
    const input_source from_member = member_source("set.tgz", member, nullptr);
    EXPECT_TRUE(from_member.part.member);
    EXPECT_FALSE(from_member.compressed);
    EXPECT_EQ(from_member.plain_name, fs::path("set/x.sch"));
    EXPECT_EQ(from_member.layout, find_format("sch"));
    EXPECT_STREQ(from_member.chosen_by, "as its extension says");
    // A member named as compressed is plain bytes of no layout its name tells.
    const input_part packed{4, 0, 10, "...", "set/x.sm.gz", false};
    EXPECT_EQ(member_source("set.tgz", packed, nullptr).layout, nullptr);
    EXPECT_EQ(member_source("set.tgz", packed, find_format("mm")).layout, find_format("mm"));
}

using read_whole_file_test = in_temporary_directory;

TEST_F(read_whole_file_test, reads_every_byte_or_says_why_not) {
    std::string large(200000, 'x');
    for (std::size_t at = 0; at < large.size(); at += 1000) large[at] = '\n';
    for (const std::string& bytes : {std::string(), std::string("a\r\nb"), large}) {
        SCOPED_TRACE(bytes.size());
        write_text(root_ / "file", bytes);
        std::string text = "left over";
        int error = -1;
        ASSERT_TRUE(read_whole_file(root_ / "file", text, error));
        EXPECT_EQ(error, 0);
        EXPECT_EQ(text, bytes);
    }
    std::string text;
    int error = 0;
    EXPECT_FALSE(read_whole_file(root_ / "missing", text, error));
    EXPECT_EQ(error, ENOENT);
}

} // namespace
} // namespace converter
