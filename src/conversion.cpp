#include "conversion.h"

#include <cerrno>

#include "converted_writer.h"

namespace converter {

bool read_stream(std::FILE* input, instance& result, message_text& message) {
    std::setvbuf(input, nullptr, _IONBF, 0);
    // The reader places a failure itself: the input is never read again, which a
    // pipe could not do.
    const read_failure failure = read_instance(input, result);
    if (failure) message = describe(failure);
    return !failure;
}

bool write_stream(std::FILE* output, const instance& source, message_text& message, std::uint64_t& bytes_written) {
    std::setvbuf(output, nullptr, _IONBF, 0);
    const write_failure written = write_converted(output, source);
    bytes_written += written.bytes_written;
    if (written.out_of_memory)
        message = message_text(out_of_memory_message);
    else if (written)
        message = describe_write_error(written.system_error);
    return !written;
}

bool close_output(std::FILE* output, message_text& message) {
    errno = 0;
    if (std::fclose(output) == 0) return true;
    message = describe_write_error(errno != 0 ? errno : EIO);
    return false;
}

} // namespace converter
