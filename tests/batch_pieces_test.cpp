// The library pieces under converter-batch: wildcards, listing, the output plan
// and the per-file conversion.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/file_check.h"
#include "files/file_conversion.h"
#include "files/input_list.h"
#include "files/output_plan.h"
#include "files/wildcard.h"
#include "layouts/rcp_reader.h"
#include "layouts/sch_writer.h"
#include "test_files.h"

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
                             "set/sub/.e.txt", "set/.git/f.txt", "loose.dat", "set/notes.md", "set/model.MZN"})
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
        {"notes and models only when -i takes them",
         {root_ / "set"},
         {false, {"*.md"}, {}},
         {"set/notes.md > notes.md"}},
        {"two directories keep their names",
         {root_ / "set", root_ / "set/sub"},
         {},
         {"set/a.txt > set/a.txt", "set/b.txt > set/b.txt", "set/c.dat > set/c.dat", "set/sub/d.txt > sub/d.txt"}},
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

TEST_F(list_inputs_test, counts_what_it_passes_over_and_skips_the_excluded_directory) {
    for (const char* name : {"set/a.txt", "set/b.dat", "set/one/c.txt", "set/two/d.txt", "set/out/a.txt"})
        write_text(root_ / name, "0 0");
    const struct {
        const char* name;
        listing_options options;
        std::vector<std::string> expected;
        std::size_t subdirectories_skipped, files_not_included;
    } cases[] = {
        {"subdirectories without -r", {}, {"set/a.txt > a.txt", "set/b.dat > b.dat"}, 3, 0},
        {"files left out by -i", {false, {"*.txt"}, {}}, {"set/a.txt > a.txt"}, 3, 1},
        {"recursive, the output directory left out",
         {true, {"*.txt"}, root_ / "set/one/../out"},
         {"set/a.txt > a.txt", "set/one/c.txt > one/c.txt", "set/two/d.txt > two/d.txt"},
         0,
         1},
        {"an excluded directory that does not exist yet",
         {true, {}, root_ / "new"},
         {"set/a.txt > a.txt", "set/b.dat > b.dat", "set/one/c.txt > one/c.txt", "set/out/a.txt > out/a.txt",
          "set/two/d.txt > two/d.txt"},
         0,
         0},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        listing_summary summary;
        const std::vector<input_file> files = list_inputs({root_ / "set"}, expected.options, &summary);
        EXPECT_EQ(listed(files, root_), expected.expected);
        EXPECT_EQ(summary.subdirectories_skipped, expected.subdirectories_skipped);
        EXPECT_EQ(summary.files_not_included, expected.files_not_included);
        for (const input_file& file : files) EXPECT_TRUE(file.found_in_directory);
    }
}

TEST_F(list_inputs_test, drops_a_file_named_twice_under_the_same_name) {
    write_text(root_ / "set/a.txt", "0 0");
    write_text(root_ / "set/b.txt", "0 0");
    write_text(root_ / "other/a.txt", "0 0");
#ifndef _WIN32
    fs::create_hard_link(root_ / "set/a.txt", root_ / "link.txt");
#endif
    std::vector<input_file> files = list_inputs({root_ / "set", root_ / "set/a.txt", root_ / "set/../set/b.txt",
                                                 root_ / "other/a.txt", root_ / "missing.txt", root_ / "missing.txt"},
                                                {});
    drop_repeated_files(files);
    EXPECT_EQ(listed(files, root_),
              (std::vector<std::string>{"set/a.txt > a.txt", "set/b.txt > b.txt", "other/a.txt > a.txt",
                                        "missing.txt > missing.txt !", "missing.txt > missing.txt !"}));
#ifndef _WIN32
    // Another name of the same file has an output of its own.
    files = list_inputs({root_ / "set/a.txt", root_ / "link.txt"}, {});
    drop_repeated_files(files);
    EXPECT_EQ(files.size(), 2u);
#endif
}

using plan_outputs_test = in_temporary_directory;

TEST_F(plan_outputs_test, leaves_out_the_outputs_of_an_earlier_run) {
    for (const char* name : {"set/a.txt", "set/a.out", "set/b.txt", "set/stray.out", "set/c.txt"})
        write_text(root_ / name, "0 0");
    const plan_options beside{std::nullopt, fs::path(".out")};
    std::vector<input_file> inputs = list_inputs({root_ / "set"}, {});
    drop_own_outputs(inputs, beside);
    // a.out is a.txt's output; stray.out would be its own, and stays for the plan to refuse.
    EXPECT_EQ(listed(inputs, root_), (std::vector<std::string>{"set/a.txt > a.txt", "set/b.txt > b.txt",
                                                               "set/c.txt > c.txt", "set/stray.out > stray.out"}));
    EXPECT_EQ(plan_outputs(inputs, beside).conflicts.size(), 1u);

    // Named directly, an earlier output is the user's choice: the plan refuses it.
    inputs = list_inputs({root_ / "set/a.txt", root_ / "set/a.out"}, {});
    drop_own_outputs(inputs, beside);
    EXPECT_EQ(inputs.size(), 2u);

    // An output directory inside the tree, with -s: its own outputs are left out too.
    write_text(root_ / "set/conv/a.txt", "0 0");
    const plan_options into{root_ / "set", fs::path(".txt")};
    inputs = list_inputs({root_ / "set/conv"}, {});
    inputs.push_back({root_ / "set/a.txt", "a.txt", {}, true});
    drop_own_outputs(inputs, into);
    EXPECT_EQ(listed(inputs, root_), (std::vector<std::string>{"set/conv/a.txt > a.txt"}));
}

TEST_F(plan_outputs_test, names_outputs_and_refuses_collisions) {
    write_text(root_ / "a.txt", "");
    write_text(root_ / "a.dat", "");
    write_text(root_ / "sub/a.txt", "");
    // Listed as list_inputs lists them, read in `from` or by extension.
    const auto inputs_of = [this](std::vector<const char*> names, const layout_format* from = nullptr) {
        std::vector<input_file> inputs;
        for (const char* name : names) {
            inputs.push_back({root_ / name, fs::path(name).filename(), {}});
            inputs.back().source = resolve_source(inputs.back().path, from);
        }
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
    // Without a suffix, an input read in a layout other than rcp gets the
    // written layout's extension; one read as rcp, or told by content, keeps
    // its name.
    {
        plan_options named{out, std::nullopt};
        named.written_extension = fs::path(".sch");
        const output_plan renamed = plan_outputs(inputs_of({"j.sm", "p.rcp", "a.txt", "d.DZN", "s.sch"}), named);
        EXPECT_EQ(renamed.outputs,
                  (std::vector<fs::path>{out / "j.sch", out / "p.rcp", out / "a.txt", out / "d.sch", out / "s.sch"}));
        EXPECT_EQ(plan_outputs(inputs_of({"a.txt"}, find_format("json")), named).outputs,
                  (std::vector<fs::path>{out / "a.sch"}));
        EXPECT_EQ(plan_outputs(inputs_of({"j.sm"}, &rcp_format()), named).outputs,
                  (std::vector<fs::path>{out / "j.sm"}));
    }
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

    file_result result = convert_file(resolve_source(root_ / "good.txt"), root_ / "good.out", scratch);
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
    result = convert_file(resolve_source(root_ / "bad.txt"), root_ / "kept.out", scratch);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(
        result.message.view(),
        "Invalid input at line 2, column 7: expected successor 2 of activity 1, found \"x\", which is not an integer.");
    EXPECT_EQ(file_text(root_ / "kept.out"), "keep me");

    result = convert_file(resolve_source(root_ / "missing.txt"), root_ / "missing.out", scratch);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.message.view(), "Can't open the input file: No such file or directory.");

    result = convert_file(resolve_source(root_ / "good.txt"), root_ / "no/such/dir/good.out", scratch);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.message.view(), "Can't create the output file: No such file or directory.");
    EXPECT_EQ(result.directory_error, ENOENT);

    // Nothing but the inputs and the outputs that were written: no temporary file.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bad.txt", "good.out", "good.txt", "kept.out"}));

    // The reason is the rename's, and nothing counts as written.
    fs::create_directories(root_ / "directory.out");
    result = convert_file(resolve_source(root_ / "good.txt"), root_ / "directory.out", scratch);
    EXPECT_TRUE(result.failed);
#ifndef _WIN32
    EXPECT_EQ(result.message.view(), "Can't replace the output file: Is a directory.");
#endif
    EXPECT_EQ(result.bytes_out, 0u);
    EXPECT_EQ(result.bytes_in, reference.size());
    fs::remove(root_ / "directory.out");

    result = check_file(resolve_source(root_ / "good.txt"), scratch, 20);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.report.total, 2u); // no dummy start, no dummy end
}

TEST_F(convert_file_test, finds_an_output_current_by_its_time_and_its_layout) {
    write_text(root_ / "in.txt", "0 0");
    write_text(root_ / "out.txt", "0\t0\t0\t0\n");
    const auto now = fs::last_write_time(root_ / "in.txt");
    const struct {
        const char* name;
        std::chrono::seconds output_age;
        bool current;
    } cases[] = {
        {"output newer", std::chrono::seconds(-60), true},
        {"same time", std::chrono::seconds(0), true},
        {"output older", std::chrono::seconds(60), false},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        fs::last_write_time(root_ / "out.txt", now - expected.output_age);
        EXPECT_EQ(output_is_current(root_ / "in.txt", root_ / "out.txt", sch_format()), expected.current);
    }
    EXPECT_FALSE(output_is_current(root_ / "in.txt", root_ / "missing.txt", sch_format()));
    EXPECT_FALSE(output_is_current(root_ / "in.txt", root_, sch_format()));
    // Newer, but in another layout than the one to be written: not current.
    const struct {
        const char* text;
        const char* layout;
        bool current;
    } contents[] = {
        {"0\t0\t0\t0\n", "sch", true},
        {"0\t0\t0\t0\n", "sm", false},
        {"0 0\n", "rcp", true},
        {"0 0\n", "sch", false},
        {"{\"capacities\": []", "json", true},
        {"n_res = 0;\n", "dzn", true},
        {"digraph project {\n", "dot", true},
        {"0 0\n", "dot", false},
        {"************\nfile with basedata : x.bas\n", "sm", true},
    };
    for (const auto& expected : contents) {
        SCOPED_TRACE(std::string(expected.layout) + ": " + expected.text);
        write_text(root_ / "out.txt", expected.text);
        fs::last_write_time(root_ / "out.txt", now + std::chrono::seconds(60));
        EXPECT_EQ(output_is_current(root_ / "in.txt", root_ / "out.txt", *find_format(expected.layout)),
                  expected.current);
    }
}

} // namespace
} // namespace converter
