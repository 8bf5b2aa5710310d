#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class EditorPanel;
class ModelDocument;
class VoxelModel;

// The model editor's files: the edited model saved as Models/<name>.vxm and exported as
// Models/<name>.glb, a chosen model read back, and the list of the folder's models that
// the main panel offers, kept up to date while the folder changes. What each of these
// came to is the status line on the panel (and standard error for a failure).
class ModelFiles {
  public:
    ModelFiles(ModelDocument& document, const EditorPanel& panel)
        : document(document), panel(panel) {}

    // The panel is new: no list or status on it yet; the list is read at once.
    void Initialize();
    // The panel went, and the list with it.
    void Cleanup() { modelListShown = false; }
    // Reads the folder again about once a second.
    void Update();

    // True when saving would replace a model that is there already.
    bool IsSaveTaken() const;
    // Writes the model now and lists it; false (reported on the panel and standard
    // error) when the name is unusable or the file cannot be written.
    bool Save();
    // Writes the model as Models/<fileName>.glb for other tools (see ExportMesh).
    bool ExportModelMesh();
    // Reads the model chosen in the list and gives its file name; false, with the
    // reason on the panel, when none is chosen or the file cannot be read.
    bool ReadSelectedModel(VoxelModel& model, std::string& name);
    void RefreshModelList();
    // One read of the folder's entries; the list is rebuilt only when the names differ.
    void PollModelFolder();
    void SetStatus(const std::string& text);

    const std::vector<std::string>& GetModelNames() const { return modelNames; }
    // What the last save, load or export reported on the panel.
    const std::string& GetStatus() const { return status; }
    // The game path ("../resource/Models/<name>.vxm") of the last model saved, empty
    // before the first save.
    const std::string& GetLastSavedModel() const { return lastSavedModel; }
    // The game's Models folder, ending in a separator.
    static std::string GetModelsFolder();

    // Bound to the panel's "Models" list.
    std::int32_t selectedModel = 0;

  private:
    bool WriteModel();
    std::vector<std::string> ScanModelFolder() const;
    // A model the game already shows from this file is read again in place.
    static void RefreshCachedModel(const std::string& file);

    ModelDocument& document;
    const EditorPanel& panel;
    std::vector<std::string> modelNames;
    bool modelListShown = false;
    std::string status;
    std::string lastSavedModel;
    std::chrono::steady_clock::time_point lastModelPoll;
};
