#include "files/text_file.h"

#include "files/file_conversion.h"

namespace converter {

bool write_text_file(const std::filesystem::path& path, std::string_view text, message_text& message) {
    bundle_output output;
    if (!output.open(path, message)) return false;
    if (!output.append(text)) {
        output.finish(message);
        return false;
    }
    return output.finish(message);
}

} // namespace converter
