#include "base/Path.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/WritableFolders.h"

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

namespace {

std::string& SaveFolder() {
    static std::string folder;
    return folder;
}

// The part of a "../resource/..." name after the prefix; false for other names.
bool ResourceRelative(const std::string& normalized, std::string& rest) {
    const std::string prefix = NormalizePath(kDefaultResourceFolder);
    if (normalized.compare(0, prefix.size(), prefix) != 0)
        return false;
    rest = normalized.substr(prefix.size());
    return true;
}

} // namespace

void SetSaveFolder(const std::string& folder) {
    std::string normalized = NormalizePath(folder);
    if (!normalized.empty() && normalized.back() != '/')
        normalized += '/';
    SaveFolder() = normalized;
}

const std::string& GetSaveFolder() {
    return SaveFolder();
}

std::string ResolvePath(const std::string& path) {
    const std::string normalized = NormalizePath(path);
    std::string rest;
    if (!ResourceRelative(normalized, rest))
        return normalized;
    if (!SaveFolder().empty()) {
        std::error_code error;
        const std::string saved = SaveFolder() + rest;
        if (std::filesystem::exists(saved, error))
            return saved;
    }
    return ResourceFolder() + rest;
}

std::string ResolveWritePath(const std::string& path) {
    const std::string normalized = NormalizePath(path);
    std::string rest;
    if (SaveFolder().empty() || !ResourceRelative(normalized, rest))
        return ResolvePath(path);
    const std::string target = SaveFolder() + rest;
    std::string outside;
    if (!IsWritablePath(target, outside))
        return target; // refused by the writer; no folder is made on the way out
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(target).parent_path(), error);
    return target;
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
