#include "tools/ModelFiles.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "base/Path.h"
#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "tools/EditorPanel.h"
#include "tools/ModelDocument.h"
#include "voxels/MeshExport.h"
#include "voxels/VoxelModel.h"

namespace {

bool IsUsableName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 32;
    });
}

// Where saves go: the player's save folder when the game has one. Loads look there
// first (ResolvePath), so a saved model replaces the one the game shipped.
std::string SaveModelsFolder() {
    return ResolveWritePath(std::string(kDefaultResourceFolder) + "Models/");
}

std::string ModelPath(const std::string& name) {
    return ResolvePath(std::string(kDefaultResourceFolder) + "Models/" + name);
}

} // namespace

std::string ModelFiles::GetModelsFolder() {
    return ResolvePath(std::string(kDefaultResourceFolder) + "Models/");
}

void ModelFiles::Initialize() {
    status.clear();
    selectedModel = 0;
    modelListShown = false;
    RefreshModelList();
    lastModelPoll = std::chrono::steady_clock::now();
}

void ModelFiles::Update() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastModelPoll >= std::chrono::seconds(1)) {
        lastModelPoll = now;
        PollModelFolder();
    }
}

bool ModelFiles::IsSaveTaken() const {
    if (!IsUsableName(document.fileName))
        return false;
    const std::string name = document.fileName + ".vxm";
    std::error_code error;
    return std::find(modelNames.begin(), modelNames.end(), name) != modelNames.end() ||
           std::filesystem::exists(ModelPath(name), error);
}

bool ModelFiles::Save() {
    if (!WriteModel())
        return false;
    RefreshModelList();
    return true;
}

bool ModelFiles::WriteModel() {
    if (!IsUsableName(document.fileName)) {
        SetStatus("Cannot save: '" + document.fileName + "' is not a file name");
        return false;
    }
    // The anchor goes first, and every position is stored relative to it.
    document.PutAnchorFirst();
    const VoxelModel model = document.GetModel();
    const std::string name = document.fileName + ".vxm";
    const std::string folder = SaveModelsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!model.SaveToFile(folder + name)) {
        SetStatus("Could not save " + name + " (see standard error)");
        return false;
    }
    SetStatus("Saved " + name);
    lastSavedModel = std::string(kDefaultResourceFolder) + "Models/" + name;
    RefreshCachedModel(folder + name);
    return true;
}

bool ModelFiles::ExportModelMesh() {
    if (!IsUsableName(document.fileName)) {
        SetStatus("Cannot export: '" + document.fileName + "' is not a file name");
        return false;
    }
    const std::string name = document.fileName + ".glb";
    const std::string folder = SaveModelsFolder();
    std::error_code created;
    std::filesystem::create_directories(folder, created);
    std::string error;
    if (!ExportMesh(document.GetModel(), folder + name, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        SetStatus("Could not export " + name + " (see standard error)");
        return false;
    }
    SetStatus("Exported " + name);
    return true;
}

void ModelFiles::RefreshCachedModel(const std::string& file) {
    GraphicsSystem* graphics = Core::Instance().GraphicsSystem_;
    if (graphics == nullptr)
        return;
    for (auto& [key, cached] : graphics->modelCache) {
        std::error_code error;
        if (std::filesystem::equivalent(ResolvePath(key), file, error))
            cached.LoadFromFile(key);
    }
}

bool ModelFiles::ReadSelectedModel(VoxelModel& model, std::string& name) {
    if (selectedModel < 0 || static_cast<std::size_t>(selectedModel) >= modelNames.size()) {
        SetStatus("No model chosen to load");
        return false;
    }
    name = modelNames[selectedModel];
    if (!model.LoadFromFile(ModelPath(name))) {
        SetStatus("Could not load " + name + "; the model is unchanged");
        return false;
    }
    return true;
}

void ModelFiles::RefreshModelList() {
    const std::string chosen =
        selectedModel >= 0 && static_cast<std::size_t>(selectedModel) < modelNames.size()
            ? modelNames[selectedModel]
            : std::string();
    if (modelListShown)
        panel.RemoveVar("Models");
    modelListShown = false;
    modelNames = ScanModelFolder();
    const auto at = std::find(modelNames.begin(), modelNames.end(), chosen);
    selectedModel = at != modelNames.end() ? static_cast<std::int32_t>(at - modelNames.begin()) : 0;
    if (modelNames.empty())
        return;
    std::string labels;
    for (const std::string& name : modelNames)
        labels += (labels.empty() ? "" : ",") + name;
    panel.AddEnum("Models", &selectedModel, labels);
    modelListShown = true;
}

std::vector<std::string> ModelFiles::ScanModelFolder() const {
    std::vector<std::string> names;
    // The game's models and the player's saved ones, each name once.
    for (const std::string& folder : {GetModelsFolder(), SaveModelsFolder()}) {
        std::error_code error;
        for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            const std::string name = it->path().filename().string();
            // The list's labels are joined with commas, so a comma would split a name.
            if (it->is_regular_file(error) && name.size() > 4 &&
                name.compare(name.size() - 4, 4, ".vxm") == 0 &&
                name.find(',') == std::string::npos)
                names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

void ModelFiles::PollModelFolder() {
    if (ScanModelFolder() != modelNames)
        RefreshModelList();
}

void ModelFiles::SetStatus(const std::string& text) {
    if (!status.empty())
        panel.RemoveVar(status);
    status = text;
    panel.AddCaption(status);
    if (text.rfind("Saved ", 0) != 0 && text.rfind("Loaded ", 0) != 0) {
        std::fprintf(stderr, "Model editor: %s\n", text.c_str());
        std::fflush(stderr);
    }
}
