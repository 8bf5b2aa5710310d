#include "core/Path.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

std::string& ResourceFolder() {
    static std::string folder = kDefaultResourceFolder;
    return folder;
}

} // namespace

std::string NormalizePath(const std::string& path) {
#ifdef _WIN32
    return path;
#else
    std::string result = path;
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
#endif
}

void SetResourceFolder(const std::string& folder) {
    std::string normalized = NormalizePath(folder);
    if (!normalized.empty() && normalized.back() != '/')
        normalized += '/';
    ResourceFolder() = normalized.empty() ? std::string(kDefaultResourceFolder) : normalized;
}

const std::string& GetResourceFolder() {
    return ResourceFolder();
}

const char* GetEngineResourceFolder() {
    // An installed engine keeps its shaders, fonts and template beside the binary
    // (bin/../share/marrowvale/); a build runs from the source tree's resource/.
    static const std::string folder = [] {
        std::error_code error;
        const std::filesystem::path binary = std::filesystem::read_symlink("/proc/self/exe", error);
        if (!error) {
            const std::filesystem::path installed =
                binary.parent_path().parent_path() / "share" / "marrowvale";
            if (std::filesystem::is_directory(installed / "Shaders", error))
                return installed.string() + "/";
        }
        return std::string(MARROWVALE_ENGINE_RESOURCE_DIR);
    }();
    return folder.c_str();
}

std::string ResolvePath(const std::string& path) {
    const std::string normalized = NormalizePath(path);
    const std::string prefix = NormalizePath(kDefaultResourceFolder);
    if (normalized.compare(0, prefix.size(), prefix) != 0)
        return normalized;
    return ResourceFolder() + normalized.substr(prefix.size());
}

bool IsRegularFile(const std::string& path, std::string& problem) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        problem = "no such file";
        return false;
    }
    if (error) {
        problem = error.message();
        return false;
    }
    if (status.type() == fs::file_type::regular)
        return true;
    problem = status.type() == fs::file_type::directory ? "a folder, not a file"
                                                        : "not a regular file (a device, FIFO "
                                                          "or socket), so it is not read";
    return false;
}
