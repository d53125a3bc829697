// The library pieces under converter-batch: wildcards, listing, the output plan
// and the per-file conversion.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "converted_writer.h"
#include "file_conversion.h"
#include "input_list.h"
#include "output_plan.h"
#include "wildcard.h"

namespace converter {
namespace {
namespace fs = std::filesystem;

TEST(matches_wildcard, follows_shell_rules) {
    const struct {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.txt", "a001.txt", true},
        {"*.txt", "a001.txt.bak", false},
        {"*.txt", ".txt", true},
        {"a?01.*", "a001.txt", true},
        {"a?01.*", "a01.txt", false},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
        {"[ab]*", "b1", true},
        {"[ab]*", "c1", false},
        {"[!ab]*", "c1", true},
        {"[a-c]0", "b0", true},
        {"[a-c]0", "d0", false},
        {"[]]x", "]x", true},
        {"[x", "[x", true},
        {"*a*b*c", "xaybzc", true},
        {"*a*b*c", "xaybzcd", false},
        {"j30*_1.sm", "j3010_1.sm", true},
        {"**.sm", "x.sm", true},
        {"*.SM", "x.sm", false},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(std::string(expected.pattern) + " / " + expected.name);
        EXPECT_EQ(matches_wildcard(expected.pattern, expected.name), expected.matches);
    }
}

std::string file_text(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void write_text(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class in_temporary_directory : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("converter_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }
    fs::path root_;
};

using list_inputs_test = in_temporary_directory;

std::vector<std::string> listed(const std::vector<input_file>& files, const fs::path& root) {
    std::vector<std::string> names;
    for (const input_file& file : files)
        names.push_back(file.path.lexically_relative(root).generic_string() + " > " + file.relative.generic_string() +
                        (file.error ? " !" : ""));
    return names;
}

TEST_F(list_inputs_test, takes_directories_in_name_order_without_dot_files) {
    for (const char* name : {"set/b.txt", "set/a.txt", "set/.hidden.txt", "set/c.dat", "set/sub/d.txt",
                             "set/sub/.e.txt", "set/.git/f.txt", "loose.dat"})
        write_text(root_ / name, "0 0");
    const struct {
        const char* name;
        std::vector<fs::path> inputs;
        listing_options options;
        std::vector<std::string> expected;
    } cases[] = {
        {"directory", {root_ / "set"}, {}, {"set/a.txt > a.txt", "set/b.txt > b.txt", "set/c.dat > c.dat"}},
        {"recursive",
         {root_ / "set"},
         {true, {}, {}},
         {"set/a.txt > a.txt", "set/b.txt > b.txt", "set/c.dat > c.dat", "set/sub/d.txt > sub/d.txt"}},
        {"include",
         {root_ / "set"},
         {true, {"*.txt"}, {}},
         {"set/a.txt > a.txt", "set/b.txt > b.txt", "set/sub/d.txt > sub/d.txt"}},
        {"two patterns", {root_ / "set"}, {false, {"b*", "*.dat"}, {}}, {"set/b.txt > b.txt", "set/c.dat > c.dat"}},
        {"named files are always taken",
         {root_ / "loose.dat", root_ / "set/.hidden.txt"},
         {false, {"*.txt"}, {}},
         {"loose.dat > loose.dat", "set/.hidden.txt > .hidden.txt"}},
        {"missing input keeps its place",
         {root_ / "loose.dat", root_ / "missing.txt", root_ / "set/sub"},
         {},
         {"loose.dat > loose.dat", "missing.txt > missing.txt !", "set/sub/d.txt > d.txt"}},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(listed(list_inputs(expected.inputs, expected.options), root_), expected.expected);
    }
}

using plan_outputs_test = in_temporary_directory;

TEST_F(plan_outputs_test, names_outputs_and_refuses_collisions) {
    write_text(root_ / "a.txt", "");
    write_text(root_ / "a.dat", "");
    write_text(root_ / "sub/a.txt", "");
    const auto inputs_of = [this](std::vector<const char*> names) {
        std::vector<input_file> inputs;
        for (const char* name : names) inputs.push_back({root_ / name, fs::path(name).filename(), {}});
        return inputs;
    };
    const fs::path out = root_ / "out";

    output_plan plan = plan_outputs(inputs_of({"a.txt", "sub/a.txt"}), {std::nullopt, fs::path(".out")});
    EXPECT_TRUE(plan.conflicts.empty());
    EXPECT_EQ(plan.outputs, (std::vector<fs::path>{root_ / "a.out", root_ / "sub/a.out"}));

    plan = plan_outputs(inputs_of({"a.txt", "sub/a.txt"}), {out, std::nullopt});
    ASSERT_EQ(plan.conflicts.size(), 1u);
    EXPECT_EQ(plan.conflicts[0].what, plan_conflict::kind::same_output);
    EXPECT_EQ(plan.conflicts[0].first, 0u);
    EXPECT_EQ(plan.conflicts[0].second, 1u);

    // Another spelling of the same directory is the same directory.
    std::vector<input_file> spelled = inputs_of({"a.txt"});
    spelled.push_back({root_ / "sub/../a.txt", "a.txt", {}});
    plan = plan_outputs(spelled, {std::nullopt, fs::path(".out")});
    ASSERT_EQ(plan.conflicts.size(), 1u);

    // With -s .txt, a.txt's output is itself.
    plan = plan_outputs(inputs_of({"a.txt"}), {std::nullopt, fs::path(".txt")});
    ASSERT_EQ(plan.conflicts.size(), 1u);
    EXPECT_EQ(plan.conflicts[0].what, plan_conflict::kind::output_is_input);
    // And a.dat's is a.txt, an input too, which both would write.
    plan = plan_outputs(inputs_of({"a.dat", "a.txt"}), {std::nullopt, fs::path(".txt")});
    ASSERT_EQ(plan.conflicts.size(), 2u);
    EXPECT_EQ(plan.conflicts[0].what, plan_conflict::kind::same_output);
    EXPECT_EQ(plan.conflicts[1].what, plan_conflict::kind::output_is_input);
    EXPECT_EQ(plan.conflicts[1].first, 0u);
    EXPECT_EQ(plan.conflicts[1].second, 1u);

#ifndef _WIN32
    // A hard link to an input is that input.
    fs::create_hard_link(root_ / "a.txt", root_ / "link.out");
    plan = plan_outputs(inputs_of({"a.txt"}), {root_, fs::path(".out")});
    ASSERT_EQ(plan.conflicts.size(), 0u);
    plan = plan_outputs({{root_ / "a.txt", "link.txt", {}}}, {root_, fs::path(".out")});
    ASSERT_EQ(plan.conflicts.size(), 1u);
    EXPECT_EQ(plan.conflicts[0].what, plan_conflict::kind::output_is_input);
#endif
}

using convert_file_test = in_temporary_directory;

TEST_F(convert_file_test, writes_the_converted_layout_or_leaves_everything_as_it_was) {
    const std::string reference = "3 0\n7 2 2 3\n5 1 3\n6 0\n";
    write_text(root_ / "good.txt", reference);
    write_text(root_ / "bad.txt", "3 0\n7 2 2 x\n");
    instance scratch;

    file_result result = convert_file(root_ / "good.txt", root_ / "good.out", scratch);
    ASSERT_FALSE(result.failed) << result.message.view();
    instance source;
    ASSERT_FALSE(read_instance(reference, source));
    std::string expected;
    write_converted(expected, source);
#ifndef _WIN32
    EXPECT_EQ(file_text(root_ / "good.out"), expected);
#endif
    EXPECT_EQ(result.bytes_in, reference.size());
    EXPECT_EQ(result.bytes_out, expected.size());

    write_text(root_ / "kept.out", "keep me");
    result = convert_file(root_ / "bad.txt", root_ / "kept.out", scratch);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(
        result.message.view(),
        "Invalid input at line 2, column 7: expected successor 2 of activity 1, found \"x\", which is not an integer.");
    EXPECT_EQ(file_text(root_ / "kept.out"), "keep me");

    result = convert_file(root_ / "missing.txt", root_ / "missing.out", scratch);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.message.view(), "Can't open the input file: No such file or directory.");

    result = convert_file(root_ / "good.txt", root_ / "no/such/dir/good.out", scratch);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.message.view(), "Can't create the output file: No such file or directory.");

    // Nothing but the inputs and the outputs that were written: no temporary file.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bad.txt", "good.out", "good.txt", "kept.out"}));

    result = check_file(root_ / "good.txt", scratch, 20);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.report.total, 2u); // no dummy start, no dummy end
}

} // namespace
} // namespace converter
