#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "logic/GameState.h"
#include "messaging/MessageListener.h"
#include "objects/GameObject.h"
#include "tools/EditorCamera.h"
#include "tools/EditorPanel.h"

class MessagePointer;
class VolumeCreationState;

// The voxel model editor, a game state. Every voxel of the model being edited is a live
// object (transform, kinematic box body for the mouse pick, voxel colour); the editor
// keeps them in order, lets the user pick, drag, recolour, duplicate and delete them, and
// loads and saves them as .vxm files in the game's Models folder. Its controls are tweak
// panels it builds with tweak-bar messages only.
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
    // is made while the volume mode is on (an invalid handle is returned).
    GameObject CreateVoxel(std::optional<glm::vec3> position = std::nullopt,
                           std::optional<glm::vec4> colour = std::nullopt, bool force = false);
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

    std::string fileName = "ModelName1";
    std::int32_t selectedModel = 0;
    // Shown in the properties panel; copied to the selected voxel every update. The
    // panel never points into a component store, which a state switch empties.
    glm::vec4 selectedColour{0.0f, 1.0f, 0.0f, 1.0f};

  private:
    enum class Pending { None, Overwrite, NewModel };
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

    EditorPanel mainPanel{"ModelEditor"};
    EditorPanel propertiesPanel{"Selected Voxel Properties"};
    EditorPanel confirmationPanel{"ConfirmationWidnow"};
};
