#include "text_output.h"

namespace converter::batch {

std::string displayed(const std::filesystem::path& path) {
#ifdef _WIN32
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.native();
#endif
}

void print_line(std::FILE* stream, const std::filesystem::path& path, std::string_view text) {
    std::string line = displayed(path);
    line += ": ";
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stream);
}

} // namespace converter::batch
