// The layouts other than converter's own pair: the rcp writer, the sch reader,
// the sm reader and writer, and the table that tells them apart.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "instance/messages.h"
#include "layouts/formats.h"
#include "layouts/json_writer.h"
#include "layouts/rcp_reader.h"

namespace converter {
namespace {

std::string data_file(const std::string& name) {
    std::ifstream file(std::string(CONVERTER_TEST_DATA) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::int32_t> values(const int_store& store) { return {store.begin(), store.end()}; }

void expect_same(const instance& got, const instance& expected) {
    EXPECT_EQ(got.activity_count, expected.activity_count);
    EXPECT_EQ(got.resource_count, expected.resource_count);
    EXPECT_EQ(values(got.capacities), values(expected.capacities));
    EXPECT_EQ(values(got.durations), values(expected.durations));
    EXPECT_EQ(values(got.demands), values(expected.demands));
    EXPECT_EQ(values(got.successor_counts), values(expected.successor_counts));
    EXPECT_EQ(values(got.successors), values(expected.successors));
}

// Reads `text` in `format`: "" when it reads, else the message.
std::string read_as(const char* format, std::string_view text, instance& result) {
    text_cursor cursor{text};
    const read_failure failure = find_format(format)->read(text_source(&cursor), result, nullptr);
    return failure ? std::string(describe(failure).view()) : std::string();
}

std::string written_as(const char* format, const instance& source) {
    std::string text;
    write_layout(text, find_format(format)->write, source);
    return text;
}

instance rcp_instance(std::string_view text) {
    instance result;
    EXPECT_FALSE(read_instance(text, result)) << text;
    return result;
}

const char* const samples[] = {"a001.txt",        "b0001.txt",  "c001.txt",  "reference_1.txt",
                               "reference_2.txt", "J301_1.rcp", "J301_2.rcp"};

TEST(layouts, give_back_every_instance_they_write) {
    // Values at the edges of what each layout carries, beside real instances.
    std::vector<std::string> inputs = {
        "5 2 10 8 0 0 0 3 2 3 4 3 4 2 1 5 2 3 5 1 5 4 1 1 1 5 0 0 0 0",
        "3 0 -7 2 2 0 -5 1 3 0 0",
        "2 1 -3 2147483647 -2147483648 1 2147483647 -2147483647 -4 -1 0",
        "0 3 1 2 3",
        "-4 -2",
        "1 0 0 0",
        "3 1 5 0 0 2 2 2 0 0 1 1 0 0 0",
    };
    for (const char* name : samples) inputs.push_back(data_file(name));
    // Larger than a writer's buffer, with lines of every length, so that some
    // line starts in its last bytes: 1,205 short lines, then longer ones (the
    // JSON writer once wrote past the end here), and a set of values of the
    // whole 32-bit range.
    std::string crossing = "1262 0\n\n" + std::string(1205 * 4, ' ');
    for (std::size_t line = 0; line < 1205; ++line) crossing.replace(8 + 4 * line, 4, "0 0\n");
    for (int line = 0; line < 53; ++line) crossing += "10 0\n";
    crossing += "10000 0\n0 0\n0 0\n0 0\n";
    inputs.push_back(crossing);
    std::string extremes = "4000 2 -2147483648 2147483647\n";
    const char* const wide[] = {"0", "-2147483648", "2147483647", "10", "-7", "123456"};
    for (int activity = 0; activity < 4000; ++activity) {
        extremes += wide[activity % 6];
        extremes += ' ';
        extremes += wide[(activity / 6) % 6];
        extremes += ' ';
        extremes += wide[(activity / 36) % 6];
        extremes += activity % 5 == 0 ? " 2 4000 1\n" : " 0\n";
    }
    inputs.push_back(extremes);
    for (const std::string& input : inputs) {
        const instance source = rcp_instance(input);
        for (const layout_format* format = formats_begin(); format != formats_end(); ++format) {
            SCOPED_TRACE(std::string(format->name) + ": " + input.substr(0, 60));
            message_text why;
            if (format->read == nullptr ||
                (format->can_hold != nullptr && !format->can_hold(source, activity_naming{}, why)))
                continue;
            const std::string text = written_as(format->name, source);
            instance back;
            ASSERT_EQ(read_as(format->name, text, back), "");
            // A layout that keeps every value gives the instance back; the
            // others (dzn: no dummies, sets) give back the same bytes, unless
            // tasks that look like dummies were kept as the dummies.
            if (format->keeps_every_value) expect_same(back, source);
            if (format->keeps_every_value || back.activity_count == source.activity_count) {
                EXPECT_TRUE(written_as(format->name, back) == text);
            }
        }
    }
}

TEST(rcp_writer, writes_one_record_per_line) {
    EXPECT_EQ(written_as("rcp", rcp_instance("5 2\n10 8\n0 0 0 3 2 3 4\n3 4 2 1 5\n2 3 5 1 5\n4 1 1 1 5\n0 0 0 0\n")),
              "5 2\n10 8\n0 0 0 3 2 3 4\n3 4 2 1 5\n2 3 5 1 5\n4 1 1 1 5\n0 0 0 0\n");
    // No resources: an empty capacities line; counts of zero or less list nothing.
    EXPECT_EQ(written_as("rcp", rcp_instance("3 0  0 1 0  4 -2  1 0")), "3 0\n\n0 1 0\n4 -2\n1 0\n");
    EXPECT_EQ(written_as("rcp", rcp_instance("-1 -5")), "-1 -5\n\n");
}

TEST(sm_writer, writes_psplib_files_as_psplib_does) {
    for (const char* number : {"1", "2"}) {
        SCOPED_TRACE(number);
        instance source = rcp_instance(data_file(std::string("J301_") + number + ".rcp"));
        source.source_name = std::string("J301_") + number;
        const std::string written = written_as("sm", source);
        const std::string expected = data_file(std::string("j301_") + number + ".sm");
        std::istringstream written_lines(written), expected_lines(expected);
        std::string got, want;
        for (int line = 1; std::getline(expected_lines, want); ++line) {
            ASSERT_TRUE(std::getline(written_lines, got)) << "line " << line;
            // What the rcp file does not hold: the basedata name (the source's
            // name here, j30_17.bas and the like in PSPLIB's), the seed, the
            // tardiness cost.
            if (line == 2) {
                EXPECT_EQ(got, "file with basedata            : J301_" + std::string(number) + ".bas");
                continue;
            }
            if (line == 3) continue;
            if (line == 15) { // the tardiness cost
                got.replace(28, 9, 9, ' ');
                want.replace(28, 9, 9, ' ');
            }
            EXPECT_EQ(got, want) << "line " << line;
        }
        EXPECT_FALSE(std::getline(written_lines, got));
        EXPECT_EQ(written.back(), '\n');
    }
}

TEST(sm_writer, keeps_numbers_apart_beyond_psplib_ranges) {
    // Two jobs, eleven resources, a successor of four digits, a long duration.
    std::string input = "2 11  1 2 3 4 5 6 7 8 9 10 100000\n";
    input += "1138 12345 0 0 0 0 0 0 0 0 0 -3  2 1000 1001\n";
    input += "0 0 0 0 0 0 0 0 0 0 0 0  0\n";
    const std::string written = written_as("sm", rcp_instance(input));
    std::vector<std::string> lines;
    std::istringstream stream(written);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u * 2 + 27);
    EXPECT_EQ(lines[6], "horizon                       :  1138");
    EXPECT_EQ(lines[14], "    1      0      0        0        0        0");
    EXPECT_EQ(lines[18], "   1        1          2         1000 1001");
    EXPECT_EQ(lines[19], "   2        1          0        ");
    // A basedata name for readers that take the line's fourth word, whatever
    // the source was called; labels of two words from R 10 on.
    EXPECT_EQ(lines[1], "file with basedata            : instance.bas");
    EXPECT_EQ(lines[22], "jobnr. mode duration  R 1  R 2  R 3  R 4  R 5  R 6  R 7  R 8  R 9  R 10  R 11");
    EXPECT_EQ(lines[28], "  R 1  R 2  R 3  R 4  R 5  R 6  R 7  R 8  R 9  R 10  R 11");
    EXPECT_EQ(lines[24], "  1      1    1138    12345    0    0    0    0    0    0    0    0    0   -3");
    EXPECT_EQ(lines[29], "    1    2    3    4    5    6    7    8    9   10 100000");

    instance named = rcp_instance(input);
    named.source_name = "my set\tj30";
    EXPECT_NE(written_as("sm", named).find("\nfile with basedata            : my_set_j30.bas\n"), std::string::npos);
    named.source_name = std::string(300, 'j');
    EXPECT_NE(written_as("sm", named).find(" : " + std::string(300, 'j') + ".bas\n"), std::string::npos);

    const std::string none = written_as("sm", rcp_instance("2 0  0 1 2  0 0"));
    EXPECT_NE(none.find("jobnr. mode duration\n---"), std::string::npos);
    EXPECT_NE(none.find("RESOURCEAVAILABILITIES:\n\n\n****"), std::string::npos);
    EXPECT_NE(none.find("  1      1     0   \n"), std::string::npos);
}

TEST(dot_writer, draws_the_network) {
    EXPECT_EQ(written_as("dot", rcp_instance("5 2\n10 8\n0 0 0 3 2 3 4\n3 4 2 1 5\n2 3 5 1 5\n4 1 1 1 5\n0 0 0 0\n")),
              "digraph project {\n"
              "  rankdir=LR;\n"
              "  labelloc=t;\n"
              "  label=\"capacities 10, 8\";\n"
              "  node [shape=box, fontname=\"Helvetica\", fontsize=10];\n"
              "  1 [shape=point, width=0.12, label=\"\"];\n"
              "  2 [label=\"2\\nd 3\\n4, 2\"];\n"
              "  3 [label=\"3\\nd 2\\n3, 5\"];\n"
              "  4 [label=\"4\\nd 4\\n1, 1\"];\n"
              "  5 [shape=point, width=0.12, label=\"\"];\n"
              "  1 -> 2;\n  1 -> 3;\n  1 -> 4;\n  2 -> 5;\n  3 -> 5;\n  4 -> 5;\n"
              "}\n");
    // What no project should hold is drawn as it is: a first activity that
    // takes time, successors outside 1..N, a negative count, no resources.
    instance named = rcp_instance("3 0  2 2 3 0  0 -1  0 1 -6");
    named.source_name = "a \"quoted\" \\ name";
    EXPECT_EQ(written_as("dot", named), "digraph project {\n"
                                        "  rankdir=LR;\n"
                                        "  labelloc=t;\n"
                                        "  label=\"a \\\"quoted\\\" \\\\ name\\nno resources\";\n"
                                        "  node [shape=box, fontname=\"Helvetica\", fontsize=10];\n"
                                        "  1 [label=\"1\\nd 2\"];\n"
                                        "  2 [label=\"2\\nd 0\"];\n"
                                        "  3 [shape=point, width=0.12, label=\"\"];\n"
                                        "  1 -> 3;\n  1 -> 0;\n  3 -> -6;\n"
                                        "}\n");
    // Limits on dot's passes from 1,001 arcs on, so that large networks draw
    // in seconds.
    const char* const limits = "  label=\"no resources\";\n  nslimit=2;\n  nslimit1=2;\n  mclimit=0.1;\n  node [";
    for (const int arcs : {1000, 1001}) {
        SCOPED_TRACE(arcs);
        std::string input = "40 0  0 " + std::to_string(arcs);
        for (int arc = 0; arc < arcs; ++arc) input += " 2";
        for (int activity = 2; activity <= 40; ++activity) input += "  0 0";
        EXPECT_EQ(written_as("dot", rcp_instance(input)).find(limits) != std::string::npos, arcs > 1000);
    }
}

TEST(sm_reader, reads_psplib_files_as_their_rcp_twins) {
    for (const char* number : {"1", "2"}) {
        SCOPED_TRACE(number);
        instance from_sm;
        ASSERT_EQ(read_as("sm", data_file(std::string("j301_") + number + ".sm"), from_sm), "");
        expect_same(from_sm, rcp_instance(data_file(std::string("J301_") + number + ".rcp")));
    }
}

TEST(sm_reader, accepts_what_real_files_hold) {
    const std::string psplib = data_file("j301_1.sm");
    const instance expected = rcp_instance(data_file("J301_1.rcp"));
    const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
        return text;
    };
    const std::size_t precedence = psplib.find("PRECEDENCE RELATIONS");
    const struct {
        const char* name;
        std::string input;
    } cases[] = {
        {"CR LF", replaced(psplib, "\n", "\r\n")},
        {"CR", replaced(psplib, "\n", "\r")},
        {"tabs", replaced(psplib, "   ", "\t")},
        {"trailing blanks", replaced(psplib, "\n", "  \n")},
        {"blank lines", replaced(psplib, "\n  2 ", "\n\n  2 ")},
        {"RESOURCE AVAILABILITIES", replaced(psplib, "RESOURCEAVAILABILITIES", "RESOURCE AVAILABILITIES")},
        {"no header block", psplib.substr(precedence)},
        {"another #jobs", replaced(psplib, "    1     30      0", "    1     28      0")},
        {"no final line end", psplib.substr(0, psplib.size() - 1)},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        instance result;
        ASSERT_EQ(read_as("sm", item.input, result), "");
        expect_same(result, expected);
    }
}

// A small sm file: 3 jobs, 1 resource, with `change` applied.
std::string small_sm(const std::string& from = "", const std::string& to = "") {
    std::string text = "jobs (incl. supersource/sink ):  3\n"
                       "  - renewable                 :  1   R\n"
                       "  - nonrenewable              :  0   N\n"
                       "PRECEDENCE RELATIONS:\n"
                       "jobnr.    #modes  #successors   successors\n"
                       "   1        1          1           2\n"
                       "   2        1          1           3\n"
                       "   3        1          0        \n"
                       "REQUESTS/DURATIONS:\n"
                       "jobnr. mode duration  R 1\n"
                       "------------------------------------------------------------------------\n"
                       "  1      1     0       0\n"
                       "  2      1     4       2\n"
                       "  3      1     0       0\n"
                       "RESOURCEAVAILABILITIES:\n"
                       "  R 1\n"
                       "    5\n";
    if (!from.empty()) text.replace(text.find(from), from.size(), to);
    return text;
}

TEST(sm_reader, refuses_at_the_place_in_its_own_words) {
    instance result;
    ASSERT_EQ(read_as("sm", small_sm(), result), "");
    const struct {
        const char* name;
        std::string input;
        const char* message;
    } cases[] = {
        {"two projects", "projects :  2\n" + small_sm(),
         "Invalid input at line 1, column 13: expected the number of projects, 1, found \"2\", which is not 1: the "
         "instance holds one project."},
        {"a nonrenewable count without its columns", small_sm(":  0   N", ":  2   N"),
         "Invalid input at line 10, column 26: expected the label of resource 2, one for each of the 3 resources of "
         "the RESOURCES block, found the end of the line."},
        {"an N column the RESOURCES block does not count", small_sm("duration  R 1\n", "duration  R 1  N 1\n"),
         "Invalid input at line 10, column 28: expected the end of the resource labels, one for each of the 1 "
         "resources of the RESOURCES block, found \"N 1\", beyond the RESOURCES block's counts."},
        {"a label of the wrong kind",
         small_sm(":  0   N", ":  1   N").replace(small_sm().find("duration  R 1\n"), 14, "duration  N 1  R 1\n"),
         "Invalid input at line 10, column 23: expected the label of resource 1, a renewable one (R) as the "
         "RESOURCES block counts them, found \"N 1\"."},
        {"availability labels of other kinds than the request columns",
         "PRECEDENCE RELATIONS:\njobnr. #modes #successors successors\n1 1 0\nREQUESTS/DURATIONS:\n"
         "jobnr. mode duration R 1 N 1\n1 1 0 0 0\nRESOURCEAVAILABILITIES:\n R 1 R 2\n 5 9\n",
         "Invalid input at line 8, column 6: expected the label of resource 2, a nonrenewable one (N) as the request "
         "columns have it, found \"R 2\"."},
        {"a negative resource count", small_sm(":  0   N", ":  -1   N"),
         "Invalid input at line 3, column 34: expected the number of nonrenewable resources, found \"-1\", which is "
         "negative."},
        {"a mode count below 1", small_sm("   2        1          1", "   2        0          1"),
         "Invalid input at line 7, column 13: expected the mode count of job 2, found \"0\", which is below 1."},
        {"fewer mode rows than the mode count", small_sm("   2        1          1", "   2        2          1"),
         "Invalid input at line 14, column 3: expected mode 2 of job 2, found \"3\", which starts the next job's "
         "rows: this job has fewer than its mode count."},
        {"modes out of order",
         small_sm("   2        1          1", "   2        2          1")
             .replace(small_sm().find("  3      1     0       0\n"), 0, "         3     5       1\n"),
         "Invalid input at line 14, column 10: expected mode 2 of job 2, found \"3\"."},
        {"more mode rows than the mode count",
         small_sm("  3      1     0       0\n", "     2     5       1\n  3      1     0       0\n"),
         "Invalid input at line 14, column 6: expected the request row of job 3, found \"2\", which is a further "
         "mode's row: the job before has more than its mode count."},
        {"a further mode row after the last job",
         small_sm("  3      1     0       0\n", "  3      1     0       0\n     2     5       1\n"),
         "Invalid input at line 15, column 6: expected the RESOURCEAVAILABILITIES section, found \"2\", which is a "
         "further mode's row: the last job has more than its mode count."},
        {"a further mode's missing duration",
         small_sm("   2        1          1", "   2        2          1")
             .replace(small_sm().find("  3      1     0       0\n"), 0, "         2\n"),
         "Invalid input at line 14, column 11: expected the duration of mode 2 of job 2, found the end of the line."},
        {"jobs out of order", small_sm("   2        1          1           3", "   3        1          1           3"),
         "Invalid input at line 7, column 4: expected job 2 (the jobs in order), found \"3\"."},
        {"a jobs count the rows disagree with", small_sm(":  3\n", ":  4\n"),
         "Invalid input at line 1, column 34: expected the number of jobs, 3 as the precedence relations list, found "
         "\"4\", which disagrees with the rows."},
        {"fewer successors than counted", small_sm("          1           2\n", "          2           2\n"),
         "Invalid input at line 6, column 37: expected successor 2 of job 1, found the end of the line."},
        {"more successors than counted", small_sm("          1           2\n", "          1           2   3\n"),
         "Invalid input at line 6, column 40: expected the end of the row of job 1, after its 1 successor, found "
         "\"3\", beyond its successor count."},
        {"request rows that disagree", small_sm("  2      1     4       2", "  4      1     4       2"),
         "Invalid input at line 13, column 3: expected the request row of job 2, found \"4\", which disagrees with "
         "the precedence relations."},
        {"more labels than the renewable count", small_sm("duration  R 1\n", "duration  R 1  R 2\n"),
         "Invalid input at line 10, column 28: expected the end of the resource labels, one for each of the 1 "
         "resources of the RESOURCES block, found \"R 2\", beyond the RESOURCES block's counts."},
        {"fewer labels than the renewable count", small_sm("duration  R 1\n", "duration\n"),
         "Invalid input at line 10, column 21: expected the label of resource 1, one for each of the 1 resources of "
         "the RESOURCES block, found the end of the line."},
        {"more availability labels than request columns", small_sm("  R 1\n    5", "  R 1 R2\n    5"),
         "Invalid input at line 16, column 7: expected the end of the resource labels, one for each of the 1 "
         "request columns, found \"R2\", beyond the request columns."},
        {"no availability labels", small_sm("  R 1\n    5", "\n    5"),
         "Invalid input at line 17, column 5: expected the label of a resource's availability, as R 1, found "
         "\"5\"."},
        {"a demand that is not a number", small_sm("  2      1     4       2", "  2      1     4       x"),
         "Invalid input at line 13, column 24: expected the demand of job 2 for resource 1, found \"x\", which is not "
         "an integer."},
        {"a missing capacity", small_sm("    5\n", ""),
         "Invalid input at line 17, column 1: expected the capacity of resource 1, found the end of the file."},
        {"no precedence relations", "jobs (incl. supersource/sink ):  3\n",
         "Invalid input at line 2, column 1: expected the PRECEDENCE RELATIONS section, found the end of the file."},
        {"an unknown line", "hello there\n",
         "Invalid input at line 1, column 1: expected a header line or the PRECEDENCE RELATIONS section, found "
         "\"hello\"."},
        {"an empty file", "",
         "Invalid input at line 1, column 1: expected the PRECEDENCE RELATIONS section, found the end of the file."},
        {"a count past the limit, without a header, as written",
         "PRECEDENCE RELATIONS:\njobnr. #modes #successors successors\n1 1 +0005 2 2 2 2 2\n2 1 "
         "0\nREQUESTS/DURATIONS:\n",
         "Invalid input at line 3, column 5: expected the successor count of job 1, found \"+0005\", which brings the "
         "successor total to 5, more than 4 (the activity count squared)."},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(read_as("sm", expected.input, result), expected.message);
    }
}

TEST(sch_reader, refuses_at_the_place_in_its_own_words) {
    const std::string proper = "1\t0\t0\t0\n0\t1\t1\t1\t[0]\n1\t1\t1\t2\t[4]\n2\t1\t0\n0\t1\t0\n1\t1\t4\n2\t1\t0\n";
    instance result;
    ASSERT_EQ(read_as("sch", proper, result), "");
    EXPECT_EQ(written_as("rcp", result), "3 0\n\n0 1 2\n4 1 3\n0 0\n");
    const auto changed = [&proper](const std::string& from, const std::string& to) {
        std::string text = proper;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const struct {
        const char* name;
        std::string input;
        const char* message;
    } cases[] = {
        {"a third header field", changed("1\t0\t0\t0", "1\t0\t5\t0"),
         "Invalid input at line 1, column 5: expected the third header field, 0, found \"5\", which is not 0."},
        {"a mode count of 2", changed("1\t1\t1\t2", "1\t2\t1\t2"),
         "Invalid input at line 3, column 3: expected the mode count of activity 1, found \"2\", which is not 1: "
         "multi-mode RCPSP/max, with a time lag for each pair of modes, is not held, only one mode per activity."},
        {"a lag without its bracket", changed("[4]", "[4"),
         "Invalid input at line 3, column 9: expected \"]\" after time lag 1 of activity 1, found \"[4\"."},
        {"a lag that is a number", changed("[4]", "4"),
         "Invalid input at line 3, column 9: expected time lag 1 of activity 1, as \"[d]\", found \"4\"."},
        {"a lag that is not an integer", changed("[4]", "[4.5]"),
         "Invalid input at line 3, column 9: expected time lag 1 of activity 1, found \"[4.5]\", which is not an "
         "integer."},
        {"a general time lag, read", changed("1\t1\t4\n", "1\t1\t3\n"), ""},
        {"activities out of order", changed("1\t1\t1\t2", "2\t1\t1\t2"),
         "Invalid input at line 3, column 1: expected the number of activity 1 in the precedence section, found "
         "\"2\", which is not that number."},
        {"a missing capacity", "1\t1\t0\t0\n0\t1\t0\n1\t1\t0\n2\t1\t0\n0\t1\t0\t0\n1\t1\t0\t0\n2\t1\t0\t0\n",
         "Invalid input at line 8, column 1: expected the capacity of resource 1, found the end of the file."},
        {"the end of the file", "1\t0\t0",
         "Invalid input at line 1, column 6: expected the fourth header field, 0, "
         "found the end of the file."},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(read_as("sch", expected.input, result), expected.message);
    }
    // Differing lags within an activity, each kept, and the header's N - 2 for the smallest N.
    EXPECT_EQ(read_as("sch", "2\t0\t0\t0\n0\t1\t2\t1\t2\t[0]\t[-1]\n", result),
              "Invalid input at line 3, column 1: expected the number of activity 1 in the precedence section, found "
              "the end of the file.");
    ASSERT_EQ(read_as("sch", "-2147483650\t0\t0\t0\n", result), "");
    EXPECT_EQ(result.activity_count, -2147483647 - 1);
}

TEST(dzn_writer, writes_the_minizinc_benchmarks_bytes) {
    EXPECT_EQ(written_as("dzn", rcp_instance(data_file("J301_1.rcp"))), data_file("J30_1_1.dzn"));
    EXPECT_EQ(written_as("dzn", rcp_instance("5 2\n10 8\n0 0 0 3 2 3 4\n3 4 2 1 5\n2 3 5 1 5\n4 1 1 1 5\n0 0 0 0\n")),
              "n_res = 2;\nrc = [ 10, 8 ];\nn_tasks = 3;\nd = [ 3, 2, 4 ];\n"
              "rr = [| 4, 3, 1\n      | 2, 5, 1 |];\n"
              "suc = [ {  },\n       {  },\n       {  } ];\n");
    const struct {
        const char* name;
        const char* input;
        const char* output;
    } cases[] = {
        {"no resources: rr as array2d", "3 0  0 1 2  4 1 3  0 0",
         "n_res = 0;\nrc = [  ];\nn_tasks = 1;\nd = [ 4 ];\nrr = array2d(1..0, 1..1, []);\nsuc = [ {  } ];\n"},
        {"no tasks", "2 1 5  0 0 1 2  0 0 0",
         "n_res = 1;\nrc = [ 5 ];\nn_tasks = 0;\nd = [  ];\nrr = array2d(1..1, 1..0, []);\nsuc = [  ];\n"},
        {"no dummies: every activity a task, sets ascending", "3 1 4  2 1 2 3 2  1 0 0  0 3 0",
         "n_res = 1;\nrc = [ 4 ];\nn_tasks = 3;\nd = [ 2, 1, 0 ];\nrr = [| 1, 0, 3 |];\n"
         "suc = [ { 2, 3 },\n       {  },\n       {  } ];\n"},
        {"a source with a predecessor is a task", "3 0  0 1 2  1 1 1  0 0",
         "n_res = 0;\nrc = [  ];\nn_tasks = 3;\nd = [ 0, 1, 0 ];\nrr = array2d(1..0, 1..3, []);\n"
         "suc = [ { 2 },\n       { 1 },\n       {  } ];\n"},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(written_as("dzn", rcp_instance(expected.input)), expected.output);
    }
}

// What a layout can't hold fails the file with the reason, naming the activity.
TEST(layout_writers, refuse_what_they_can_not_hold) {
    const struct {
        const char* format;
        const char* input;
        const char* why;
    } cases[] = {
        {"sm", "3 0  0 1 2  0 -2  0 0", "activity 2 has a negative successor count (-2)"},
        {"sm", "-1 0", "the activity count is negative (-1)"},
        {"sm", "1 -2  0 0", "the resource count is negative (-2)"},
        {"json", "3 0  0 1 2  0 -2  0 0", "activity 2 has a negative successor count (-2)"},
        {"dzn", "4 0  0 1 2  1 2 3 3  1 1 4  0 0", "activity 2 lists successor 3 twice, which a set can't hold"},
        {"dzn", "4 0  0 1 2  1 1 7  1 1 4  0 0", "activity 2 has successor 7, which is not a task of the model"},
        {"dzn", "3 0  2 1 5  1 0  0 0", "activity 1 has successor 5, which is not a task of the model"},
        {"dzn", "3 0  0 1 2  1 -1  0 0", "activity 2 has a negative successor count (-1)"},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(std::string(expected.format) + ": " + expected.input);
        message_text why;
        EXPECT_FALSE(find_format(expected.format)->can_hold(rcp_instance(expected.input), activity_naming{}, why));
        EXPECT_EQ(why.view(), expected.why);
    }
}

TEST(dzn_reader, reads_the_benchmarks_and_other_producers) {
    instance result;
    ASSERT_EQ(read_as("dzn", data_file("J30_1_1.dzn"), result), "");
    expect_same(result, rcp_instance(data_file("J301_1.rcp")));
    for (const char* name : {"dzn_syntax/j30_1_3-wet.dzn", "dzn_syntax/st27_1.dzn", "dzn_syntax/la01_x2.dzn"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(read_as("dzn", data_file(name), result), "");
        // Read, written and read again: the same instance.
        instance again;
        ASSERT_EQ(read_as("dzn", written_as("dzn", result), again), "");
        expect_same(again, result);
    }
    // The dummies a file keeps are kept; the others' arcs come back.
    ASSERT_EQ(read_as("dzn", data_file("dzn_syntax/j30_1_3-wet.dzn"), result), "");
    EXPECT_EQ(result.activity_count, 32);
}

TEST(dzn_reader, takes_what_minizinc_data_look_like) {
    // Three tasks, two resources; task 1 precedes 2 and 3.
    const instance expected = rcp_instance("5 2  4 5  0 0 0 1 2  2 1 0 2 3 4  3 0 1 1 5  1 1 1 1 5  0 0 0 0");
    const char* const texts[] = {
        "n_res = 2; rc = [4, 5]; n_tasks = 3; d = [2, 3, 1]; rr = [| 1, 0, 1 | 0, 1, 1 |]; suc = [{2, 3}, {}, {}];",
        "% a comment\nsuc = [ {3,2,}, 1..0, {  }, ];\r\n/* d first? */ d = array1d(1..3, [2, 3, 1,]);\n"
        "t_max = sum(d); deadline = \"a; b\";\nrr = array2d(1..2, 1..3, [1, 0, 1, 0, 1, 1]);\n"
        "\tn_tasks=3;n_res=2;rc=[4,5];",
        "n_res = 2;\nrc = [ 4, 5 ];\nn_tasks = 3;\nd = [ 2, 3, 1 ];\nrr = [| 1, 0, 1\n| 0, 1, 1 |];\n"
        "suc = [ 2..3,\n\t\t{ },\n {} ];\n",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        instance result;
        ASSERT_EQ(read_as("dzn", text, result), "");
        expect_same(result, expected);
    }
    // Empty matrices in each spelling.
    for (const char* rr : {"[]", "[| |]", "[||]", "array2d(1..0, 1..2, [])"}) {
        SCOPED_TRACE(rr);
        instance result;
        ASSERT_EQ(read_as("dzn",
                          std::string("n_res = 0; rc = []; n_tasks = 2; d = [0, 0]; rr = ") + rr + "; suc = [{2}, {}];",
                          result),
                  "");
        EXPECT_EQ(result.activity_count, 2);
    }
}

// With n_res given before it, rr is read straight into a task's demands
// together; after it, by rows and turned about when the instance is built.
// Both must give the same instance, or refuse with the same words.
TEST(dzn_reader, reads_rr_into_place_as_by_rows) {
    const auto repeated = [](const std::string& text, int times) {
        std::string result;
        for (int time = 0; time < times; ++time) result += text;
        return result;
    };
    const auto rr_of = [](int resources) {
        std::string rr = "rr = [|";
        for (int resource = 0; resource < resources; ++resource)
            rr += std::string(resource == 0 ? " " : "\n   | ") + std::to_string(resource) + ", " +
                  std::to_string(resource + 3) + ", 0";
        return rr + " |];\n";
    };
    const struct {
        const char* name;
        std::string text; // its first line gives n_res
        const char* message;
    } cases[] = {
        {"dummies added",
         "n_res = 2;\nrc = [4, 5];\nn_tasks = 3;\nd = [2, 3, 1];\n" + rr_of(2) + "suc = [{2, 3}, {}, {}];\n", ""},
        {"dummies kept",
         "n_res = 1;\nrc = [4];\nn_tasks = 4;\nd = [0, 3, 1, 0];\nrr = [| 0, 2, 1, 0 |];\n"
         "suc = [{2, 3}, {4}, {4}, {}];\n",
         ""},
        {"unsorted sets and a range",
         "n_res = 2;\nrc = [4, 5];\nn_tasks = 3;\nd = [2, 3, 1];\n" + rr_of(2) + "suc = [{3, 2, 3}, 3..3, {}];\n", ""},
        {"17 resources, more than are read into place",
         "n_res = 17;\nrc = [1" + repeated(", 1", 16) + "];\nn_tasks = 3;\nd = [2, 3, 1];\n" + rr_of(17) +
             "suc = [{2, 3}, {}, {}];\n",
         ""},
        {"mrcpsp's rreq",
         "n_res = 2;\nrcap = [4, 9];\nrtype = [1, 2];\nn_tasks = 2;\nmodes = [ {1, 2}, {3} ];\n"
         "succ = [ {2}, {} ];\nn_opt = 3;\ndur = [2, 3, 1];\n" +
             rr_of(2),
         ""},
        {"rcpsp_max's rr",
         "n_res = 2;\nrcap = [4, 5];\nn_tasks = 3;\ndur = [2, 3, 1];\n" + rr_of(2) +
             "dcons = [| 1, 2, 3 | 3, -4, 1 |];\nn_dc = 2;\n",
         ""},
        {"a longer row",
         "n_res = 2;\nrc = [4, 5];\nn_tasks = 3;\nd = [2, 3, 1];\nrr = [| 1, 2, 3 | 4, 5, 6, 7 |];\n"
         "suc = [{2, 3}, {}, {}];\n",
         "Invalid input at line 5, column 30: expected rr's rows, each as long as the first (3 demands), found \"|\", "
         "after a row of another length."},
        {"a row too many",
         "n_res = 2;\nrc = [4, 5];\nn_tasks = 3;\nd = [2, 3, 1];\n" + rr_of(3) + "suc = [{2, 3}, {}, {}];\n",
         "Invalid input at line 5, column 6: expected rr with 2 rows, one per resource, of one demand per task, "
         "found \"[\", an array of another size."},
        {"rows too short",
         "n_res = 2;\nrc = [4, 5];\nn_tasks = 3;\nd = [2, 3, 1];\nrr = [| 1, 2 | 4, 5 |];\n"
         "suc = [{2, 3}, {}, {}];\n",
         "Invalid input at line 5, column 6: expected rr with 2 rows, one per resource, of one demand per task, "
         "found \"[\", an array of another size."},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        // The first line made a comment of its length, and given at the end.
        const std::size_t first_line_end = expected.text.find('\n');
        std::string by_rows = expected.text;
        by_rows[0] = '%';
        by_rows += expected.text.substr(0, first_line_end + 1);
        instance in_place, from_rows;
        EXPECT_EQ(read_as("dzn", expected.text, in_place), expected.message);
        EXPECT_EQ(read_as("dzn", by_rows, from_rows), expected.message);
        if (*expected.message == '\0') {
            expect_same(in_place, from_rows);
            EXPECT_EQ(written_as("sch", in_place), written_as("sch", from_rows));
        }
    }
}

// A small instance as data for MiniZinc's mrcpsp model: two tasks, three modes.
std::string mrcpsp_data() {
    return std::string(
        "n_res = 2;\nrcap = [4, 9];\nrtype = [1, 2];\nn_tasks = 2;\nmodes = [ {1, 2}, {3} ];\n"
        "succ = [ {2}, {} ];\nn_opt = 3;\ndur = [2, 3, 1];\nrreq = [|  1,  2,  0\n        |  3,  1,  2 |];\n");
}

std::string with_first_replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

// mrcpsp data whose modes are 1..n_opt in task order are read without a list
// of them; any other numbering takes the careful path. The same modes
// numbered either way are the same instance.
TEST(dzn_reader, reads_modes_in_order_as_in_any_order) {
    const auto data = [](const char* modes, const char* durations, const char* demands) {
        return std::string("n_res = 2;\nrcap = [4, 9];\nrtype = [1, 2];\nn_tasks = 3;\nmodes = [ ") + modes +
               " ];\nsucc = [ {2}, {3}, {} ];\nn_opt = 5;\ndur = [" + durations + "];\nrreq = [| " + demands + " |];\n";
    };
    // Task 1 has modes of durations 2 and 3, task 2 one of 1, task 3 two of 4 and 5.
    const std::string in_order = data("{1, 2}, {3}, {4, 5}", "2, 3, 1, 4, 5", "1, 2, 0, 3, 1 | 3, 1, 2, 0, 4");
    instance expected;
    ASSERT_EQ(read_as("dzn", in_order, expected), "");
    ASSERT_EQ(expected.activity_count, 5);
    EXPECT_EQ(values(expected.mode_counts), (std::vector<std::int32_t>{1, 2, 1, 2, 1}));
    EXPECT_EQ(values(expected.durations), (std::vector<std::int32_t>{0, 2, 3, 1, 4, 5, 0}));
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"ranges", data("1..2, 3..3, 4..5", "2, 3, 1, 4, 5", "1, 2, 0, 3, 1 | 3, 1, 2, 0, 4")},
        {"a set unsorted", data("{2, 1}, {3}, {4, 5}", "2, 3, 1, 4, 5", "1, 2, 0, 3, 1 | 3, 1, 2, 0, 4")},
        {"numbered from the last task", data("{4, 5}, {3}, {1, 2}", "4, 5, 1, 2, 3", "3, 1, 0, 1, 2 | 0, 4, 2, 3, 1")},
        {"a mode listed twice", data("{1, 2, 2}, {3}, {4, 5}", "2, 3, 1, 4, 5", "1, 2, 0, 3, 1 | 3, 1, 2, 0, 4")},
    };
    for (const auto& other : cases) {
        SCOPED_TRACE(other.name);
        instance result;
        ASSERT_EQ(read_as("dzn", other.text, result), "");
        expect_same(result, expected);
    }
    // Dummies in the data, a single mode of nothing first and last, are kept.
    instance kept;
    ASSERT_EQ(read_as("dzn", data("{1}, {2, 3, 4}, {5}", "0, 3, 1, 4, 0", "0, 2, 0, 3, 0 | 0, 1, 2, 0, 0"), kept), "");
    EXPECT_EQ(kept.activity_count, 3);
    EXPECT_EQ(values(kept.mode_counts), (std::vector<std::int32_t>{1, 3, 1}));
    EXPECT_EQ(values(kept.demands), (std::vector<std::int32_t>{0, 0, 2, 1, 0, 2, 3, 0, 0, 0}));
}

TEST(dzn_reader, refuses_at_the_place_in_its_own_words) {
    const std::string good =
        "n_res = 1;\nrc = [ 4 ];\nn_tasks = 2;\nd = [ 2, 3 ];\nrr = [| 1, 0 |];\nsuc = [ { 2 }, {  } ];\n";
    const auto changed = [&good](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const struct {
        const char* name;
        std::string input;
        const char* message;
    } cases[] = {
        {"a missing name", changed("n_tasks = 2;\n", ""),
         "Invalid input at line 6, column 1: expected the assignment of n_tasks, found the end of the file."},
        {"a name twice", good + "rc = [ 4 ];\n",
         "Invalid input at line 7, column 1: expected each name once, found \"rc\", given a second time."},
        {"d of another size", changed("d = [ 2, 3 ]", "d = [ 2, 3, 4 ]"),
         "Invalid input at line 4, column 5: expected d with 2 durations, one per task, found \"[\", an array of "
         "another size."},
        {"rr of another size", changed("rr = [| 1, 0 |]", "rr = [| 1 |]"),
         "Invalid input at line 5, column 6: expected rr with 1 row, one per resource, of one demand per task, found "
         "\"[\", an array of another size."},
        {"a successor outside the tasks", changed("{ 2 }", "{ 3 }"),
         "Invalid input at line 6, column 11: expected a successor of task 1 within 1..2, found \"3\", which is not a "
         "task."},
        {"a value that is not an integer", changed("[ 2, 3 ]", "[ 2, 3.5 ]"),
         "Invalid input at line 4, column 10: expected duration 2 in d, found \"3.5\", which is not an integer."},
        {"a missing semicolon", changed("rc = [ 4 ];", "rc = [ 4 ]"),
         "Invalid input at line 3, column 1: expected \";\" after the value, found \"n_tasks\"."},
        {"rows of other lengths",
         "n_res = 2; rc = [1, 1]; n_tasks = 2; d = [1, 1];\nrr = [| 1, 0 | 1 |]; suc = [{}, {}];",
         "Invalid input at line 2, column 18: expected rr's rows, each as long as the first (2 demands), found \"|\", "
         "after a row of another length."},
        {"not an assignment", "x",
         "Invalid input at line 1, column 2: expected \"=\" after the name, found the end of the file."},
        // Closing brackets one too many, a comment left open, index sets that
        // disagree with their values: MiniZinc refuses them all.
        {"an extra ] after d", changed("d = [ 2, 3 ]", "d = [ 2, 3, ]]"),
         "Invalid input at line 4, column 14: expected \";\" after the value, found \"]\"."},
        {"an extra ] after an empty rc", changed("n_res = 1;\nrc = [ 4 ]", "n_res = 0;\nrc = []]"),
         "Invalid input at line 2, column 8: expected \";\" after the value, found \"]\"."},
        {"a comment the file ends in", good + "/* t_max = 10;",
         "Invalid input at line 7, column 1: expected \"*/\" at the end of the comment, found \"/*\", a comment the "
         "file ends in."},
        {"a comment open before a value", changed("n_tasks = 2;", "n_tasks = /* 2;"),
         "Invalid input at line 3, column 11: expected \"*/\" at the end of the comment, found \"/*\", a comment the "
         "file ends in."},
        {"an index set larger than d", changed("[ 2, 3 ]", "array1d(1..10, [ 2, 3 ])"),
         "Invalid input at line 4, column 13: expected an index set of 2 indices, one per value, found \"1..10\", an "
         "index set of another size."},
        {"an empty index set for rc", changed("[ 4 ]", "array1d(5..1, [ 4 ])"),
         "Invalid input at line 2, column 14: expected an index set of 1 index, one per value, found \"5..1\", an "
         "index set of another size."},
        {"an index set smaller than suc", changed("[ { 2 }, {  } ]", "array1d(1..1, [ { 2 }, {  } ])"),
         "Invalid input at line 6, column 15: expected an index set of 2 indices, one per value, found \"1..1\", an "
         "index set of another size."},
        // Ranges are judged before their members are stored, at the range.
        {"a range beyond the tasks", changed("{ 2 }", "0..2"),
         "Invalid input at line 6, column 9: expected successors within 1..2, found \"0..2\", a range beyond them."},
        {"a huge range before n_tasks", "suc = [ 1..2000000000, {} ];\n" + changed("suc = [ { 2 }, {  } ];\n", ""),
         "Invalid input at line 1, column 9: expected successors within 1..2, found \"1..2000000000\", a range beyond "
         "them."},
        // Data for MiniZinc's other scheduling models, named in the user's terms.
        {"rcpsp_max data",
         "n_res = 1;\nrcap = [ 4 ];\nn_tasks = 1;\ndur = [ 2 ];\nrr = [| 1 |];\ndcons = [| 1, 0, 1 |];\n",
         "Invalid input at line 7, column 1: expected the assignment of n_dc, found the end of the file."},
        {"mrcpsp data without rreq", mrcpsp_data().substr(0, mrcpsp_data().find("rreq")),
         "Invalid input at line 9, column 1: expected the assignment of rreq, found the end of the file."},
        {"a resource kind other than 1 and 2", with_first_replaced(mrcpsp_data(), "[1, 2]", "[1, 3]"),
         "Invalid input at line 3, column 9: expected rtype of 1 (renewable) and 2 (nonrenewable), resource 2 too, "
         "found \"[\", an array holding others."},
        {"a mode outside n_opt", with_first_replaced(mrcpsp_data(), "{3}", "{4}"),
         "Invalid input at line 5, column 9: expected modes within 1..3 (n_opt), found \"[\", an array holding "
         "others."},
        {"a task without modes", with_first_replaced(mrcpsp_data(), "{3}", "{}"),
         "Invalid input at line 5, column 9: expected a mode or more for each task, task 2 too, found \"[\", an array "
         "holding an empty set."},
        {"dur of another size", with_first_replaced(mrcpsp_data(), "[2, 3, 1]", "[2, 3]"),
         "Invalid input at line 8, column 7: expected dur with 3 durations, one per mode (n_opt), found \"[\", an "
         "array of another size."},
        {"modes of another size", with_first_replaced(mrcpsp_data(), "{1, 2}, {3}", "{1, 2, 3}"),
         "Invalid input at line 5, column 9: expected modes with 2 sets, one per task, found \"[\", an array of "
         "another size."},
        // MiniZinc's model gives each mode to one task.
        {"a mode in no task", with_first_replaced(mrcpsp_data(), "{1, 2}", "{1}"),
         "Invalid input at line 5, column 9: expected each mode of 1..n_opt in exactly one task, mode 2 too, found "
         "\"[\", an array holding it in none."},
        {"a mode in two tasks", with_first_replaced(mrcpsp_data(), "{3}", "{2, 3}"),
         "Invalid input at line 5, column 9: expected each mode of 1..n_opt in exactly one task, mode 2 too, found "
         "\"[\", an array holding it in two tasks."},
        // Arrays named as the file names them.
        {"rcap of another size",
         "n_res = 1;\nrcap = [ 4, 5 ];\nn_tasks = 1;\ndur = [ 2 ];\nrr = [| 1 |];\ndcons = [| 1, 0, 1 |];\nn_dc = 1;\n",
         "Invalid input at line 2, column 8: expected rcap with 1 capacity, one per resource, found \"[\", an array of "
         "another size."},
        {"dur of another size in rcpsp_max data",
         "n_res = 1;\nrcap = [ 4 ];\nn_tasks = 1;\ndur = [ 2, 3 ];\nrr = [| 1 |];\ndcons = [| 1, 0, 1 |];\nn_dc = 1;\n",
         "Invalid input at line 4, column 7: expected dur with 1 duration, one per task, found \"[\", an array of "
         "another size."},
        {"dcons of another size",
         "n_res = 1;\nrcap = [ 4 ];\nn_tasks = 1;\ndur = [ 2 ];\nrr = [| 1 |];\ndcons = [| |];\nn_dc = 1;\n",
         "Invalid input at line 6, column 9: expected dcons with 1 row, as n_dc says, found \"[\", an array of "
         "another size."},
        {"mrcpsp beside rcpsp_max", "n_dc = 0;\n" + mrcpsp_data(),
         "Invalid input at line 4, column 1: expected the names of one model, found \"rtype\", a name of MiniZinc's "
         "mrcpsp model beside rcpsp_max's (no model has both modes and general time lags)."},
        {"a name both share", "n_res = 1;\nrcap = [ 4 ];\n",
         "Invalid input at line 3, column 1: expected the assignment of n_tasks, found the end of the file."},
        // Quoted as written, placed at what is refused.
        {"a successor with leading zeros", changed("{ 2 }", "{ 007 }"),
         "Invalid input at line 6, column 11: expected a successor of task 1 within 1..2, found \"007\", which is not "
         "a task."},
        {"a successor -0", changed("{ 2 }", "{ -0 }"),
         "Invalid input at line 6, column 11: expected a successor of task 1 within 1..2, found \"-0\", which is not "
         "a task."},
        {"an array1d d of another size", changed("[ 2, 3 ]", "array1d(1..3, [ 2, 3, 4 ])"),
         "Invalid input at line 4, column 19: expected d with 2 durations, one per task, found \"[\", an array of "
         "another size."},
        {"an array2d rr of another size", changed("[| 1, 0 |]", "array2d(1..1, 1..3, [ 1, 0, 3 ])"),
         "Invalid input at line 5, column 26: expected rr with 1 row, one per resource, of one demand per task, found "
         "\"[\", an array of another size."},
        {"a negative n_tasks", changed("n_tasks = 2", "n_tasks = -3"),
         "Invalid input at line 3, column 11: expected the value of n_tasks, a count of 0 or more, found \"-3\", a "
         "negative count."},
        {"a negative n_res", changed("n_res = 1", "n_res = -1"),
         "Invalid input at line 1, column 9: expected the value of n_res, a count of 0 or more, found \"-1\", a "
         "negative count."},
        {"45 digits", changed("[ 2, 3 ]", "[ 2, 123456789012345678901234567890123456789012345 ]"),
         "Invalid input at line 4, column 10: expected duration 2 in d, found "
         "\"1234567890123456789012345678901234567890...\", which is outside the signed 32-bit range."},
        {"45 digits and a letter", changed("[ 2, 3 ]", "[ 2, 123456789012345678901234567890123456789012345x ]"),
         "Invalid input at line 4, column 10: expected duration 2 in d, found "
         "\"1234567890123456789012345678901234567890...\", which is not an integer."},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        instance result;
        EXPECT_EQ(read_as("dzn", expected.input, result), expected.message);
    }
}

TEST(json_writer, writes_one_activity_per_line) {
    EXPECT_EQ(written_as("json", rcp_instance("5 2\n10 8\n0 0 0 3 2 3 4\n3 4 2 1 5\n2 3 5 1 5\n4 1 1 1 5\n0 0 0 0\n")),
              "{\"capacities\": [10, 8], \"activities\": [\n"
              "  {\"duration\": 0, \"demands\": [0, 0], \"successors\": [1, 2, 3]},\n"
              "  {\"duration\": 3, \"demands\": [4, 2], \"successors\": [4]},\n"
              "  {\"duration\": 2, \"demands\": [3, 5], \"successors\": [4]},\n"
              "  {\"duration\": 4, \"demands\": [1, 1], \"successors\": [4]},\n"
              "  {\"duration\": 0, \"demands\": [0, 0], \"successors\": []}\n"
              "]}\n");
    EXPECT_EQ(written_as("json", rcp_instance("0 0")), "{\"capacities\": [], \"activities\": [\n]}\n");
    // Carried as held: a successor outside the array, repeated, negative values.
    EXPECT_EQ(written_as("json", rcp_instance("2 1 -3  -1 2 2 9 9  0 0 0")),
              "{\"capacities\": [-3], \"activities\": [\n"
              "  {\"duration\": -1, \"demands\": [2], \"successors\": [8, 8]},\n"
              "  {\"duration\": 0, \"demands\": [0], \"successors\": []}\n"
              "]}\n");
}

TEST(json_writer, writes_a_line_of_json_lines_named_and_read_back) {
    const instance source = rcp_instance("2 1 7  0 1 1 2  3 2 0");
    const struct {
        const char* name;
        const char* written;
    } names[] = {
        {"set/a001.txt", "\"set/a001.txt\""},
        {"say \"hi\"\\x", "\"say \\\"hi\\\"\\\\x\""},
        {"tab\there\n", "\"tab\\u0009here\\u000a\""},
        {"\xc3\xa9t\xc3\xa9.sm", "\"\xc3\xa9t\xc3\xa9.sm\""},
        // Bytes that are no UTF-8 (a Latin-1 file name, a cut or overlong
        // sequence, a surrogate) each become U+FFFD: JSON text is UTF-8.
        {"lat\xe9.sm", "\"lat\xef\xbf\xbd.sm\""},
        {"\xc3", "\"\xef\xbf\xbd\""},
        {"\xc0\xafx\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbdx\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},
        {"\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},
    };
    for (const auto& expected : names) {
        SCOPED_TRACE(expected.name);
        std::string line;
        output_buffer buffer(append_to_string, &line);
        write_json_line(buffer, source, expected.name);
        buffer.flush();
        EXPECT_EQ(line, std::string("{\"name\": ") + expected.written +
                            ", \"capacities\": [7], \"activities\": [{\"duration\": 0, \"demands\": [1], "
                            "\"successors\": [1]}, {\"duration\": 3, \"demands\": [2], \"successors\": []}]}\n");
        instance again;
        ASSERT_EQ(read_as("json", line, again), "");
        expect_same(again, source);
    }
    instance twice;
    EXPECT_NE(read_as("json", "{\"name\": \"a\", \"name\": \"b\", \"capacities\": [], \"activities\": []}", twice), "");
}

TEST(json_reader, takes_any_json_text_of_the_shape) {
    const instance expected = rcp_instance("2 1 7  0 1 1 2  3 2 0");
    const char* const texts[] = {
        "{\"capacities\":[7],\"activities\":[{\"duration\":0,\"demands\":[1],\"successors\":[1]},"
        "{\"duration\":3,\"demands\":[2],\"successors\":[]}]}",
        "\r\n{ \"activities\" : [ { \"successors\" : [ 1 ] , \"demands\" : [ 1 ] , \"duration\" : 0 } ,\n"
        "\t{\"demands\": [2], \"duration\": 3, \"successors\": []} ],\n \"capacities\": [7] }\n\n",
        "{\"capaci\\u0074ies\": [7], \"activities\": [{\"duration\": -0, \"demands\": [1], \"successors\": [1]}, "
        "{\"duration\": 3, \"demands\": [2], \"successors\": []}]}",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        instance result;
        ASSERT_EQ(read_as("json", text, result), "");
        expect_same(result, expected);
    }
}

TEST(json_reader, refuses_at_the_place_in_its_own_words) {
    const struct {
        const char* input;
        const char* message;
    } cases[] = {
        {"{\"capacities\": [1.0], \"activities\": []}",
         "Invalid input at line 1, column 17: expected capacity 1, found \"1.0\", which is not an integer."},
        {"{\"capacities\": [1], \"activities\": [{\"duration\": true, \"demands\": [1], \"successors\": []}]}",
         "Invalid input at line 1, column 49: expected the duration of activity 0, found \"true\", which is not an "
         "integer."},
        {"{\"capacities\": [\"5\"], \"activities\": []}",
         "Invalid input at line 1, column 17: expected capacity 1, found \"\\\"5\\\"\", which is not an integer."},
        {"{\"capacities\": [2147483648], \"activities\": []}",
         "Invalid input at line 1, column 17: expected capacity 1, found \"2147483648\", which is outside the signed "
         "32-bit range."},
        {"{\"capacities\": [01], \"activities\": []}",
         "Invalid input at line 1, column 17: expected capacity 1, found \"01\", which is not an integer."},
        {"{\"capacities\": [1,], \"activities\": []}",
         "Invalid input at line 1, column 19: expected capacity 2, found \"]\", which is not an integer."},
        {"{\"capacities\": [1], \"activites\": []}",
         "Invalid input at line 1, column 21: expected the key \"capacities\" or \"activities\", found "
         "\"\\\"activites\\\"\", which this layout does not hold."},
        {"{\"capacities\": [1], \"capacities\": [2]}",
         "Invalid input at line 1, column 21: expected \"capacities\" once, found \"\\\"capacities\\\"\", given "
         "twice."},
        {"{\"capacities\": [1]}", "Invalid input at line 1, column 19: expected the key \"activities\", found \"}\"."},
        {"{\"capacities\": [1], \"activities\": [{\"duration\": 0, \"demands\": [1, 2], \"successors\": []}]}",
         "Invalid input at line 1, column 63: expected the demands of activity 0, one for each of the 1 capacity, "
         "found \"[\", an array of another length."},
        {"{\"activities\": [{\"duration\": 3, \"demands\": [1, 2], \"successors\": []}],\n\"capacities\": [5]}",
         "Invalid input at line 2, column 15: expected the capacities, one for each of the 2 demands of every "
         "activity, found \"[\", an array of another length."},
        {"{\"capacities\": [], \"activities\": [{\"duration\": 3, \"demands\": [], \"successors\": [], \"x\": 1}]}",
         "Invalid input at line 1, column 84: expected the key \"duration\", \"demands\" or \"successors\" of "
         "activity 0, found \"\\\"x\\\"\", which this layout does not hold."},
        {"{\"capacities\": [], \"activities\": [{\"duration\": 3, \"demands\": []}]}",
         "Invalid input at line 1, column 64: expected the key \"successors\" of activity 0, found \"}\"."},
        {"{\"capacities\": [], \"activities\": [{\"duration\": 3, \"demands\": [], \"successors\": [0, 0]}]}",
         "Invalid input at line 1, column 87: expected no more successors in all than the activity count squared, 1, "
         "found \"]\", the end of activities with more."},
        {"{\"capacities\": [], \"activities\": []} []",
         "Invalid input at line 1, column 38: expected the end of the file after the instance's object, found \"[\"."},
        {"{\"capacities\": [", "Invalid input at line 1, column 17: expected capacity 1, found the end of the file."},
        {"[]", "Invalid input at line 1, column 1: expected the instance's object, \"{\", found \"[\"."},
        // A \\u escape stands for a character: a surrogate only in a pair.
        {"{\"name\": \"x\\ud800y\", \"capacities\": [], \"activities\": []}",
         "Invalid input at line 1, column 12: expected a character, found \"\\\\ud800\", a high surrogate without a "
         "low one after it."},
        {"{\"name\": \"\\ud800\\u0041\", \"capacities\": [], \"activities\": []}",
         "Invalid input at line 1, column 11: expected a character, found \"\\\\ud800\", a high surrogate without a "
         "low one after it."},
        {"{\"name\": \"\\uDC00\", \"capacities\": [], \"activities\": []}",
         "Invalid input at line 1, column 11: expected a character, found \"\\\\udc00\", a low surrogate without "
         "its high one."},
        // The sch form holds one key, a Boolean.
        {"{\"sch\": {\"capacities_line_ended\": 1}, \"capacities\": [], \"activities\": []}",
         "Invalid input at line 1, column 35: expected true or false, found \"1\"."},
        {"{\"sch\": {\"tab\": true}, \"capacities\": [], \"activities\": []}",
         "Invalid input at line 1, column 10: expected the key \"capacities_line_ended\", found \"\\\"tab\\\"\", which "
         "this layout does not hold."},
        // PSPLIB's basedata name is a header line of its own.
        {"{\"psplib\": {\"basedata\": \"j30\\n.bas\"}, \"capacities\": [], \"activities\": []}",
         "Invalid input at line 1, column 25: expected the basedata name, a string, found \"\\\"j30\\\\n.bas\\\"\", "
         "which holds a control character (a line end, a tab, a NUL)."},
        {"{\"psplib\": {\"basedata\": \"\\u0000\"}, \"capacities\": [], \"activities\": []}",
         "Invalid input at line 1, column 25: expected the basedata name, a string, found \"\\\"\\\\u0000\\\"\", "
         "which holds a control character (a line end, a tab, a NUL)."},
        {"{\"capacities\\\\\": [1]}",
         "Invalid input at line 1, column 2: expected the key \"capacities\" or \"activities\", found "
         "\"\\\"capacities\\\\\\\\\\\"\", which this layout does not hold."},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.input);
        instance result;
        EXPECT_EQ(read_as("json", expected.input, result), expected.message);
    }
}

// Modes and kinds in JSON: each way the two forms can be broken, at its place.
TEST(json_reader, refuses_modes_and_kinds_at_the_place_in_its_own_words) {
    const std::string two_modes =
        R"("modes": [{"duration": 1, "demands": [1, 2]}, {"duration": 2, "demands": [0, 1]}])";
    const struct {
        std::string input;
        const char* message;
    } cases[] = {
        {R"({"capacities": [4, 5], "kinds": ["renewable"], "activities": []})",
         "Invalid input at line 1, column 33: expected the kinds, one for each of the 2 capacities, found \"[\", an "
         "array of another length."},
        {R"({"capacities": [4, 5], "kinds": ["renewable", "other"], "activities": []})",
         "Invalid input at line 1, column 47: expected the kind of resource 2, \"renewable\", \"nonrenewable\" or "
         "\"doubly constrained\", found \"\\\"other\\\"\"."},
        {R"({"capacities": [4, 5], "kinds": ["renewable", "renewable"], "kinds": [], "activities": []})",
         "Invalid input at line 1, column 61: expected \"kinds\" once, found \"\\\"kinds\\\"\", given twice."},
        {R"({"capacities": [4, 5], "activities": [{"modes": [], "successors": []}]})",
         "Invalid input at line 1, column 50: expected a mode of activity 0, \"{\", found \"]\", an activity has one "
         "mode or more."},
        {R"({"capacities": [4, 5], "activities": [{"modes": [{"duration": 1, "demands": [1]}], "successors": []}]})",
         "Invalid input at line 1, column 77: expected the demands of activity 0, one for each of the 2 capacities, "
         "found \"[\", an array of another length."},
        {R"({"capacities": [4, 5], "activities": [{"duration": 3, "modes": [{"duration": 1, "demands": [1, 2]}], "successors": []}]})",
         "Invalid input at line 1, column 55: expected \"modes\", or \"duration\" and \"demands\", in activity 0, "
         "found "
         "\"\\\"modes\\\"\", not both."},
        {R"({"capacities": [4, 5], "activities": [{"modes": [{"duration": 1, "demand": [1, 2]}], "successors": []}]})",
         "Invalid input at line 1, column 66: expected the key \"duration\" or \"demands\" of a mode of activity 0, "
         "found \"\\\"demand\\\"\", which a mode does not hold, or given twice."},
        {R"({"capacities": [4, 5], "activities": [{"modes": [{"duration": 1}], "successors": []}]})",
         "Invalid input at line 1, column 64: expected the key \"demands\" of a mode of activity 0, found \"}\"."},
        {R"({"capacities": [4, 5], "activities": [{)" + two_modes + R"(, "successors": [0], "lags": [2]}]})",
         "Invalid input at line 1, column 142: expected no lags and modes in one instance, found \"\\\"lags\\\"\", "
         "which the instance can't hold: its lags are for one mode per activity (general time lags with modes, "
         "multi-mode RCPSP/max, are not held)."},
        {R"({"activities": [{)" + two_modes + R"(, "successors": []}], "capacities": [1]})",
         "Invalid input at line 1, column 135: expected the capacities, one for each of the 2 demands of every "
         "activity, found \"[\", an array of another length."},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.input);
        instance result;
        EXPECT_EQ(read_as("json", expected.input, result), expected.message);
    }
}

// What each layout without modes or kinds says of an instance that has them,
// naming the first activity or resource it can't hold.
TEST(layout_writers, refuse_modes_and_kinds_they_can_not_hold) {
    const std::string modes_then_kinds =
        R"({"capacities": [4, 5], "kinds": ["renewable", "nonrenewable"], "activities": [)"
        R"({"duration": 0, "demands": [0, 0], "successors": [1]}, )"
        R"({"modes": [{"duration": 1, "demands": [1, 2]}, {"duration": 2, "demands": [0, 1]}], "successors": [2]}, )"
        R"({"duration": 0, "demands": [0, 0], "successors": []}]})";
    const std::string kinds_only =
        R"({"capacities": [4, 5], "kinds": ["renewable", "doubly constrained"], "activities": [)"
        R"({"duration": 0, "demands": [0, 0], "successors": [1]}, {"duration": 0, "demands": [0, 0], "successors": []}]})";
    const struct {
        const char* format;
        const std::string& input;
        const char* why; // empty: held
    } cases[] = {
        // Activities named as the input (JSON) names them.
        {"sm", modes_then_kinds, "activities[1] has 2 modes; the sm layout holds one mode per activity (use --to mm)"},
        {"rcp", modes_then_kinds, "activities[1] has 2 modes; the rcp layout holds one mode per activity"},
        {"sch", modes_then_kinds, "activities[1] has 2 modes; the sch layout holds one mode per activity"},
        {"sm", kinds_only,
         "resource 2 is doubly constrained; the sm layout holds renewable resources only (use --to mm)"},
        {"rcp", kinds_only, "resource 2 is doubly constrained; the rcp layout holds renewable resources only"},
        {"dzn", kinds_only, "resource 2 is doubly constrained, which MiniZinc's mrcpsp model has no place for"},
        {"dzn", modes_then_kinds, ""},
        {"mm", kinds_only, ""},
        {"json", modes_then_kinds, ""},
        {"dot", kinds_only, ""},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(std::string(expected.format) + ": " + expected.input);
        instance source;
        ASSERT_EQ(read_as("json", expected.input, source), "");
        const layout_format* layout = find_format(expected.format);
        message_text why;
        EXPECT_EQ(layout->can_hold == nullptr || layout->can_hold(source, find_format("json")->naming, why),
                  *expected.why == '\0');
        EXPECT_EQ(why.view(), expected.why);
    }
}

TEST(readers, count_lf_cr_lf_and_a_lone_cr_as_line_ends) {
    // Each failure at line 4 column 3 with LF line ends, then as CR LF and CR.
    const struct {
        const char* layout;
        std::string input;
    } cases[] = {
        {"rcp", "2 1\n5\n0 1 1 2\n3 x 0\n"},
        {"sch", "1\t0\t0\t0\n0\t1\t1\t1\t[0]\n1\t1\t1\t2\t[4]\n2\tx\t0\n"},
        {"json",
         "{\"capacities\": [1],\n\"activities\": [\n{\"duration\": 0, \"demands\": [0], \"successors\": []},\n  x]}"},
        {"dzn", "n_res = 1; % a comment\nrc = [ 4 ];\nn_tasks = 2;\nd [ 2, 3 ];\n"},
        {"sm", "PRECEDENCE RELATIONS:\njobnr. #modes #successors successors\n1 1 1 2\n2 x 0\n"},
    };
    // Long inputs cross the readers' buffers with a line end at every place
    // about the buffer's end, amid values and amid blank lines: a CR LF split
    // by a refill is still one.
    std::string padding(70000, '\n');
    for (int line = 0; line < 14000; ++line) padding += "0 0\n";
    for (const auto& sample : cases) {
        for (const std::string_view line_end : {"\n", "\r\n", "\r"}) {
            SCOPED_TRACE(std::string(sample.layout) + (line_end == "\n" ? " LF" : line_end == "\r" ? " CR" : " CR LF"));
            std::string input;
            for (const char c : sample.input) {
                if (c == '\n')
                    input += line_end;
                else
                    input += c;
            }
            instance result;
            const std::string message = read_as(sample.layout, input, result);
            EXPECT_EQ(message.substr(0, 36), "Invalid input at line 4, column 3: e") << message;
        }
    }
    for (const std::string_view line_end : {"\r\n", "\r"}) {
        for (int shift = 0; shift < 6; ++shift) {
            SCOPED_TRACE(shift);
            std::string input = std::string(static_cast<std::size_t>(shift), ' ') + "14002 0\n0 1 1\n" + padding;
            input += "0 x\n";
            std::string text;
            for (const char c : input) {
                if (c == '\n')
                    text += line_end;
                else
                    text += c;
            }
            instance result;
            EXPECT_EQ(read_as("rcp", text, result),
                      "Invalid input at line 84003, column 3: expected the successor count of activity 14002, found "
                      "\"x\", which is not an integer.");
            std::string json = "{\"capacities\": [], \"activities\": [";
            json += std::string(70000, '\n');
            for (int line = 0; line < 14000; ++line)
                json += "\n {\"duration\": 0, \"demands\": [], \"successors\": []},";
            json += "\n x]}";
            std::string json_text(static_cast<std::size_t>(shift), ' ');
            for (const char c : json) {
                if (c == '\n')
                    json_text += line_end;
                else
                    json_text += c;
            }
            EXPECT_EQ(read_as("json", json_text, result).substr(0, 40), "Invalid input at line 84002, column 2: e");
        }
    }
}

TEST(readers, tell_a_tail_that_starts_another_instance) {
    const std::string rcp = "2 0  0 1 2  0 0\n";
    const std::string sch = "0\t0\t0\t0\n0\t1\t1\t1\t[0]\n1\t1\t0\n0\t1\t0\n1\t1\t0\n";
    const std::string sm = data_file("j301_1.sm");
    const struct {
        const char* layout;
        std::string input;
        std::uint64_t count;
        bool another_instance;
        const char* first; // quoted
    } cases[] = {
        {"rcp", rcp, 0, false, ""},
        {"rcp", rcp + rcp, 7, true, "2"},
        {"rcp", rcp + "\n# made by hand\n", 4, false, "#"},
        {"rcp", rcp + "-7", 1, true, "-7"},
        {"rcp", rcp + "-", 1, false, "-"},
        {"sch", sch + sch, 18, true, "0"},
        {"sch", sch + "\t\n\n", 0, false, ""},
        {"sm", sm, 0, false, ""},
        {"sm", sm + sm, 1, true, "file"},
        {"sm", sm + "\n*****\n", 0, false, ""},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(std::string(expected.layout) + " " + std::to_string(expected.count));
        text_cursor cursor{expected.input};
        instance result;
        trailing_tokens trailing;
        ASSERT_FALSE(find_format(expected.layout)->read(text_source(&cursor), result, &trailing));
        if (expected.layout != std::string("sm")) {
            EXPECT_EQ(trailing.count, expected.count);
        }
        EXPECT_EQ(trailing.count != 0, expected.count != 0);
        EXPECT_EQ(trailing.another_instance, expected.another_instance);
        if (expected.count != 0) {
            EXPECT_EQ(trailing.first.found_text(), expected.first);
        }
    }
}

TEST(readers, skip_a_byte_order_mark) {
    // Each sample read the same after a UTF-8 byte-order mark, and a failure on
    // the first line at the same column, as an editor counts it.
    const struct {
        const char* layout;
        std::string good;
        std::string bad;
    } cases[] = {
        {"rcp", "2 0  0 1 2  0 0", "2 x"},
        {"sch", "0\t0\t0\t0\n0\t1\t1\t1\t[0]\n1\t1\t0\n0\t1\t0\n1\t1\t0\n", "0\tx\t0\t0\n"},
        {"sm", data_file("j301_1.sm"), "projects :  x\n"},
        {"json", "{\"capacities\": [], \"activities\": []}", "{\"capacities\": [x]}"},
        {"dzn", "n_res = 0; rc = []; n_tasks = 0; d = []; rr = []; suc = [];", "n_res = x;"},
    };
    const std::string mark = "\xEF\xBB\xBF";
    for (const auto& sample : cases) {
        SCOPED_TRACE(sample.layout);
        instance plain, marked;
        ASSERT_EQ(read_as(sample.layout, sample.good, plain), "");
        ASSERT_EQ(read_as(sample.layout, mark + sample.good, marked), "");
        expect_same(marked, plain);
        EXPECT_EQ(&format_of_content(mark + sample.good), &format_of_content(sample.good));
        const std::string expected = read_as(sample.layout, sample.bad, plain);
        ASSERT_NE(expected, "");
        EXPECT_EQ(read_as(sample.layout, mark + sample.bad, marked), expected);
    }
    // Only at the start of the file.
    instance result;
    EXPECT_NE(read_as("rcp", " " + mark + "2 0  0 1 2  0 0", result), "");
}

TEST(formats, are_told_by_extension_and_by_content) {
    const struct {
        const char* path;
        const char* format; // "" for none
    } extensions[] = {
        {"j301_1.sm", "sm"}, {"J301_1.SM", "sm"}, {"x.Rcp", "rcp"}, {"dir.sm/x.sch", "sch"},  {"x.txt", ""},
        {"x", ""},           {".sm", ""},         {"x.smx", ""},    {"drawn.dot", ""},        {"dir.sm/x", ""},
        {"a/.sm", ""},       {"x.sm.", ""},       {"..", ""},       {"a/b.c/j.json", "json"}, {"x.tar.sm", "sm"},
    };
    for (const auto& expected : extensions) {
        SCOPED_TRACE(expected.path);
        const layout_format* format = format_of_extension(expected.path);
        EXPECT_EQ(format != nullptr ? format->name : "", std::string(expected.format));
    }
    const struct {
        const char* start;
        const char* format;
    } contents[] = {
        {"****************\nfile with basedata : x\n", "sm"},
        {"\r\n  ******\r\n", "sm"},
        {"PRECEDENCE RELATIONS:\njobnr.", "sm"},
        {"30\t4\t0\t0\n0\t1\t3\t1\t2\t3\t[0]\t[0]\t[0]\n", "sch"},
        // What the sch writer writes, before any bracket: its header alone tells it.
        {"3\t0\t0\t0\n0\t1\t0\n1\t1\t0\n2\t1\t0\n3\t1\t1\t4\t[2]\n", "sch"},
        {"-2\t1\t0\t0\r\n5\t", "sch"},
        {"3\t0\t0\t0", "rcp"},       // no line end: cut short, not known to be the header
        {"3 0 0 0\n0 1 0\n", "rcp"}, // blanks, as a Patterson file may have
        {"3\t0\t0\t0\t1\n", "rcp"},  // five numbers
        {"5 2\n10 8\n0 0 0 3 2 3 4\n", "rcp"},
        {"5 2\n10 8\n0 0 0 3 2 3 4\n[", "rcp"}, // a bracket only after the first lines
        {"x [", "rcp"},
        {" \r\n{\"capacities\": []", "json"},
        {"n_res = 4;\nrc = [ 12 ];", "dzn"},
        {"% from the benchmarks\nn_tasks = 30;", "dzn"},
        {"/* data */", "dzn"},
        {"5 = 2", "rcp"},
        {"", "rcp"},
    };
    for (const auto& expected : contents) {
        SCOPED_TRACE(expected.start);
        EXPECT_STREQ(format_of_content(expected.start).name, expected.format);
    }
}

} // namespace
} // namespace converter

namespace converter {
namespace {

// Four activities; arcs 0->1 [0], 0->2 [0], 1->3 [5], 2->1 [-2] (a maximal lag), 2->3 [1].
const char* const lagged_sch = "2\t1\t0\t0\n"
                               "0\t1\t2\t1\t2\t[0]\t[0]\n"
                               "1\t1\t1\t3\t[5]\n"
                               "2\t1\t2\t1\t3\t[-2]\t[1]\n"
                               "3\t1\t0\n"
                               "0\t1\t0\t0\n1\t1\t3\t2\n2\t1\t1\t1\n3\t1\t0\t0\n"
                               "4\n";

TEST(time_lags, go_through_every_layout_that_holds_them) {
    instance source;
    ASSERT_EQ(read_as("sch", lagged_sch, source), "");
    EXPECT_EQ(values(source.lags), (std::vector<std::int32_t>{0, 0, 5, -2, 1}));
    EXPECT_TRUE(source.capacities_line_ended);
    EXPECT_EQ(written_as("sch", source), lagged_sch);
    instance again;
    ASSERT_EQ(read_as("json", written_as("json", source), again), "");
    expect_same(again, source);
    EXPECT_EQ(values(again.lags), values(source.lags));
    // The rcpsp_max data hold no dummies: added again by their rule (the start
    // before each task no arc of a lag of 0 or more leads to, the end after each
    // that no such arc leads from, its lag the duration), they give the same
    // data back.
    const std::string data = written_as("dzn", source);
    ASSERT_EQ(read_as("dzn", data, again), "");
    EXPECT_EQ(values(again.successors), (std::vector<std::int32_t>{1, 2, 3, 1, 3}));
    EXPECT_EQ(values(again.lags), (std::vector<std::int32_t>{0, 0, 3, -2, 1}));
    EXPECT_EQ(written_as("dzn", again), data);
    EXPECT_EQ(written_as("dzn", source), "n_res = 1;\nrcap = [ 4 ];\nn_tasks = 2;\ndur =  [ 3, 1 ];\nrr = [| 2, 1 |];\n"
                                         "dcons = [| 2, -2, 1\n         |];\nn_dc = 1;\n");
    // The drawing labels each lag other than the duration, a maximal one dashed.
    const std::string drawing = written_as("dot", source);
    EXPECT_NE(drawing.find("  2 -> 4 [label=\"5\"];\n"), std::string::npos) << drawing;
    EXPECT_NE(drawing.find("  3 -> 2 [label=\"-2\", style=dashed];\n  3 -> 4;\n"), std::string::npos) << drawing;
    // Lags that are the durations are no lags: the instance holds none.
    instance plain;
    ASSERT_EQ(read_as("json",
                      "{\"capacities\": [], \"activities\": [{\"duration\": 2, \"demands\": [], \"successors\": [1], "
                      "\"lags\": [2]}, {\"duration\": 0, \"demands\": [], \"successors\": []}]}",
                      plain),
              "");
    EXPECT_TRUE(plain.lags.empty());
}

TEST(time_lags, are_refused_where_a_layout_holds_none) {
    instance source;
    ASSERT_EQ(read_as("sch", lagged_sch, source), "");
    const struct {
        const char* layout;
        const char* why;
    } cases[] = {
        {"rcp", "activity 2 \xe2\x86\x92 4 has the time lag 5; the rcp layout holds only lags equal to the durations"},
        {"sm", "activity 2 \xe2\x86\x92 4 has the time lag 5; the sm layout holds only lags equal to the durations"},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.layout);
        message_text why;
        EXPECT_FALSE(find_format(expected.layout)->can_hold(source, activity_naming{}, why));
        EXPECT_EQ(why.view(), expected.why);
    }
    instance result;
    EXPECT_EQ(read_as("json",
                      "{\"capacities\": [], \"activities\": [{\"duration\": 0, \"demands\": [], \"successors\": [1], "
                      "\"lags\": [1, 2]}, {\"duration\": 0, \"demands\": [], \"successors\": []}]}",
                      result),
              "Invalid input at line 1, column 93: expected the lags of activity 0, one for each of its 1 successor, "
              "found \"[\", an array of another length.");
    EXPECT_EQ(read_as("dzn",
                      "n_res = 0;\nrcap = [];\nn_tasks = 1;\ndur = [ 1 ];\nrr = [];\ndcons = [| 1, 0, 2 |];\n"
                      "n_dc = 1;\n",
                      result),
              "Invalid input at line 6, column 9: expected arcs between tasks 1..1 in dcons, found \"[\", an array "
              "holding others.");
}

} // namespace
} // namespace converter

namespace converter {
namespace {

TEST(sm_reader, keeps_psplib_header_values_for_the_writer) {
    const std::string file = data_file("j301_1.sm");
    instance source;
    ASSERT_EQ(read_as("sm", file, source), "");
    EXPECT_EQ(source.header.basedata, std::optional<std::string>("j30_17.bas"));
    EXPECT_EQ(source.header.seed, std::optional<std::int64_t>(28123));
    EXPECT_EQ(source.header.horizon, std::optional<std::int64_t>(158));
    EXPECT_EQ(source.header.tardiness_cost, std::optional<std::int64_t>(26));
    EXPECT_EQ(written_as("sm", source), file);
    // A damaged header value is refused at its place, as every other value:
    // the writer would otherwise put another in its stead.
    const struct {
        const char* from;
        const char* to;
        const char* message;
    } damaged[] = {
        {":  158", ": x158",
         "Invalid input at line 7, column 33: expected the horizon, found \"x158\", which is not an integer."},
        {": 28123", ": 28123 28123",
         "Invalid input at line 3, column 39: expected the initial value of the random generator, found \"28123\", "
         "after "
         "the value: one number on the line."},
        {": 28123", ": 28123x",
         "Invalid input at line 3, column 33: expected the initial value of the random generator, found \"28123x\", "
         "which is not an integer."},
        {"       26       38", "       26  99999999999999999999",
         "Invalid input at line 15, column 40: expected the project's MPM time, found \"99999999999999999999\", which "
         "is outside the signed 64-bit range."},
        {"       26       38", "  9999999999       38",
         "Invalid input at line 15, column 31: expected the project's tardiness cost, found \"9999999999\", which is "
         "outside the signed 32-bit range."},
        {"       26       38", "       26",
         "Invalid input at line 15, column 38: expected the project's MPM time, found the end of the line."},
        {"       26       38", "       26       38  1",
         "Invalid input at line 15, column 49: expected the end of the project's row, found \"1\", after its six "
         "values."},
    };
    for (const auto& expected : damaged) {
        SCOPED_TRACE(expected.to);
        std::string odd = file;
        odd.replace(odd.find(expected.from), std::strlen(expected.from), expected.to);
        EXPECT_EQ(read_as("sm", odd, source), expected.message);
    }
    // The horizon, the due date and the MPM time, which the writer derives
    // from the durations when it has none, are kept within 64 bits, through
    // JSON too.
    std::string wide = file;
    wide.replace(wide.find(":  158"), 6, ":  3233857728");
    wide.replace(wide.find("       38       26       38"), 27, " 3233857728       26 3233857728");
    ASSERT_EQ(read_as("sm", wide, source), "");
    EXPECT_EQ(written_as("sm", source), wide);
    instance through_json;
    ASSERT_EQ(read_as("json", written_as("json", source), through_json), "");
    EXPECT_EQ(written_as("sm", through_json), wide);
    // A JSON text written from it carries them back.
    instance again;
    ASSERT_EQ(read_as("sm", file, source), "");
    ASSERT_EQ(read_as("json", written_as("json", source), again), "");
    EXPECT_EQ(written_as("sm", again), file);
    EXPECT_NE(
        read_as("json", "{\"psplib\": {\"seed\": 1, \"seed\": 2}, \"capacities\": [], \"activities\": []}", again), "");
    // Escapes of characters beyond ASCII are the characters, in UTF-8.
    ASSERT_EQ(
        read_as("json",
                "{\"psplib\": {\"basedata\": \"caf\\u00e9 \\ud83d\\ude00\"}, \"capacities\": [], \"activities\": []}",
                again),
        "");
    EXPECT_EQ(again.header.basedata, std::optional<std::string>("caf\xc3\xa9 \xf0\x9f\x98\x80"));
}

} // namespace
} // namespace converter
