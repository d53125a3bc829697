#include "files/file_conversion.h"

#include <cerrno>
#include <new>
#include <string>

#include "files/file_access.h"
#include "files/instance_reading.h"
#include "files/system_path.h"
#include "layouts/output_buffer.h"

namespace converter {
namespace fs = std::filesystem;

bool holds(const layout_format& to, const layout_format* from, const instance& scratch, message_text& message) {
    message_text why;
    if (to.can_hold == nullptr || to.can_hold(scratch, from != nullptr ? from->naming : activity_naming{}, why))
        return true;
    message = message_text("Can't write the ").append(to.name).append(" layout: ").append(why.view()).append(".");
    return false;
}

namespace {

// Writes `scratch` in `layout` to a new temporary file beside `output`, named
// last in `slot`; fills `result` on failure (the file then stays in `slot`,
// for the caller to discard).
bool write_temporary(const fs::path& output, const layout_format& layout, const instance& scratch, temporary_slot& slot,
                     file_result& result) {
    const fs::path system_output = system_path(output);
    int descriptor = -1;
    {
        // Held from the file's creation to its registration, so that an
        // interrupt finds every file that exists.
        std::lock_guard<std::mutex> lock(slot.mutex);
        slot.files.emplace_back();
        descriptor = create_temporary(system_output, slot.files.back());
        if (descriptor < 0) slot.files.pop_back();
    }
    if (descriptor < 0) {
        const int error = errno;
        result.message = system_message("Can't create the output file: ", error);
        if (is_directory_wide(error)) result.directory_error = error;
        return false;
    }
    const write_failure write = write_layout_to_descriptor(descriptor, layout.write, scratch);
    const bool written = !write;
    if (write.out_of_memory)
        result.message = message_text(out_of_memory_message);
    else if (write)
        result.message = describe_write_error(write.system_error);
    // What reached the file: on Windows, text mode adds a CR to each line end.
    const std::uint64_t size = written ? size_of(descriptor) : 0;
    // A file system may report a failed write only when the file is closed.
    const bool closed = close_descriptor(descriptor) == 0;
    if (written && !closed) result.message = describe_write_error(errno != 0 ? errno : EIO);
    if (!written || !closed) return false;
    result.bytes_out += size != 0 ? size : write.bytes_written;
    return true;
}

} // namespace

file_result convert_file(const input_source& input, const fs::path* outputs, instance& scratch,
                         const layout_choice& layouts) {
    file_result result;
    try {
        if (!read_file(input, scratch, result, nullptr)) return result;
        const std::size_t count = layouts.written_count();
        for (std::size_t index = 0; index < count; ++index)
            if (!holds(layouts.written(index), result.layout, scratch, result.message)) {
                result.failed = true;
                return result;
            }
        temporary_slot& slot = own_slot();
        for (std::size_t index = 0; index < count; ++index)
            if (!write_temporary(outputs[index], layouts.written(index), scratch, slot, result)) {
                discard_temporaries(slot);
                result.failed = true;
                result.bytes_out = 0;
                return result;
            }
        std::lock_guard<std::mutex> lock(slot.mutex);
        for (std::size_t index = 0; index < count; ++index) {
            std::error_code error;
            fs::rename(slot.files[index], system_path(outputs[index]), error);
            if (!error) continue;
            std::error_code ignored;
            for (std::size_t rest = index; rest < count; ++rest) fs::remove(slot.files[rest], ignored);
            result.failed = true;
            result.bytes_out = 0;
            result.message = message_text("Can't replace the output file: ").append(error.message()).append(".");
            if (index != 0)
                result.message.append(" The ")
                    .append(layouts.written(0).name)
                    .append(index == 1 ? " output was" : " and other outputs were")
                    .append(" written.");
            break;
        }
        slot.files.clear();
    } catch (const std::bad_alloc&) {
        discard_temporaries(own_slot());
        result.failed = true;
        result.message = message_text(out_of_memory_message);
    }
    return result;
}

bool output_is_current(const fs::path& input, const fs::path& output, const layout_format& layout) {
    try {
        std::error_code error;
        const fs::path system_output = system_path(output);
        if (!fs::is_regular_file(system_output, error)) return false;
        const fs::file_time_type output_time = fs::last_write_time(system_output, error);
        if (error) return false;
        const fs::file_time_type input_time = fs::last_write_time(system_path(input), error);
        if (error || output_time < input_time) return false;
        int descriptor = open_for_reading(output);
        if (descriptor < 0) return false;
        lookahead_source start(descriptor_source(&descriptor));
        const bool in_layout = is_written_in(layout, start.peek(content_sample_size, content_sample_lines));
        close_descriptor(descriptor);
        return in_layout;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

file_result convert_standard_streams(instance& scratch, const layout_choice& layouts) {
    file_result result;
    result.failed = !read_standard_input(layouts.from, scratch, result, nullptr) ||
                    !holds(*layouts.to, result.layout, scratch, result.message);
    if (result.failed) return result;
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const write_failure written = write_layout(stdout, layouts.to->write, scratch);
    result.bytes_out = written.bytes_written;
    if (written.out_of_memory) {
        result.failed = true;
        result.message = message_text(out_of_memory_message);
    } else if (written) {
        result.failed = true;
        result.output_error = written.system_error;
        result.message = system_message("Writing standard output failed: ", written.system_error);
    }
    return result;
}

} // namespace converter
