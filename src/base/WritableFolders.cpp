#include "base/WritableFolders.h"

#include <algorithm>
#include <system_error>

#include "base/Path.h"

namespace fs = std::filesystem;

namespace {

// weakly_canonical resolves links only in the part of a path that exists, so a
// link to a file or folder not made yet would pass as written: the first part
// that does not exist is looked at too, and followed if it is such a link.
fs::path DanglingLink(const fs::path& resolved) {
    fs::path prefix;
    for (const fs::path& part : resolved) {
        prefix /= part;
        std::error_code error;
        const fs::file_status status = fs::symlink_status(prefix, error);
        if (status.type() == fs::file_type::symlink)
            return prefix;
        if (error || status.type() == fs::file_type::not_found)
            break;
    }
    return {};
}

// Absolute, with "..", "." and every symbolic link resolved. Empty when the
// system cannot say (a folder on the way unreadable, a loop of links).
fs::path Resolved(const fs::path& path) {
    std::error_code error;
    fs::path pending = fs::absolute(path, error);
    for (int hops = 0; !error && hops < 40; ++hops) {
        fs::path resolved = fs::weakly_canonical(pending, error);
        if (error)
            break;
        const fs::path link = DanglingLink(resolved);
        if (link.empty())
            // "dir/" keeps an empty last part, which would make "dir/x" look outside it.
            return resolved.filename().empty() ? resolved.parent_path() : resolved;
        pending =
            link.parent_path() / fs::read_symlink(link, error) / resolved.lexically_relative(link);
    }
    return {};
}

// The folder itself counts as inside: writing to it fails later with a reason of its own.
bool IsInside(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

} // namespace

std::vector<fs::path> GetWritableFolders() {
    std::vector<fs::path> folders;
    for (const std::string& folder : {GetResourceFolder(), GetSaveFolder()})
        if (!folder.empty())
            if (fs::path resolved = Resolved(folder);
                !resolved.empty() &&
                std::find(folders.begin(), folders.end(), resolved) == folders.end())
                folders.push_back(resolved);
    return folders;
}

bool IsWritablePath(const fs::path& target, std::string& problem) {
    const std::vector<fs::path> folders = GetWritableFolders();
    const fs::path resolved = Resolved(target);
    for (const fs::path& folder : folders)
        if (!resolved.empty() && IsInside(resolved, folder))
            return true;
    std::string allowed;
    for (std::size_t i = 0; i < folders.size(); ++i)
        allowed += (i == 0 ? "" : " or ") + folders[i].string() + "/";
    problem = "it lies outside the folders a game may write in (" + allowed + ")";
    if (!resolved.empty() && resolved != target)
        problem += "; it is " + resolved.string();
    return false;
}
