#include "files/file_check.h"

#include "files/file_conversion.h"
#include "files/instance_reading.h"
#include "layouts/json_writer.h"

namespace converter {
namespace fs = std::filesystem;
namespace {

void validate_into(const instance& scratch, std::size_t finding_limit, const trailing_tokens& trailing,
                   file_result& result) {
    try {
        result.report = validate(scratch, finding_limit, &trailing,
                                 result.layout != nullptr ? result.layout->naming : activity_naming{});
    } catch (const std::bad_alloc&) {
        result.failed = true;
        result.message = message_text("Not enough memory to validate the instance.");
    }
}

void measure_into(const instance& scratch, file_result& result) {
    try {
        result.stats = compute_stats(scratch);
    } catch (const std::bad_alloc&) {
        result.failed = true;
        result.message = message_text("Not enough memory to measure the instance.");
    }
}

} // namespace

file_result check_file(const input_source& input, instance& scratch, std::size_t finding_limit) {
    trailing_tokens trailing;
    return read_file_then(input, scratch, &trailing,
                          [&](file_result& result) { validate_into(scratch, finding_limit, trailing, result); });
}

file_result read_instance_file(const fs::path& input, instance& scratch, const layout_format* from) {
    return read_file_then(resolve_source(input, from), scratch, nullptr, [](file_result&) {});
}

file_result measure_file(const input_source& input, instance& scratch) {
    return read_file_then(input, scratch, nullptr, [&](file_result& result) { measure_into(scratch, result); });
}

file_result measure_standard_input(instance& scratch, const layout_format* from) {
    file_result result;
    if (read_standard_input(from, scratch, result, nullptr)) measure_into(scratch, result);
    return result;
}

file_result check_standard_input(instance& scratch, std::size_t finding_limit, const layout_format* from) {
    file_result result;
    trailing_tokens trailing;
    if (read_standard_input(from, scratch, result, &trailing)) validate_into(scratch, finding_limit, trailing, result);
    return result;
}

file_result bundle_file(const input_source& input, instance& scratch, std::string_view name) {
    return read_file_then(input, scratch, nullptr, [&](file_result& result) {
        if (!holds(json_format(), result.layout, scratch, result.message)) {
            result.failed = true;
            return;
        }
        output_buffer buffer(append_to_string, &result.bundle_line);
        if (!buffer.ready()) throw std::bad_alloc();
        write_json_line(buffer, scratch, name);
        buffer.flush();
    });
}

} // namespace converter
