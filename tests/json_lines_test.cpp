// A set's JSON Lines file taken apart into one input per line.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <zlib.h>

#include "files/json_lines.h"

namespace converter {
namespace {
namespace fs = std::filesystem;

const char* const body = ", \"capacities\": [], \"activities\": []}";

// Writes `text` to `path`, gzip-compressed when the name ends in .gz.
void write_file(const fs::path& path, const std::string& text) {
    if (path.extension() != ".gz") {
        std::ofstream(path, std::ios::binary) << text;
        return;
    }
    gzFile file = gzopen(path.string().c_str(), "wb");
    gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
    gzclose(file);
}

TEST(json_lines_reader, gives_each_line_its_place_and_its_name) {
    const fs::path root =
        fs::temp_directory_path() /
        ("converter_test_json_lines_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(root);
    const struct {
        std::string line;
        const char* relative;
        bool unusable;
    } lines[] = {
        {std::string("{\"name\": \"j30/j301_1.sm\"") + body, "j30/j301_1.sm", false},
        {std::string("  {  \"name\" :\"a\\\\b\\u00e9\\ud83d\\ude00.sm\"") + body, "a\\b\xc3\xa9\xf0\x9f\x98\x80.sm",
         false},
        {std::string("{\"name\": \"/abs/path/x.sm\"") + body, "x.sm", false},
        {std::string("{\"name\": \"up/../../y.sm\"") + body, "y.sm", false},
        {std::string("{\"name\": \"..\"") + body, "set_5.json", true},
        {std::string("{\"capacities\": [], \"name\": \"later.sm\", \"activities\": []}"), "set_6.json", false},
        {std::string("{\"name\": \"cut"), "set_7.json", false},
        {std::string("{\"name\": \"\\ud800\"") + body, "set_8.json", false},
        {std::string("{\"name\": \"x\\u0000y\"") + body, "set_9.json", true},
        {std::string("{\"name\": \".hidden\"") + body, "set_10.json", true},
        {std::string("{\"name\": \".git/x.sm\"") + body, "set_11.json", true},
    };
    std::string text;
    std::vector<std::uint64_t> offsets;
    for (const auto& entry : lines) {
        offsets.push_back(text.size());
        text += entry.line + "\r\n";
    }
    text += "   \n\n{\"name\": \"last\"}"; // blank lines are no inputs; the last line has no LF
    for (const char* name : {"set.jsonl", "set.jsonl.gz"}) {
        SCOPED_TRACE(name);
        write_file(root / name, text);
        json_lines_reader reader;
        int error = 0;
        ASSERT_TRUE(reader.open(root / name, error));
        json_line line;
        for (std::size_t index = 0; index < std::size(lines); ++index) {
            SCOPED_TRACE(lines[index].line);
            ASSERT_TRUE(reader.next(line));
            EXPECT_EQ(line.number, index + 1);
            EXPECT_EQ(line.offset, offsets[index]);
            EXPECT_EQ(line.text, lines[index].line + "\r"); // the CR is white space of the line
            EXPECT_EQ(line.bytes, lines[index].line.size() + 2);
            EXPECT_EQ(line.relative, fs::u8path(lines[index].relative));
            EXPECT_EQ(line.name_unusable, lines[index].unusable);
        }
        ASSERT_TRUE(reader.next(line));
        EXPECT_EQ(line.number, std::size(lines) + 3);
        EXPECT_EQ(line.bytes, line.text.size());
        EXPECT_FALSE(reader.next(line));
        message_text why;
        EXPECT_FALSE(reader.failed(why));
        // The index keeps the names that give outputs, and of the others only their numbers.
        std::vector<input_file> inputs{
            {root / "a.sm", "a.sm", {}}, {root / name, name, {}}, {root / "missing.JSONL", "missing.JSONL", {}}};
        index_json_lines(inputs);
        EXPECT_EQ(inputs[0].bundle, nullptr);
        ASSERT_NE(inputs[1].bundle, nullptr);
        const bundle_index& index = *inputs[1].bundle;
        EXPECT_EQ(index.instances, std::size(lines) + 1);
        ASSERT_EQ(index.named.size(), 5u);
        EXPECT_EQ(index.named[0].number, 1u);
        EXPECT_EQ(index.named[4].relative, fs::path("last"));
        EXPECT_EQ(index.unusable, (std::vector<std::uint64_t>{5, 9, 10, 11}));
        for (std::uint64_t number = 1; number <= 14; ++number)
            EXPECT_EQ(index.is_unnamed(number), number >= 5 && number <= 11) << number;
        EXPECT_TRUE(inputs[2].error);
    }
    // Data that stop decompressing fail where they stop.
    std::string cut;
    {
        write_file(root / "cut.jsonl.gz", text);
        std::ifstream file(root / "cut.jsonl.gz", std::ios::binary);
        cut.assign(std::istreambuf_iterator<char>(file), {});
    }
    std::ofstream(root / "cut.jsonl.gz", std::ios::binary) << cut.substr(0, cut.size() / 2);
    json_lines_reader reader;
    int error = 0;
    ASSERT_TRUE(reader.open(root / "cut.jsonl.gz", error));
    json_line line;
    while (reader.next(line)) {
    }
    message_text why;
    ASSERT_TRUE(reader.failed(why));
    EXPECT_NE(why.view().find("Can't decompress the input file: the gzip data is cut short"), std::string_view::npos)
        << why.view();
    fs::remove_all(root);
}

} // namespace
} // namespace converter
