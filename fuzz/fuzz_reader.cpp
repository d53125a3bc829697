// Fuzz target: arbitrary bytes through the reader and, when it accepts them, the
// writer. Checks what can be checked without a second implementation:
// - a rejected input is placed inside the input or just past its end, and its
//   message is a sentence;
// - the reader gives the same result from a string and from a stream;
// - an accepted input's output, read back by the small reader below (which shares
//   no code with the library), gives back the same instance;
// - the readers of the other layouts take the same bytes without a crash, and
//   place what they reject inside the input;
// - every instance read, and one built from the bytes directly, goes through
//   every layout that can hold it: written, read back, the same instance, and
//   written again, the same bytes;
// - every instance read or built is checked and measured: each finding's level
//   agrees with its words, and the searches stop at their budgets;
// - the bytes as a line of a bundle get a name that is a relative path inside
//   the output directory, never hidden, without control characters, in UTF-8.
// Built with -fsanitize=fuzzer for libFuzzer, or with replay_main.cpp to replay a
// corpus in the ordinary test run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#if defined(__linux__)
#include <unistd.h>
#endif

#include "analysis/instance_stats.h"
#include "analysis/schedule_check.h"
#include "analysis/validation.h"
#include "drawing/schedule_svg.h"
#include "files/archive_reader.h"
#include "files/json_lines.h"
#include "instance/instance.h"
#include "instance/messages.h"
#include "instance/utf8.h"
#include "layouts/formats.h"
#include "layouts/rcp_reader.h"
#include "layouts/sch_writer.h"
#include "layouts/schedule_reader.h"

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

long long number(std::string_view field) {
    check(!field.empty(), "empty field");
    const std::string text(field);
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    check(*end == '\0', "field is not a number");
    check(std::to_string(value) == text, "number not in plain decimal");
    return value;
}

struct read_back {
    long long activity_count = 0, resource_count = 0;
    std::vector<long long> capacities, durations, demands, successor_counts, successors;
};

// Reads the output layout back, checking its structure on the way.
read_back parse_output(std::string_view output) {
    read_back result;
    const std::vector<std::string_view> lines = split(output, '\n');
    std::size_t line = 0;
    const std::vector<std::string_view> header = split(lines.at(line++), '\t');
    check(header.size() == 4 && header[2] == "0" && header[3] == "0", "header");
    result.activity_count = number(header[0]) + 2;
    result.resource_count = number(header[1]);
    const long long activities = result.activity_count > 0 ? result.activity_count : 0;
    const long long resources = result.resource_count > 0 ? result.resource_count : 0;
    for (long long activity = 0; activity < activities; ++activity) {
        const std::vector<std::string_view> fields = split(lines.at(line++), '\t');
        check(fields.size() >= 3 && number(fields[0]) == activity && fields[1] == "1", "precedence line start");
        const long long count = number(fields[2]);
        result.successor_counts.push_back(count);
        const std::size_t listed = count > 0 ? static_cast<std::size_t>(count) : 0;
        check(fields.size() == 3 + 2 * listed, "precedence line length");
        for (std::size_t index = 0; index < listed; ++index) result.successors.push_back(number(fields[3 + index]));
        for (std::size_t index = 0; index < listed; ++index) {
            const std::string_view lag = fields[3 + listed + index];
            check(lag.size() >= 3 && lag.front() == '[' && lag.back() == ']', "lag brackets");
            check(lag == fields[3 + listed], "lags differ within a line");
        }
    }
    for (long long activity = 0; activity < activities; ++activity) {
        const std::vector<std::string_view> fields = split(lines.at(line++), '\t');
        check(fields.size() == 3 + static_cast<std::size_t>(resources), "duration line length");
        check(number(fields[0]) == activity && fields[1] == "1", "duration line start");
        result.durations.push_back(number(fields[2]));
        for (long long resource = 0; resource < resources; ++resource)
            result.demands.push_back(number(fields[3 + static_cast<std::size_t>(resource)]));
    }
    check(line + 1 == lines.size(), "line count");
    const std::vector<std::string_view> capacities = split(lines[line], '\t');
    check(capacities.size() == static_cast<std::size_t>(resources) + 1 && capacities.back().empty(), "capacities");
    for (long long resource = 0; resource < resources; ++resource)
        result.capacities.push_back(number(capacities[static_cast<std::size_t>(resource)]));
    // Each lag is the activity's duration.
    for (long long activity = 0, line_index = 1; activity < activities; ++activity, ++line_index) {
        const std::vector<std::string_view> fields = split(lines[static_cast<std::size_t>(line_index)], '\t');
        if (fields.size() > 3) {
            const std::string_view lag = fields.back();
            check(number(lag.substr(1, lag.size() - 2)) == result.durations[static_cast<std::size_t>(activity)],
                  "lag is not the duration");
        }
    }
    return result;
}

bool same(const converter::int_store& store, const std::vector<long long>& values) {
    if (store.size() != values.size()) return false;
    for (std::size_t index = 0; index < values.size(); ++index)
        if (store[index] != values[index]) return false;
    return true;
}

#if defined(__linux__)
bool same(const converter::int_store& left, const converter::int_store& right) {
    if (left.size() != right.size()) return false;
    for (std::size_t index = 0; index < left.size(); ++index)
        if (left[index] != right[index]) return false;
    return true;
}

// The stream path must agree with the string path, failures included. A memory
// stream has no size to go by, so this also runs the stores' growth path.
void check_stream_agrees(std::string_view input, const converter::instance& from_text,
                         const converter::read_failure& text_failure) {
    if (input.empty()) return; // fmemopen needs at least one byte
    std::FILE* stream = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    if (stream == nullptr) return;
    converter::instance from_stream;
    const converter::read_failure stream_failure = converter::read_instance(stream, from_stream);
    check(stream_failure.what == text_failure.what, "stream and text disagree on the outcome");
    check(stream_failure.offset == text_failure.offset, "stream and text disagree on the offset");
    check(stream_failure.found_text() == text_failure.found_text() &&
              stream_failure.found_cut == text_failure.found_cut,
          "stream and text disagree on the token");
    if (text_failure.has_offset()) {
        const converter::text_position at_stream = stream_failure.position();
        const converter::text_position at_text = text_failure.position();
        check(at_stream.line == at_text.line && at_stream.column == at_text.column, "positions disagree");
    }
    check(same(from_stream.durations, from_text.durations) && same(from_stream.demands, from_text.demands) &&
              same(from_stream.successors, from_text.successors) &&
              same(from_stream.successor_counts, from_text.successor_counts) &&
              same(from_stream.capacities, from_text.capacities),
          "stream and text disagree on the stores");
    std::fclose(stream);
}
#endif

bool same_instance(const converter::instance& left, const converter::instance& right) {
    const auto same_store = [](const converter::int_store& a, const converter::int_store& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t index = 0; index < a.size(); ++index)
            if (a[index] != b[index]) return false;
        return true;
    };
    return left.activity_count == right.activity_count && left.resource_count == right.resource_count &&
           same_store(left.capacities, right.capacities) && same_store(left.durations, right.durations) &&
           same_store(left.demands, right.demands) && same_store(left.successor_counts, right.successor_counts) &&
           same_store(left.successors, right.successors) && same_store(left.lags, right.lags) &&
           same_store(left.mode_counts, right.mode_counts) && same_store(left.resource_kinds, right.resource_kinds);
}

// `source` with its resources as PSPLIB's layouts write them: renewable,
// then nonrenewable, then doubly constrained, each kind in its own order.
void group_by_kind(const converter::instance& source, converter::instance& grouped) {
    grouped = converter::instance{};
    grouped.activity_count = source.activity_count;
    grouped.resource_count = source.resource_count;
    const auto resources = static_cast<std::size_t>(source.resource_count > 0 ? source.resource_count : 0);
    std::vector<std::size_t> order;
    for (const std::int32_t kind : {1, 2, 3})
        for (std::size_t resource = 0; resource < resources; ++resource)
            if (static_cast<std::int32_t>(converter::kind_of(source, resource)) == kind) order.push_back(resource);
    for (const std::size_t resource : order) {
        grouped.capacities.push_back(source.capacities[resource]);
        if (converter::has_other_kinds(source)) grouped.resource_kinds.push_back(source.resource_kinds[resource]);
    }
    for (std::size_t mode = 0; mode < source.durations.size(); ++mode) {
        grouped.durations.push_back(source.durations[mode]);
        for (const std::size_t resource : order) grouped.demands.push_back(source.demands[mode * resources + resource]);
    }
    for (const std::int32_t count : source.successor_counts) grouped.successor_counts.push_back(count);
    for (const std::int32_t successor : source.successors) grouped.successors.push_back(successor);
    for (const std::int32_t count : source.mode_counts) grouped.mode_counts.push_back(count);
}

void check_round_trips(const converter::instance& source) {
    // PSPLIB's layouts group the resources by kind; with renewable ones only
    // that is the instance itself.
    converter::instance grouped;
    if (converter::has_other_kinds(source)) group_by_kind(source, grouped);
    for (const converter::layout_format* format = converter::formats_begin(); format != converter::formats_end();
         ++format) {
        if (format->read == nullptr || format->write == nullptr) continue;
        converter::message_text why;
        if (format->can_hold != nullptr && !format->can_hold(source, converter::activity_naming{}, why)) continue;
        std::string text;
        converter::write_layout(text, format->write, source);
        // What a layout writes is told as that layout by its content.
        check(converter::is_written_in(*format, std::string_view(text).substr(0, converter::content_sample_size)),
              "a layout's output is taken for another layout by its content");
        converter::text_cursor cursor{text};
        converter::instance back;
        const converter::read_failure failure = format->read(converter::text_source(&cursor), back, nullptr);
        if (failure) std::fprintf(stderr, "%s: %s\n", format->name, converter::describe(failure).c_str());
        check(!failure, "a layout's reader refused its writer's output");
        const bool psplib = std::string_view(format->name) == "sm" || std::string_view(format->name) == "mm";
        const bool same = same_instance(back, psplib && converter::has_other_kinds(source) ? grouped : source);
        if (format->keeps_every_value && !same) std::fprintf(stderr, "%s:\n%s\n", format->name, text.c_str());
        check(!format->keeps_every_value || same, "a layout's round trip changed the instance");
        // A layout that drops the dummies gives back the same bytes when the
        // reader added them back; it keeps tasks that look like dummies, which
        // the writer then drops in turn.
        const std::size_t tasks_at = text.find("n_tasks = ");
        const bool dummies_added =
            tasks_at != std::string::npos && std::to_string(back.activity_count - 2) ==
                                                 text.substr(tasks_at + 10, text.find(';', tasks_at) - tasks_at - 10);
        if (format->keeps_every_value || dummies_added) {
            std::string again;
            converter::write_layout(again, format->write, back);
            if (again != text) std::fprintf(stderr, "%s:\n%s\nthen:\n%s\n", format->name, text.c_str(), again.c_str());
            check(again == text, "a layout's round trip changed the bytes");
        }
    }
}

// An instance made from the bytes themselves, values of every size included,
// which no reader would have to accept first. A first byte of 0xf0 or more
// (one input in sixteen) asks for thousands of activities (values then taken from the bytes over
// and over), so that every writer's output crosses its buffer's end with
// lines of every length.
void build_instance(std::string_view input, converter::instance& result) {
    result = converter::instance{};
    if (input.size() < 2) return;
    const bool large = static_cast<unsigned char>(input[0]) >= 0xf0u;
    std::size_t cursor = 2;
    std::uint32_t mix = 0;
    const auto next_byte = [&]() -> std::uint32_t {
        if (cursor < input.size()) return static_cast<unsigned char>(input[cursor++]);
        if (!large || input.size() <= 2) return 0u;
        // Past the end: the bytes again, stirred so that the values vary.
        mix = mix * 1103515245u + 12345u;
        cursor = 2;
        return (mix >> 16) & 0xffu;
    };
    const auto next_value = [&]() -> std::int32_t {
        std::uint32_t value = 0;
        for (int byte = 0; byte < 4; ++byte) value = (value << 8) | next_byte();
        value ^= mix;
        static const std::int32_t edges[] = {-2147483647 - 1, 2147483647, -1000000000, 999999999, -10000, 99999, 0, 1};
        // Mostly small values, sometimes the edges of a number's length, sometimes any.
        switch (value & 7u) {
        case 0: return static_cast<std::int32_t>(value);
        case 1: return edges[(value >> 3) & 7u];
        default: return static_cast<std::int32_t>(value >> 3) % 40 - 5;
        }
    };
    result.activity_count = large ? 1000 + static_cast<std::int32_t>(static_cast<unsigned char>(input[1])) * 4
                                  : static_cast<unsigned char>(input[0]) % 9;
    result.resource_count = static_cast<unsigned char>(input[1]) % 5;
    for (std::int32_t resource = 0; resource < result.resource_count; ++resource)
        result.capacities.push_back(next_value());
    // One instance in four, of those without lags, has up to three modes an
    // activity and resources of every kind.
    const bool with_modes = (static_cast<unsigned char>(input[1]) & 0xc0u) == 0x40u;
    if (with_modes)
        for (std::int32_t resource = 0; resource < result.resource_count; ++resource)
            result.resource_kinds.push_back(1 +
                                            static_cast<std::int32_t>(static_cast<std::uint32_t>(next_value()) % 3));
    std::int64_t total = 0;
    for (std::int32_t activity = 0; activity < result.activity_count; ++activity) {
        const std::int32_t modes =
            with_modes ? 1 + static_cast<std::int32_t>(static_cast<std::uint32_t>(next_value()) % 3) : 1;
        if (with_modes) result.mode_counts.push_back(modes);
        for (std::int32_t mode = 0; mode < modes; ++mode) {
            result.durations.push_back(next_value());
            for (std::int32_t resource = 0; resource < result.resource_count; ++resource)
                result.demands.push_back(next_value());
        }
        std::int32_t count = next_value() % 6;
        if (total + count > std::int64_t{result.activity_count} * result.activity_count) count = 0;
        result.successor_counts.push_back(count);
        for (std::int32_t index = 0; index < count; ++index) {
            std::int32_t successor = next_value();
            // Stored 0-based: every layout numbers successors from 1 somewhere.
            if (successor == 2147483647) successor = 0;
            result.successors.push_back(successor);
            ++total;
        }
    }
    // One instance in two carries general time lags, negative ones included
    // (held only when some lag differs from its activity's duration).
    if (with_modes) converter::drop_single_modes_and_renewable_kinds(result);
    if ((static_cast<unsigned char>(input[1]) & 0x80u) == 0) return;
    for (std::size_t arc = 0; arc < result.successors.size(); ++arc) result.lags.push_back(next_value());
    converter::drop_lags_equal_to_durations(result);
}

// Checks and measures `source`: the counts add up, and a proof of
// infeasibility says so in its words, a note never does.
void check_analysis(const converter::instance& source) {
    const converter::validation_report report = converter::validate(source, 20);
    std::uint64_t counted = 0;
    for (const std::uint64_t count : report.by_level) counted += count;
    check(counted == report.total, "findings by level add up to another total");
    for (const converter::finding& item : report.findings) {
        const std::string_view text = item.text.view();
        const bool proof = text.find("so that no schedule exists") != std::string_view::npos;
        check(proof == (item.level == converter::finding_level::infeasible), "a finding's level and words disagree");
        if (text.substr(0, 13) == "not decided: ")
            check(item.level == converter::finding_level::note, "an undecided search is not a note");
    }
    (void)converter::compute_stats(source);
}

// The bytes as a line of a bundle: the output name it gives stays inside the
// output directory, is no hidden file, and is text a file system takes.
void check_bundle_name(std::string_view input) {
    converter::json_line line;
    line.text.assign(input.substr(0, input.find('\n')));
    line.number = 7;
    converter::name_line("set.jsonl", line);
    check(!line.relative.empty() && !line.relative.is_absolute() && !line.relative.has_root_name(),
          "a line's output name is absolute or empty");
    for (const std::filesystem::path& part : line.relative) {
        const std::string text = part.string();
        check(!text.empty() && text[0] != '.', "a line's output name has a hidden or parent part");
        for (std::size_t at = 0; at < text.size();) {
            check(static_cast<unsigned char>(text[at]) >= 0x20 && text[at] != '\x7f',
                  "a line's output name holds a control character");
            const std::size_t length = converter::utf8_sequence_length(text.data() + at, text.size() - at);
            check(length != 0, "a line's output name is not UTF-8");
            at += length;
        }
    }
    check(!line.name_unusable || (!line.name.empty() && line.relative == "set_7.json"),
          "an unusable name is not named as a line without one");
}

// The bytes as a schedule: read, and when they read, checked against
// `source`, each refusal placed within them.
void check_schedule(std::string_view input, const converter::instance& source) {
    converter::schedule_file file;
    converter::read_failure failure = converter::read_schedule(input, file);
    if (!failure && !file.solutions.empty()) {
        converter::schedule plan;
        if (converter::to_schedule(source, file, file.solutions.back(), plan, failure)) {
            const converter::schedule_report report = converter::verify_schedule(source, plan, {});
            check(report.feasible == (report.violation_count == 0), "a schedule's verdict and violations disagree");
            std::string svg;
            converter::draw_schedule(source, plan, report, {}, converter::resource_labels::psplib,
                                     {input.substr(0, 40), {}, {}}, svg);
            check(svg.rfind("<?xml ", 0) == 0 && svg.size() >= 7 && svg.compare(svg.size() - 7, 7, "</svg>\n") == 0,
                  "a picture not whole");
            return;
        }
    }
    if (!failure) return;
    check(failure.offset <= input.size(), "a schedule's failure placed past the end");
    const std::string message(converter::describe(failure).view());
    check(message.rfind("Invalid input at line ", 0) == 0 && message.back() == '.', "schedule message shape");
}

#if defined(__linux__)
// The bytes as a tar and as a zip archive: every member placed below the
// root or refused, every failure said with its place.
void check_archive(std::string_view input) {
    static const std::string path = "/tmp/fuzz_archive_" + std::to_string(getpid());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return;
    if (!input.empty()) std::fwrite(input.data(), 1, input.size(), file);
    std::fclose(file);
    for (const converter::archive_kind kind : {converter::archive_kind::tar, converter::archive_kind::zip}) {
        converter::archive_reader reader;
        int error = 0;
        if (!reader.open(path, kind, error)) continue;
        converter::archive_member member;
        for (int entries = 0; entries < 64 && reader.next(member, true); ++entries) {
            const std::string placed = member.path.generic_string();
            check(member.refused.view().empty() || placed.empty(), "a refused member with a path");
            bool up = !placed.empty() && placed[0] == '/';
            for (std::size_t start = 0; start <= placed.size();) {
                const std::size_t end = std::min(placed.find('/', start), placed.size());
                up = up || placed.compare(start, end - start, "..") == 0;
                start = end + 1;
            }
            check(!up, "a member placed out of the archive");
            check(!member.refused.view().empty() || member.directory || member.bytes.size() == member.size,
                  "a member's bytes are not its size");
        }
        converter::message_text message;
        if (reader.failed(message))
            check(message.view().rfind("Can't ", 0) == 0 && message.view().back() == '.', "archive message shape");
    }
}
#endif

void check_other_readers(std::string_view input) {
    for (const converter::layout_format* format = converter::formats_begin(); format != converter::formats_end();
         ++format) {
        if (format->read == nullptr || format == &converter::rcp_format()) continue;
        converter::text_cursor cursor{input};
        converter::instance result;
        converter::trailing_tokens trailing;
        const converter::read_failure failure = format->read(converter::text_source(&cursor), result, &trailing);
        if (!failure) {
            check_round_trips(result);
            check_analysis(result);
            continue;
        }
        check(failure.has_offset(), "an in-memory read failed without a place");
        check(failure.offset <= input.size(), "failure placed past the end");
        check(failure.line_start <= failure.offset, "a line starts after its failure");
        const std::string message(converter::describe(failure).view());
        check(message.rfind("Invalid input at line ", 0) == 0 && message.back() == '.', "message shape");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    converter::instance instance;
    const converter::read_failure failure = converter::read_instance(input, instance);
    check_other_readers(input);
    check_bundle_name(input);
    converter::instance built;
    build_instance(input, built);
    check_round_trips(built);
    check_analysis(built);
    check_schedule(input, built);
#if defined(__linux__)
    check_archive(input);
    check_stream_agrees(input, instance, failure);
#endif
    if (failure) {
        check(failure.has_offset(), "an in-memory read failed without a place");
        check(failure.offset <= size, "failure placed past the end");
        // The reader counts lines as it goes; count them again here, directly:
        // LF, CR LF and a lone CR each end a line.
        const converter::text_position position = failure.position();
        std::uint64_t line = 1;
        // A byte-order mark is not part of the first line's columns.
        std::uint64_t line_start = input.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
        for (std::size_t index = 0; index < failure.offset; ++index)
            if (input[index] == '\n' || (input[index] == '\r' && (index + 1 == size || input[index + 1] != '\n')))
                ++line, line_start = index + 1;
        check(position.line == line && position.column == failure.offset - line_start + 1, "position miscounted");
        const std::string message(converter::describe(failure).view());
        check(message.rfind("Invalid input at line ", 0) == 0 && message.back() == '.', "message shape");
        // The quoted text is the token as written.
        check(input.substr(failure.offset, failure.found_size) == failure.found_text(), "quoted text is not the token");
        return 0;
    }
    std::string output;
    converter::write_converted(output, instance);
    const read_back back = parse_output(output);
    check(back.activity_count == instance.activity_count && back.resource_count == instance.resource_count, "counts");
    check(same(instance.capacities, back.capacities), "capacities");
    check(same(instance.durations, back.durations), "durations");
    check(same(instance.demands, back.demands), "demands");
    check(same(instance.successor_counts, back.successor_counts), "successor counts");
    check(same(instance.successors, back.successors), "successors");
    check_round_trips(instance);
    return 0;
}
