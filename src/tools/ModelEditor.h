#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "logic/GameState.h"
#include "messaging/MessageListener.h"
#include "objects/GameObject.h"
#include "tools/EditHistory.h"
#include "tools/EditorCamera.h"
#include "tools/EditorPanel.h"

class MessagePointer;
class VoxelModel;
class VolumeCreationState;

// The voxel model editor, a game state. Every voxel of the model being edited is a live
// object (transform, kinematic box body for the mouse pick, voxel colour); the editor
// keeps them in order, lets the user pick, drag, recolour, duplicate and delete them, and
// loads and saves them as .vxm files in the game's Models folder. Its controls are tweak
// panels it builds with tweak-bar messages only.
//
// Every edit is a step of one undo history (EditHistory) that outlives the editor state:
// leaving the editor is itself a step, so the model left behind can be undone back. With
// mirror axes on, an edit also acts on the voxels at the mirrored positions, the mirror
// planes passing through the anchor voxel.
class ModelEditor : public GameState, public MessageListener {
  public:
    enum MovementMode { kPlaneXZ, kPlaneYZ, kPlaneXY, kAxisX, kAxisY, kAxisZ };

    // Dragging moves a voxel by one unit for this many pixels.
    static constexpr float kPixelsPerUnit = 45.0f;

    static ModelEditor& Instance();

    void Initialize() override;
    void Cleanup() override;
    void Update(float dt) override;
    virtual void HandleMessage(const MessagePointer& message);

    // The voxel is added to the end of the list; the first voxel of an empty model
    // becomes the anchor. Left out, the position is the origin and the colour opaque
    // green; every position is a real one, (-1, -1, -1) included. Unless forced, nothing
    // is made while the volume mode is on (an invalid handle is returned). Its mirror
    // images follow it; the handle is the voxel's own.
    GameObject CreateVoxel(std::optional<glm::vec3> position = std::nullopt,
                           std::optional<glm::vec4> colour = std::nullopt, bool force = false);
    // Makes these voxels and their mirror images as one step, whatever the mode; returns
    // the step's id, 0 when nothing was made. With no anchor yet the first voxel becomes
    // it, and the mirror planes pass through it.
    std::uint64_t CreateVoxels(const std::vector<VoxelData>& made,
                               const std::string& stepName = "Create Voxels");
    void Select(int index);
    void Deselect();
    void DeleteSelectedVoxel();
    void DuplicateSelectedVoxel();
    void SetMovementMode(MovementMode mode);
    void MakeSelectedTheAnchor();
    // Removes these voxels (those still in the model) and keeps the selection and the
    // anchor on the voxels that remain.
    void RemoveVoxels(const std::vector<GameObject>& objects);

    // Asks before replacing an existing file; otherwise writes at once.
    void Save();
    // Writes the model now; false (reported on the panel and standard error) when the
    // name is unusable or the file cannot be written.
    bool WriteModel();
    // Writes the model as Models/<fileName>.glb for other tools (see ExportMesh); the
    // outcome is shown on the panel.
    bool ExportModelMesh();
    // Replaces the model with the one chosen in the list. Leaves the volume mode first,
    // so that the loaded voxels are made. A file that cannot be read leaves the model
    // as it was.
    bool LoadSelectedModel();
    void AskNewModel();
    void StartNewModel();
    void EnterVolumeMode();
    // Called by the volume mode when it hands control back.
    void OnVolumeModeLeft() { volumeMode = false; }
    void RefreshModelList();

    // Take back or do again one step; false when there is none. The selection stays
    // on an edit that changed voxels in place and is let go after one that added or
    // removed voxels; the anchor is the one the step had.
    bool Undo();
    bool Redo();
    // Undoes that step if it is the latest one done (the volume mode's undo of its last
    // block); false otherwise.
    bool UndoStep(std::uint64_t id);
    const EditHistory& GetHistory() const { return history; }
    // The model's voxels as data, in list order.
    std::vector<VoxelData> GetVoxelData() const;

    // The pending question's "Yes" and "No".
    void AnswerYes();
    void AnswerNo();

    const std::vector<GameObject>& GetVoxels() const { return voxels; }
    int GetSelectedIndex() const { return selectedIndex; }
    int GetAnchorIndex() const { return anchorIndex; }
    MovementMode GetMovementMode() const { return movementMode; }
    const glm::vec3& GetGuideOrigin() const { return guideOrigin; }
    bool IsVolumeMode() const { return volumeMode; }
    VolumeCreationState& GetVolumeCreation() { return *volumeCreation; }
    GameObject GetCameraObject() const { return camera.GetObject(); }
    const std::vector<std::string>& GetModelNames() const { return modelNames; }
    // The question shown, empty when none is open.
    const std::string& GetQuestion() const { return question; }
    // What the last save or load reported on the panel.
    const std::string& GetStatus() const { return status; }
    // The game's Models folder, ending in a separator.
    static std::string GetModelsFolder();
    // The game path ("../resource/Models/<name>.vxm") of the last model this editor
    // saved, empty before the first save; a game can show the player's work with it.
    const std::string& GetLastSavedModel() const { return lastSavedModel; }
    // What the panel's read-only fields show: the voxel count and the model's extent
    // along x, y and z in voxels ("3 x 2 x 1").
    std::int32_t GetVoxelCount() const { return voxelCount; }
    const std::string& GetModelSize() const { return modelSize; }
    // The camera's view kept for a model file ("hut.vxm"), if any.
    std::optional<CameraView> GetRememberedView(const std::string& file) const;

    std::string fileName = "ModelName1";
    std::int32_t selectedModel = 0;
    // Shown in the properties panel; copied to the selected voxel every update. The
    // panel never points into a component store, which a state switch empties.
    glm::vec4 selectedColour{0.0f, 1.0f, 0.0f, 1.0f};
    // Bound to the main panel's "Mirror X/Y/Z".
    bool mirror[3] = {false, false, false};

  private:
    // The edited voxels as the model file holds them: relative to the anchor.
    VoxelModel CurrentModel() const;
    enum class Pending { None, Overwrite, NewModel };
    // A voxel acted on with the one the user picked: its index and the axes (bits 0-2
    // for x, y, z) along which it is that voxel's mirror image.
    struct MirrorTarget {
        int index;
        int axes;
    };
    struct MirrorImage {
        int axes;
        glm::vec3 position;
    };
    // A drag under way: the voxels it moves (the selected one first) as they were at
    // the press.
    struct Drag {
        bool active = false;
        std::vector<MirrorTarget> targets;
        std::vector<VoxelData> start;
    };
    // A model the game already shows from this file is read again in place.
    static void RefreshCachedModel(const std::string& file);

    std::string lastSavedModel;

    ModelEditor();
    ~ModelEditor() override;

    void PressLeftButton(int x, int y);
    void ReleaseLeftButton();
    void DragSelected(int dx, int dy);
    void DrawGuides();
    void BuildPropertiesPanel();
    void Ask(const std::string& text, Pending action);
    void SetStatus(const std::string& text);
    void DeleteAllVoxels();
    void ShowMouseCursor(bool visible);
    void CloseQuestion();
    bool IsValidIndex(int index) const;

    // The only ways the voxel list changes. While a step is being recorded each of
    // them adds its op to it; the anchor and selection indices follow the list.
    int InsertVoxelObject(int index, const VoxelData& data);
    void EraseVoxelObject(int index);
    void SetVoxelData(int index, const VoxelData& data);
    VoxelData DataOf(int index) const;
    // Swaps the last voxel into the place of the erased one.
    void EraseVoxelSwappingLast(int index);

    // Steps recorded from ops; nested calls make one step of the outermost.
    void BeginStep(const std::string& name);
    std::uint64_t EndStep();
    void Replay(const std::vector<const EditStep*>& steps, bool forward);
    void FinishDrag();
    void RecolourSelected();
    void CloseColourStep();

    bool IsMirroring() const;
    // The mirror images of a position about planes through `origin`, without the
    // position itself and each place once.
    std::vector<MirrorImage> MirrorImages(const glm::vec3& position, const glm::vec3& origin) const;
    // The voxels at the mirror images of voxel `index`: for each image the last voxel
    // there not already taken.
    std::vector<MirrorTarget> FindMirrorVoxels(int index) const;

    std::vector<std::string> ScanModelFolder() const;
    void PollModelFolder();
    void UpdateModelInfo();
    void RememberView();
    MovementMode movementMode = kPlaneXZ;
    EditorCamera camera;
    std::vector<GameObject> voxels;
    int selectedIndex = -1;
    int anchorIndex = -1;
    bool leftButtonHeld = false;
    bool rightButtonHeld = false;
    bool propertiesBarPending = false;
    bool propertiesBarShown = false;
    glm::vec3 guideOrigin{0.0f};
    float guideHalfSize = 5.0f;
    glm::vec4 guideColour{1.0f, 1.0f, 1.0f, 1.0f};
    std::vector<std::string> modelNames;
    bool modelListShown = false;
    bool volumeMode = false;
    bool running = false;
    std::unique_ptr<VolumeCreationState> volumeCreation;
    std::string question;
    Pending pending = Pending::None;
    std::string status;

    EditHistory history;
    EditStep recording;
    int recordingDepth = 0;
    Drag drag;
    // The colour step still growing while the selected voxel's colour is dragged, and
    // the voxels it recolours.
    std::uint64_t colourStep = 0;
    std::vector<int> colourTargets;
    std::chrono::steady_clock::time_point lastModelPoll;
    std::int32_t voxelCount = 0;
    std::string modelSize = "0 x 0 x 0";
    // By model file name, for as long as the engine runs.
    std::map<std::string, CameraView> views;

    EditorPanel mainPanel{"ModelEditor"};
    EditorPanel propertiesPanel{"Selected Voxel Properties"};
    EditorPanel confirmationPanel{"ConfirmationWidnow"};
};
