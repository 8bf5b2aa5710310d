#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "logic/GameState.h"
#include "messaging/MessageListener.h"
#include "objects/GameObject.h"
#include "tools/EditorCamera.h"
#include "tools/EditorPanel.h"
#include "tools/LitPreview.h"
#include "tools/ModelDocument.h"
#include "tools/ModelFiles.h"

class MessagePointer;
class VolumeCreationState;

// The voxel model editor, a game state: the input and panel glue around the model being
// edited (ModelDocument) and its files (ModelFiles). Clicks pick voxels with a physics
// ray and drags move them on the chosen plane or axis; keys and tweak panels, built with
// tweak-bar messages only, reach the document's edits and the files; the yes/no
// question guards overwriting and abandoning a model; the camera's view is remembered
// for each model file.
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

    // The "Create Voxel" button: nothing is made while the volume mode is on.
    void CreateVoxel();
    void DuplicateSelectedVoxel();
    void SetMovementMode(MovementMode mode);
    void MakeSelectedTheAnchor();

    // Asks before replacing an existing file; otherwise writes at once.
    void Save();
    // Replaces the model with the one chosen in the list. Leaves the volume mode first,
    // so that the loaded voxels are made. A file that cannot be read leaves the model
    // as it was.
    bool LoadSelectedModel();
    void AskNewModel();
    void StartNewModel();
    void EnterVolumeMode();
    // Called by the volume mode when it hands control back.
    void OnVolumeModeLeft() { volumeMode = false; }

    // The pending question's "Yes" and "No".
    void AnswerYes();
    void AnswerNo();

    ModelDocument& GetDocument() { return document; }
    ModelFiles& GetFiles() { return files; }
    LitPreview& GetLitPreview() { return litPreview; }
    MovementMode GetMovementMode() const { return movementMode; }
    const glm::vec3& GetGuideOrigin() const { return guideOrigin; }
    bool IsVolumeMode() const { return volumeMode; }
    VolumeCreationState& GetVolumeCreation() { return *volumeCreation; }
    GameObject GetCameraObject() const { return camera.GetObject(); }
    // The question shown, empty when none is open.
    const std::string& GetQuestion() const { return question; }
    // The game path of the last model this editor saved; a game can show the player's
    // work with it.
    const std::string& GetLastSavedModel() const { return files.GetLastSavedModel(); }
    // What the panel's read-only fields show: the voxel count and the model's extent
    // along x, y and z in voxels ("3 x 2 x 1").
    std::int32_t GetVoxelCount() const { return voxelCount; }
    const std::string& GetModelSize() const { return modelSize; }
    // The camera's view kept for a model file ("hut.vxm"), if any.
    std::optional<CameraView> GetRememberedView(const std::string& file) const;

    // Shown in the properties panel; copied to the selected voxel every update. The
    // panel never points into a component store, which a state switch empties.
    glm::vec4 selectedColour{0.0f, 1.0f, 0.0f, 1.0f};

  private:
    enum class Pending { None, Overwrite, NewModel };

    ModelEditor();
    ~ModelEditor() override;

    void PressLeftButton(int x, int y);
    void ReleaseLeftButton();
    void DragSelected(int dx, int dy);
    void DrawGuides();
    void OnSelectionChanged();
    void BuildPropertiesPanel();
    void Ask(const std::string& text, Pending action);
    void ShowMouseCursor(bool visible);
    void CloseQuestion();
    void UpdateModelInfo();
    void RememberView();

    ModelDocument document;
    EditorPanel mainPanel{"ModelEditor"};
    EditorPanel propertiesPanel{"Selected Voxel Properties"};
    EditorPanel confirmationPanel{"ConfirmationWidnow"};
    ModelFiles files{document, mainPanel};
    LitPreview litPreview;

    MovementMode movementMode = kPlaneXZ;
    EditorCamera camera;
    bool leftButtonHeld = false;
    bool rightButtonHeld = false;
    bool propertiesBarPending = false;
    bool propertiesBarShown = false;
    glm::vec3 guideOrigin{0.0f};
    float guideHalfSize = 5.0f;
    glm::vec4 guideColour{1.0f, 1.0f, 1.0f, 1.0f};
    bool volumeMode = false;
    bool running = false;
    std::unique_ptr<VolumeCreationState> volumeCreation;
    std::string question;
    Pending pending = Pending::None;
    std::int32_t voxelCount = 0;
    std::string modelSize = "0 x 0 x 0";
    // The voxel centres' bounds, for the lit preview's plate.
    glm::vec3 modelLow{0.0f}, modelHigh{0.0f};
    // By model file name, for as long as the engine runs.
    std::map<std::string, CameraView> views;
};
