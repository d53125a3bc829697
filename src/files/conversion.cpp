#include "files/conversion.h"
#include "layouts/rcp_reader.h"

#include <cerrno>

#include "layouts/sch_writer.h"

namespace converter {
namespace {

bool reported(const read_failure& failure, message_text& message) {
    if (failure) message = describe(failure);
    return !failure;
}

bool reported(const write_failure& written, message_text& message, std::uint64_t& bytes_written) {
    bytes_written += written.bytes_written;
    if (written.out_of_memory)
        message = message_text(out_of_memory_message);
    else if (written)
        message = describe_write_error(written.system_error);
    return !written;
}

} // namespace

// The reader places a failure itself: the input is never read again, which a
// pipe could not do.
bool read_stream(std::FILE* input, instance& result, message_text& message) {
    std::setvbuf(input, nullptr, _IONBF, 0);
    return reported(read_instance(input, result), message);
}

bool write_stream(std::FILE* output, const instance& source, message_text& message, std::uint64_t& bytes_written) {
    std::setvbuf(output, nullptr, _IONBF, 0);
    return reported(write_converted(output, source), message, bytes_written);
}

bool close_output(std::FILE* output, message_text& message) {
    errno = 0;
    if (std::fclose(output) == 0) return true;
    message = describe_write_error(errno != 0 ? errno : EIO);
    return false;
}

} // namespace converter
