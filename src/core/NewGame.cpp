#include "core/NewGame.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/AtomicFile.h"
#include "base/Path.h"
#include "script/ScriptApiReference.h"

namespace fs = std::filesystem;

namespace {

// The assets the starter game uses, taken from the engine's own resource folder.
const char* const kAssets[] = {"Models/house.vxm", "Sounds/click.wav", "Fonts/courierNew.ttf"};

bool WriteText(const fs::path& file, const std::string& text, std::string& problem) {
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    AtomicFile out;
    if (!out.Write(file, text.data(), text.size()) || !out.Commit()) {
        problem = "cannot write " + file.string();
        return false;
    }
    return true;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// The JavaScript starter's entry and editor settings, which the TypeScript
// starter's main.ts and tsconfig.json take the place of.
const char* const kJavaScriptOnly[] = {"Scripts/main.mjs", "Scripts/jsconfig.json", nullptr};

// Every file under `templateFolder`, with @NAME@ made `name`, to the same place
// under `folder`, but for the relative paths listed in `skip`.
bool WriteTemplate(const fs::path& templateFolder, const fs::path& folder, const std::string& name,
                   const char* const* skip, std::string& problem) {
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(templateFolder, error);
         it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error)
            break;
        if (!it->is_regular_file())
            continue;
        const fs::path relative = fs::relative(it->path(), templateFolder);
        bool skipped = false;
        for (const char* const* at = skip; at && *at && !skipped; ++at)
            skipped = relative == fs::path(*at);
        if (skipped)
            continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        if (!WriteText(folder / relative, ReplaceAll(text.str(), "@NAME@", name), problem))
            return false;
    }
    if (error) {
        problem = "cannot read the engine's game template: " + error.message();
        return false;
    }
    return true;
}

} // namespace

std::string ShellQuoted(const std::string& text) {
    if (!text.empty() && text.find_first_of(" \t'\"$\\`!*?;&|<>()[]{}~#") == std::string::npos)
        return text;
    return "'" + ReplaceAll(text, "'", "'\\''") + "'";
}

std::string GameNameOf(const fs::path& folder) {
    std::string name;
    for (const char c : fs::absolute(folder).lexically_normal().filename().string()) {
        const unsigned char u = static_cast<unsigned char>(c);
        name += std::isalnum(u) || c == '-' || c == '_' || c == '.'
                    ? static_cast<char>(std::tolower(u))
                    : '-';
    }
    // npm names may not start with a dot or an underscore.
    while (!name.empty() && (name.front() == '.' || name.front() == '_' || name.front() == '-'))
        name.erase(0, 1);
    return name.empty() ? "game" : name;
}

bool WriteNewGame(const fs::path& folder, bool typeScript, std::string& problem) {
    std::error_code error;
    if (fs::exists(folder, error) &&
        (!fs::is_directory(folder, error) || !fs::is_empty(folder, error))) {
        problem = folder.string() + " exists and is not an empty folder; choose a new one";
        return false;
    }
    const fs::path engine = GetEngineResourceFolder();
    const fs::path templateFolder = engine / "Templates" / "new-game";
    if (!fs::is_directory(templateFolder, error)) {
        problem = "the engine's game template is missing: " + templateFolder.string();
        return false;
    }
    // What the TypeScript starter has instead of the JavaScript one's files.
    const fs::path overlay = engine / "Templates" / "new-game-typescript";
    if (typeScript && !fs::is_directory(overlay, error)) {
        problem = "the engine's TypeScript game template is missing: " + overlay.string();
        return false;
    }
    const std::string name = GameNameOf(folder);
    if (!WriteTemplate(templateFolder, folder, name, typeScript ? kJavaScriptOnly : nullptr,
                       problem))
        return false;
    if (typeScript && !WriteTemplate(overlay, folder, name, nullptr, problem))
        return false;
    for (const char* asset : kAssets) {
        fs::create_directories((folder / asset).parent_path(), error);
        fs::copy_file(engine / asset, folder / asset, fs::copy_options::overwrite_existing, error);
        if (error) {
            problem = "cannot copy " + (engine / asset).string() + ": " + error.message();
            return false;
        }
    }
    return WriteText(folder / "Scripts" / "marrowvale.d.ts", script::ApiReferenceTypeScript(),
                     problem);
}
