#include "instance/instance.h"
#include "instance/messages.h"
#include "layouts/rcp_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace converter {
namespace {

using values = std::vector<std::int32_t>;

values all(const int_store& store) { return values(store.begin(), store.end()); }

std::string message_for(std::string_view input) {
    instance result;
    const read_failure failure = read_instance(input, result);
    if (!failure) return "accepted";
    return std::string(describe(failure).view());
}

// Writes `text` to an anonymous temporary file, rewound.
std::FILE* temporary_file(const std::string& text) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return nullptr;
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    return file;
}

struct valid_case {
    const char* name;
    std::string input;
    std::int32_t activity_count;
    std::int32_t resource_count;
    values capacities, durations, demands, successor_counts, successors;
};

TEST(read_instance, accepts_valid_instances) {
    // clang-format off
    const valid_case cases[] = {
        {"first reference, one line", "5 2 10 8 0 0 0 3 2 3 4 3 4 2 1 5 2 3 5 1 5 4 1 1 1 5 0 0 0 0", 5, 2,
         {10, 8}, {0, 3, 2, 4, 0}, {0, 0, 4, 2, 3, 5, 1, 1, 0, 0}, {3, 1, 1, 1, 0}, {1, 2, 3, 4, 4, 4}},
        {"first reference, CR LF, tabs and padding",
         "\r\n  5\t2\r\n10\t8\r\n\r\n0 0 0 3 2\r\n 3 4\r\n3 4 2 1 5\r\n2 3 5 1 5\r\n4 1 1 1 5\r\n0 0 0 0\r\n", 5, 2,
         {10, 8}, {0, 3, 2, 4, 0}, {0, 0, 4, 2, 3, 5, 1, 1, 0, 0}, {3, 1, 1, 1, 0}, {1, 2, 3, 4, 4, 4}},
        {"second reference, R = 0", "3 0\n7 2 2 3\n5 1 3\n6 0\n", 3, 0, {}, {7, 5, 6}, {}, {2, 1, 0}, {1, 2, 2}},
        {"N = 0 reads only capacities", "0 2 5 6 99", 0, 2, {5, 6}, {}, {}, {}, {}},
        {"N = 0 and R = 0", "0 0", 0, 0, {}, {}, {}, {}, {}},
        {"negative N reads no records", "-3 1 4 1 2 3", -3, 1, {4}, {}, {}, {}, {}},
        {"most negative N", "-2147483648 -2147483648", -2147483648, -2147483648, {}, {}, {}, {}, {}},
        {"N = 2", "2 1 9 0 0 1 2 0 0 0", 2, 1, {9}, {0, 0}, {0, 0}, {1, 0}, {1}},
        {"negative successor count reads nothing more", "2 0 5 -3 7 0", 2, 0, {}, {5, 7}, {}, {-3, 0}, {}},
        {"successor 0 and successors above N", "2 0 1 2 0 9 1 0", 2, 0, {}, {1, 1}, {}, {2, 0}, {-1, 8}},
        {"values after the last record are never read", "1 0 4 0 junk 3.5 -", 1, 0, {}, {4}, {}, {0}, {}},
        {"signs and leading zeros", "+0002 0 007 0 -0 +0", 2, 0, {}, {7, 0}, {}, {0, 0}, {}},
        {"leading zeros beyond ten digits", "1 0 -000000000000000000000000002147483648 0", 1, 0, {}, {-2147483648},
         {}, {0}, {}},
        {"extreme values", "2 1 2147483647 -2147483648 5 1 2147483647 0 0 0", 2, 1, {2147483647},
         {-2147483648, 0}, {5, 0}, {1, 0}, {2147483646}},
        {"most negative successor that fits", "1 0 0 1 -2147483647", 1, 0, {}, {0}, {}, {1}, {-2147483648}},
        {"every kind of white space", "1\v0\f3\t1\r1", 1, 0, {}, {3}, {}, {1}, {0}},
        {"successor total equal to N x N", "1 0 0 1 1", 1, 0, {}, {0}, {}, {1}, {0}},
        {"numbers of every length", "2 2 1 12 123 1234 12345 4 123456 1234567 12345678 123456789 1234567890 -1 -12 0",
         2, 2, {1, 12}, {123, 1234567890}, {1234, 12345, -1, -12}, {4, 0}, {123455, 1234566, 12345677, 123456788}},
        {"signed numbers of every length",
         "2 2 -1 +12 -123 +1234 -12345 +4 -1234567 +7654321 -12345678 +123456789 -99999999 +0 -0 -0", 2, 2, {-1, 12},
         {-123, -99999999}, {1234, -12345, 0, 0}, {4, 0}, {-1234568, 7654320, -12345679, 123456788}},
        {"last value at the very end, no line end", "1 0 5 1 12345678", 1, 0, {}, {5}, {}, {1}, {12345677}},
    };
    // clang-format on
    for (const valid_case& expected : cases) {
        SCOPED_TRACE(expected.name);
        instance result;
        const read_failure failure = read_instance(expected.input, result);
        ASSERT_FALSE(failure) << describe(failure).view();
        EXPECT_EQ(result.activity_count, expected.activity_count);
        EXPECT_EQ(result.resource_count, expected.resource_count);
        EXPECT_EQ(all(result.capacities), expected.capacities);
        EXPECT_EQ(all(result.durations), expected.durations);
        EXPECT_EQ(all(result.demands), expected.demands);
        EXPECT_EQ(all(result.successor_counts), expected.successor_counts);
        EXPECT_EQ(all(result.successors), expected.successors);
    }
}

TEST(read_instance, reports_bad_input_with_place_expectation_and_finding) {
    // clang-format off
    const struct {
        std::string input;
        std::string message;
    } cases[] = {
        {"", "Invalid input at line 1, column 1: expected the activity count, found the end of the file."},
        {"  \r\n\t", "Invalid input at line 2, column 2: expected the activity count, found the end of the file."},
        {"5", "Invalid input at line 1, column 2: expected the resource count, found the end of the file."},
        {"3.5 1", "Invalid input at line 1, column 1: expected the activity count, found \"3.5\", which is not an "
                  "integer."},
        {"2 1\n4\n1 12abc",
         "Invalid input at line 3, column 3: expected the demand of activity 1 for resource 1, found \"12abc\", "
         "which is not an integer."},
        {"1 -", "Invalid input at line 1, column 3: expected the resource count, found \"-\", which is not an "
                "integer."},
        {"1 0 +", "Invalid input at line 1, column 5: expected the duration of activity 1, found \"+\", which is "
                  "not an integer."},
        {"1 0 --1", "Invalid input at line 1, column 5: expected the duration of activity 1, found \"--1\", which "
                    "is not an integer."},
        {"1 0 1- 0", "Invalid input at line 1, column 5: expected the duration of activity 1, found \"1-\", which "
                     "is not an integer."},
        {"2 3 1 2 x", "Invalid input at line 1, column 9: expected the capacity of resource 3, found \"x\", which "
                      "is not an integer."},
        {"1 0 1\x01 0", "Invalid input at line 1, column 5: expected the duration of activity 1, found "
                        "\"1\\x01\", which is not an integer."},
        {"1 0 \"5\"", "Invalid input at line 1, column 5: expected the duration of activity 1, found "
                      "\"\\\"5\\\"\", which is not an integer."},
        {std::string("1 0 7\0 0", 8), "Invalid input at line 1, column 5: expected the duration of activity 1, "
                                      "found \"7\\x00\", which is not an integer."},
        {"1 0 12/ 0", "Invalid input at line 1, column 5: expected the duration of activity 1, found \"12/\", which "
                      "is not an integer."},
        {"1 0 12: 0", "Invalid input at line 1, column 5: expected the duration of activity 1, found \"12:\", which "
                      "is not an integer."},
        {"1 0 1234567\xff 0", "Invalid input at line 1, column 5: expected the duration of activity 1, found "
                              "\"1234567\\xff\", which is not an integer."},
        {"1 0 -12345678x 0", "Invalid input at line 1, column 5: expected the duration of activity 1, found "
                             "\"-12345678x\", which is not an integer."},
        {"1 0 -+1 0", "Invalid input at line 1, column 5: expected the duration of activity 1, found \"-+1\", which "
                      "is not an integer."},
        {"2147483648 0", "Invalid input at line 1, column 1: expected the activity count, found \"2147483648\", "
                         "which is outside the signed 32-bit range."},
        {"1 0 -2147483649 0", "Invalid input at line 1, column 5: expected the duration of activity 1, found "
                              "\"-2147483649\", which is outside the signed 32-bit range."},
        {"1 0 0 99999999999999999999999",
         "Invalid input at line 1, column 7: expected the successor count of activity 1, found "
         "\"99999999999999999999999\", which is outside the signed 32-bit range."},
        {"3 0\n0 1 2\n0 2 3 -2147483648",
         "Invalid input at line 3, column 7: expected successor 2 of activity 2, found \"-2147483648\", whose "
         "0-based number is outside the signed 32-bit range."},
        {"2 0 0 3 1 2 2 0 2 1 1",
         "Invalid input at line 1, column 17: expected the successor count of activity 2, found \"2\", which "
         "brings the successor total to 5, more than 4 (the activity count squared)."},
        {"1 0 5 2 1 1", "Invalid input at line 1, column 7: expected the successor count of activity 1, found "
                        "\"2\", which brings the successor total to 2, more than 1 (the activity count squared)."},
        // Failures that judge a value quote its token as written.
        {"1 0 5 +0002 1 1", "Invalid input at line 1, column 7: expected the successor count of activity 1, found "
                            "\"+0002\", which brings the successor total to 2, more than 1 (the activity count "
                            "squared)."},
        {"1 0 5 " + std::string(45, '0') + "2 1 1",
         "Invalid input at line 1, column 7: expected the successor count of activity 1, found \"" +
             std::string(40, '0') + "...\", which brings the successor total to 2, more than 1 (the activity count "
                                    "squared)."},
        {"1 0 5 +1 -0002147483648", "Invalid input at line 1, column 10: expected successor 1 of activity 1, found "
                                    "\"-0002147483648\", whose 0-based number is outside the signed 32-bit range."},
        {"2 0 5 2 1\n\t-2147483648", "Invalid input at line 2, column 2: expected successor 2 of activity 1, found "
                                    "\"-2147483648\", whose 0-based number is outside the signed 32-bit range."},
        // A token is judged by the 40 bytes a message quotes once they settle it.
        {"1 0 " + std::string(50, '1') + "x", "Invalid input at line 1, column 5: expected the duration of activity 1, "
                                             "found \"" + std::string(40, '1') + "...\", which is outside the signed "
                                             "32-bit range."},
        {"1 0 " + std::string(39, '1') + "x1", "Invalid input at line 1, column 5: expected the duration of activity 1, "
                                              "found \"" + std::string(39, '1') + "x...\", which is not an integer."},
        {"1 0 " + std::string(45, '0') + "1234567890x", "Invalid input at line 1, column 5: expected the duration of "
                                                      "activity 1, found \"" + std::string(40, '0') + "...\", which "
                                                      "is not an integer."},
        {"5 2\n10 8\n0 0 0 3 2 3 4\n3 4 2 1",
         "Invalid input at line 4, column 8: expected successor 1 of activity 2, found the end of the file."},
        {"5 2\n10 8\n0 0 0 3 2 3 4\n3 4 2\r\n",
         "Invalid input at line 5, column 1: expected the successor count of activity 2, found the end of the "
         "file."},
        {"2000000000 3 1 1 1",
         "Invalid input at line 1, column 19: expected the duration of activity 1, found the end of the file."},
        {"1 0 " + std::string(50, 'x'),
         "Invalid input at line 1, column 5: expected the duration of activity 1, found \"" + std::string(40, 'x') +
             "...\", which is not an integer."},
    };
    // clang-format on
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.input);
        EXPECT_EQ(message_for(expected.input), expected.message);
    }
}

TEST(read_instance, reports_an_empty_view_without_data) {
    instance result;
    const read_failure failure = read_instance(std::string_view{}, result);
    EXPECT_EQ(describe(failure).view(),
              "Invalid input at line 1, column 1: expected the activity count, found the end of the file.");
}

TEST(describe, words_failures_that_have_no_place) {
    read_failure failure;
    failure.what = read_failure::kind::out_of_memory;
    EXPECT_EQ(describe(failure).view(), "Not enough memory for the instance.");
    EXPECT_FALSE(failure.has_offset());
}

// Memory follows the values the input holds, not the counts its header claims,
// however much blank space follows the header.
TEST(read_instance, reserves_no_more_than_the_values_read) {
    for (const std::string& input :
         {std::string("2000000000 2000000000 1 1 1"), "2000000000 0" + std::string(1 << 20, ' '),
          "100000 0 1 2000000000 1 1 1 " + std::string(1 << 20, '\n')}) {
        SCOPED_TRACE(input.substr(0, 30));
        instance result;
        const read_failure failure = read_instance(input, result);
        EXPECT_EQ(failure.what, read_failure::kind::end_of_file);
        for (const int_store* store :
             {&result.capacities, &result.durations, &result.demands, &result.successor_counts, &result.successors})
            EXPECT_LE(store->capacity(), 4096u);
    }
}

// The reader takes its input in chunks of 64 KiB; every token must read the same
// wherever a chunk boundary cuts it, from a string and from a file.
TEST(read_instance, reads_tokens_cut_by_chunk_boundaries) {
    const std::string records = "2 0 -2147483648 1 2 0000000000000000000000000000000000000000000007 0";
    for (std::size_t shift = 0; shift < 80; ++shift) {
        SCOPED_TRACE(shift);
        const std::string input = std::string((std::size_t{1} << 16) - shift, '\n') + records;
        instance from_text;
        ASSERT_FALSE(read_instance(input, from_text));
        EXPECT_EQ(all(from_text.durations), (values{-2147483648, 7}));
        EXPECT_EQ(all(from_text.successors), (values{1}));

        std::FILE* file = temporary_file(input);
        ASSERT_NE(file, nullptr);
        instance from_file;
        EXPECT_FALSE(read_instance(file, from_file));
        EXPECT_EQ(all(from_file.durations), all(from_text.durations));
        std::fclose(file);

        const std::string bad = input.substr(0, input.size() - 1) + "x";
        const std::string expected = "Invalid input at line " + std::to_string((1 << 16) - shift + 1) +
                                     ", column 68: expected the successor count of activity 2, found \"x\", which "
                                     "is not an integer.";
        EXPECT_EQ(message_for(bad), expected);
    }
}

// An instance of several chunks whose values take every form the reader has a
// path for: short and long numbers, signs, leading zeros, assorted white space.
TEST(read_instance, reads_many_chunks_of_mixed_values) {
    std::uint64_t state = 12345;
    const auto random_below = [&state](std::uint64_t bound) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return (state >> 33) % bound;
    };
    const char* const separators[] = {" ", "\t", "\r\n", "\n", "   ", " \r\n\t"};
    std::string input;
    const auto put = [&](std::int64_t number) {
        std::string text = std::to_string(number < 0 ? -number : number);
        if (random_below(16) == 0) text.insert(0, random_below(30), '0');
        if (number < 0)
            text.insert(0, "-");
        else if (random_below(32) == 0)
            text.insert(0, "+");
        input += text;
        input += separators[random_below(6)];
    };
    const auto random_value = [&]() -> std::int64_t {
        const std::int64_t magnitude = static_cast<std::int64_t>(random_below(std::uint64_t{1} << (random_below(32))));
        return random_below(4) == 0 ? -magnitude : magnitude;
    };
    const int activities = 20000;
    values demands, successor_counts, successors;
    put(activities);
    put(2);
    put(7);
    put(9);
    for (int activity = 0; activity < activities; ++activity) {
        put(activity);
        for (int resource = 0; resource < 2; ++resource) {
            demands.push_back(static_cast<std::int32_t>(random_value()));
            put(demands.back());
        }
        successor_counts.push_back(static_cast<std::int32_t>(random_below(12)) - 2);
        put(successor_counts.back());
        for (int successor = 0; successor < successor_counts.back(); ++successor) {
            const std::int64_t number = random_value();
            successors.push_back(static_cast<std::int32_t>(number - 1));
            put(number);
        }
    }
    ASSERT_GT(input.size(), std::size_t{4} << 16);
    instance result;
    ASSERT_FALSE(read_instance(input, result));
    EXPECT_EQ(all(result.capacities), (values{7, 9}));
    EXPECT_EQ(all(result.demands), demands);
    EXPECT_EQ(all(result.successor_counts), successor_counts);
    EXPECT_EQ(all(result.successors), successors);
    ASSERT_EQ(result.durations.size(), std::size_t{activities});
    EXPECT_EQ(result.durations[activities - 1], activities - 1);
}

// Line ends counted over many chunks, as a failure far into the file is placed:
// runs of one kind of line end, and every kind mixed in one run.
TEST(read_instance, places_a_failure_after_chunks_of_every_kind_of_line_end) {
    const struct {
        const char* name;
        std::vector<const char*> runs; // each run's line end, 70,000 lines a run
    } cases[] = {
        {"LF", {"\n"}},
        {"CR LF", {"\r\n"}},
        {"lone CR", {"\r"}},
        {"LF, then CR, then CR LF, then LF", {"\n", "\r", "\r\n", "\n"}},
        {"mixed in every line", {"\n\r\n\r"}},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        const int lines_per_run = 70000;
        const auto activities = static_cast<int>(expected.runs.size()) * lines_per_run;
        std::string input = std::to_string(activities + 1) + " 0\n";
        std::size_t line = 2;
        for (const char* line_end : expected.runs) {
            for (int activity = 0; activity < lines_per_run; ++activity) input += std::string("1 0") + line_end;
            // A CR followed by an LF is one line end, any other CR or LF one too.
            for (const char* end = line_end; *end != '\0'; ++end)
                if (*end == '\n' || end[1] != '\n') line += lines_per_run;
        }
        input += "  x 0\n";
        ASSERT_GT(input.size(), std::size_t{4} << 16);
        instance result;
        const read_failure failure = read_instance(input, result);
        ASSERT_EQ(failure.what, read_failure::kind::not_an_integer);
        EXPECT_EQ(failure.position().line, line);
        EXPECT_EQ(failure.position().column, 3u);
    }
}

TEST(read_instance, reads_tokens_longer_than_a_chunk) {
    const std::string zeros(200000, '0');
    instance result;
    ASSERT_FALSE(read_instance("1 0 " + zeros + "5 0", result));
    EXPECT_EQ(all(result.durations), (values{5}));

    EXPECT_EQ(message_for("1 0 " + zeros + "x 0"),
              "Invalid input at line 1, column 5: expected the duration of activity 1, found \"" +
                  std::string(40, '0') + "...\", which is not an integer.");
    EXPECT_EQ(message_for("1 0 " + zeros + "12345678901 0"),
              "Invalid input at line 1, column 5: expected the duration of activity 1, found \"" +
                  std::string(40, '0') + "...\", which is outside the signed 32-bit range.");
}

TEST(read_instance, file_and_text_agree_on_instance_and_position) {
    const std::string input = "5 2\r\n10 8\r\n0 0 0 3 2 3 4\r\n3 4 2 1 5\r\n2 3 5 1 5\r\n4 1 1 1 5\r\n0 0 0";
    std::FILE* file = temporary_file(input);
    ASSERT_NE(file, nullptr);
    instance from_file;
    const read_failure failure = read_instance(file, from_file);
    ASSERT_EQ(failure.what, read_failure::kind::end_of_file);
    EXPECT_EQ(failure.offset, input.size());
    const text_position position = failure.position();
    EXPECT_EQ(position.line, 7u);
    EXPECT_EQ(position.column, 6u);
    EXPECT_EQ(all(from_file.demands), (values{0, 0, 4, 2, 3, 5, 1, 1, 0, 0}));
    std::fclose(file);
}

#ifndef _WIN32
TEST(read_instance, reports_a_stream_that_cannot_be_read) {
    std::FILE* write_only = std::fopen("/dev/null", "w");
    ASSERT_NE(write_only, nullptr);
    instance result;
    const read_failure failure = read_instance(write_only, result);
    EXPECT_EQ(failure.what, read_failure::kind::read_error);
    EXPECT_EQ(describe(failure).view(), "Reading the input file failed: Bad file descriptor.");
    std::fclose(write_only);
}
#endif

TEST(int_store, grows_past_its_reservation_and_moves) {
    int_store store;
    ASSERT_TRUE(store.reserve(3));
    for (std::int32_t value = 0; value < 5000; ++value) ASSERT_TRUE(store.push_back(value));
    int_store moved(std::move(store));
    EXPECT_TRUE(store.empty());
    ASSERT_EQ(moved.size(), 5000u);
    EXPECT_EQ(moved[4999], 4999);
    moved.release();
    EXPECT_EQ(moved.capacity(), 0u);
}

} // namespace
} // namespace converter
