#include "instance/messages.h"
#include "layouts/output_buffer.h"
#include "layouts/rcp_reader.h"
#include "layouts/sch_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace converter {
namespace {

std::string file_text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string converted(std::string_view input) {
    instance source;
    const read_failure failure = read_instance(input, source);
    if (failure) return "rejected: " + std::string(describe(failure).view());
    std::string output;
    write_converted(output, source);
    return output;
}

// Writes through a real stream and reads back what reached the file.
std::string converted_through_file(std::string_view input) {
    instance source;
    if (read_instance(input, source)) return "rejected";
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return "no temporary file";
    const write_failure failure = write_converted(file, source);
    std::string output;
    std::rewind(file);
    char chunk[4096];
    for (std::size_t count; (count = std::fread(chunk, 1, sizeof chunk, file)) != 0;) output.append(chunk, count);
    std::fclose(file);
    return failure ? "failed" : output;
}

TEST(write_converted, matches_the_golden_files) {
    for (const char* name : {"reference_1", "reference_2", "a001", "b0001", "c001"}) {
        SCOPED_TRACE(name);
        const std::string base = std::string(CONVERTER_TEST_DATA) + "/" + name;
        const std::string input = file_text(base + ".txt");
        ASSERT_FALSE(input.empty());
        EXPECT_EQ(converted(input), file_text(base + ".expected"));
    }
}

TEST(write_converted, writes_edge_cases_exactly) {
    // clang-format off
    const struct {
        const char* name;
        const char* input;
        const char* output;
    } cases[] = {
        {"N = 0: capacities follow the header", "0 2 5 6", "-2\t2\t0\t0\n5\t6\t"},
        {"N = 0 and R = 0", "0 0", "-2\t0\t0\t0\n"},
        {"most negative N", "-2147483648 1 3", "-2147483650\t1\t0\t0\n3\t"},
        {"negative R writes no demands and no capacities", "1 -4 9 0", "-1\t-4\t0\t0\n0\t1\t0\n0\t1\t9\n"},
        {"N = 2", "2 1 9 0 0 1 2 0 0 0", "0\t1\t0\t0\n0\t1\t1\t1\t[0]\n1\t1\t0\n0\t1\t0\t0\n1\t1\t0\t0\n9\t"},
        {"negative successor count", "2 0 5 -3 7 0", "0\t0\t0\t0\n0\t1\t-3\n1\t1\t0\n0\t1\t5\n1\t1\t7\n"},
        {"successor 0 and above N", "2 0 4 2 0 9 1 0",
         "0\t0\t0\t0\n0\t1\t2\t-1\t8\t[4]\t[4]\n1\t1\t0\n0\t1\t4\n1\t1\t1\n"},
        {"extreme values", "1 1 -2147483648 2147483647 -2147483648 1 -2147483647",
         "-1\t1\t0\t0\n0\t1\t1\t-2147483648\t[2147483647]\n0\t1\t2147483647\t-2147483648\n-2147483648\t"},
        {"numbers of every length", "0 20 0 7 10 99 100 999 1000 9999 10000 99999 100000 999999 1000000 9999999 "
         "10000000 99999999 100000000 999999999 1000000000 2147483647",
         "-2\t20\t0\t0\n0\t7\t10\t99\t100\t999\t1000\t9999\t10000\t99999\t100000\t999999\t1000000\t"
         "9999999\t10000000\t99999999\t100000000\t999999999\t1000000000\t2147483647\t"},
        {"negative numbers of every length", "0 10 -1 -12 -123 -1234 -12345 -123456 -1234567 -12345678 -123456789 "
         "-1234567890",
         "-2\t10\t0\t0\n-1\t-12\t-123\t-1234\t-12345\t-123456\t-1234567\t-12345678\t-123456789\t"
         "-1234567890\t"},
        {"negative durations in lags", "2 0 -12 1 2 0 0", "0\t0\t0\t0\n0\t1\t1\t1\t[-12]\n1\t1\t0\n0\t1\t-12\n1\t1\t0\n"},
    };
    // clang-format on
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(converted(expected.input), expected.output);
    }
}

// Every digit count, both signs and the ends of the range, as values read and
// written again, and line numbers past each power of ten.
TEST(write_converted, writes_numbers_of_every_length_exactly) {
    std::vector<long long> values = {0, -1, 2147483646, 2147483647, -2147483647 - 1};
    for (long long power = 1; power <= 1000000000; power *= 10)
        for (const long long value : {power - 1, power, power + 1, 2 * power - 1, 9 * power + power / 2})
            if (value <= 2147483647) {
                values.push_back(value);
                values.push_back(-value);
            }
    for (const long long value : values) {
        SCOPED_TRACE(value);
        EXPECT_EQ(printed_length(value), std::to_string(value).size());
    }
    const auto activities = static_cast<int>(values.size() > 1002 ? values.size() : 1002);
    std::string input = std::to_string(activities) + " 1 12\n";
    std::string successors_section;
    std::string durations_section;
    for (int activity = 0; activity < activities; ++activity) {
        const std::string value = std::to_string(values[static_cast<std::size_t>(activity) % values.size()]);
        const std::string demand = std::to_string(values[static_cast<std::size_t>(activity * 7) % values.size()]);
        const bool last = activity + 1 == activities;
        input += value + " " + demand + (last ? " 0\n" : " 1 " + std::to_string(activity + 2) + "\n");
        successors_section += std::to_string(activity) + "\t1\t" +
                              (last ? "0" : "1\t" + std::to_string(activity + 1) + "\t[" + value + "]") + "\n";
        durations_section += std::to_string(activity) + "\t1\t" + value + "\t" + demand + "\n";
    }
    EXPECT_EQ(converted(input),
              std::to_string(activities - 2) + "\t1\t0\t0\n" + successors_section + durations_section + "12\t");
}

// Lines far longer than the writer's buffer, and an output of several buffers.
TEST(write_converted, writes_large_instances_the_same_to_a_file_and_to_memory) {
    const int activities = 3000;
    std::string input = std::to_string(activities) + " 3 5 6 7\n";
    std::string expected_first_line = "0\t1\t" + std::to_string(activities - 1);
    std::string lags;
    for (int activity = 1; activity <= activities; ++activity) {
        input += std::to_string(-activity * 1000) + " 1 -2 3 ";
        if (activity == 1) {
            input += std::to_string(activities - 1);
            for (int successor = 2; successor <= activities; ++successor) {
                input += " " + std::to_string(successor);
                expected_first_line += "\t" + std::to_string(successor - 1);
                lags += "\t[-1000]";
            }
            input += "\n";
        } else {
            input += "0\n";
        }
    }
    const std::string output = converted(input);
    EXPECT_EQ(output.substr(0, output.find('\n', output.find('\n') + 1) + 1),
              std::to_string(activities - 2) + "\t3\t0\t0\n" + expected_first_line + lags + "\n");
    EXPECT_NE(output.find("\n2999\t1\t-3000000\t1\t-2\t3\n5\t6\t7\t"), std::string::npos);
    EXPECT_EQ(converted_through_file(input), output);
}

#ifndef _WIN32
TEST(write_converted, reports_a_full_device) {
    instance source;
    ASSERT_FALSE(read_instance("3 0 7 2 2 3 5 1 3 6 0", source));
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(write_converted(full, source).system_error, ENOSPC);
    std::fclose(full);
}
#endif

} // namespace
} // namespace converter
