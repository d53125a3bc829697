// A set's JSON Lines file taken apart into one input per line.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "files/json_lines.h"

namespace converter {
namespace {
namespace fs = std::filesystem;

const char* const body = ", \"capacities\": [], \"activities\": []}";

TEST(expand_json_lines, gives_each_line_its_place_and_its_name) {
    const fs::path root =
        fs::temp_directory_path() /
        ("converter_test_json_lines_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::create_directories(root);
    const struct {
        std::string line;
        const char* relative;
    } lines[] = {
        {std::string("{\"name\": \"j30/j301_1.sm\"") + body, "j30/j301_1.sm"},
        {std::string("  {  \"name\" :\"a\\\\b\\u00e9\\ud83d\\ude00.sm\"") + body, "a\\b\xc3\xa9\xf0\x9f\x98\x80.sm"},
        {std::string("{\"name\": \"/abs/path/x.sm\"") + body, "x.sm"},
        {std::string("{\"name\": \"up/../../y.sm\"") + body, "y.sm"},
        {std::string("{\"name\": \"..\"") + body, "set_5.json"},
        {std::string("{\"capacities\": [], \"name\": \"later.sm\", \"activities\": []}"), "set_6.json"},
        {std::string("{\"name\": \"cut"), "set_7.json"},
        {std::string("{\"name\": \"\\ud800\"") + body, "set_8.json"},
    };
    std::string text;
    std::vector<std::uint64_t> offsets;
    for (const auto& entry : lines) {
        offsets.push_back(text.size());
        text += entry.line + "\r\n";
    }
    text += "   \n\n"; // blank lines are no inputs
    std::ofstream(root / "set.jsonl", std::ios::binary) << text;

    std::vector<input_file> inputs{{root / "a.sm", "a.sm", {}},
                                   {root / "set.jsonl", "set.jsonl", {}},
                                   {root / "missing.JSONL", "missing.JSONL", {}}};
    expand_json_lines(inputs);
    ASSERT_EQ(inputs.size(), 1 + std::size(lines) + 1);
    EXPECT_EQ(inputs[0].line, 0u);
    for (std::size_t index = 0; index < std::size(lines); ++index) {
        SCOPED_TRACE(lines[index].line);
        const input_file& part = inputs[index + 1];
        EXPECT_EQ(part.path, root / "set.jsonl");
        EXPECT_EQ(part.line, index + 1);
        EXPECT_EQ(part.line_offset, offsets[index]);
        EXPECT_EQ(part.line_length, lines[index].line.size() + 1); // the CR is white space of the line
        EXPECT_EQ(part.relative, fs::u8path(lines[index].relative));
    }
    EXPECT_TRUE(inputs.back().error);
    EXPECT_EQ(inputs.back().line, 0u);
    fs::remove_all(root);
}

} // namespace
} // namespace converter
