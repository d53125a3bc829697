#include "files/system_path.h"

namespace converter {

#ifdef _WIN32

std::filesystem::path system_path(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    // Directory functions add "\*" or a file name to what they are given: keep
    // room for that below the limit.
    constexpr std::size_t limit = 240;
    const std::wstring& text = path.native();
    if (text.size() < limit || text.rfind(L"\\\\?\\", 0) == 0) return path;
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    if (error) return path;
    std::wstring normal = absolute.lexically_normal().make_preferred().native();
    if (normal.size() < limit) return fs::path(normal);
    if (normal.rfind(L"\\\\", 0) == 0) return fs::path(L"\\\\?\\UNC\\" + normal.substr(2));
    return fs::path(L"\\\\?\\" + normal);
}

#else

std::filesystem::path system_path(const std::filesystem::path& path) { return path; }

#endif

} // namespace converter
