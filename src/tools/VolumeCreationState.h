#pragma once

#include <cstdint>
#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "messaging/MessageListener.h"
#include "tools/EditorPanel.h"

class MessagePointer;
class ModelEditor;

// A wire cube drawn with the physics debug drawer: the volume cursor and the cells of a
// block about to be made.
struct WireBox {
    glm::vec3 position{0.0f};
    glm::vec4 colour{1.0f};
    float halfSize = 0.5f;
    bool visible = false;
};

// The model editor's sub-mode that fills a box of voxels at once. The user steers a
// cursor, switches creation mode on to fix one corner, steps to the opposite corner
// while the block is previewed, and creates it; the last block can be undone. Each block
// is one step of the editor's history, and undoing it here is undoing that step.
class VolumeCreationState : public MessageListener {
  public:
    explicit VolumeCreationState(ModelEditor& editor);
    ~VolumeCreationState() override;
    VolumeCreationState(const VolumeCreationState&) = delete;
    VolumeCreationState& operator=(const VolumeCreationState&) = delete;

    // Resets the mode and shows its panel and cursor.
    void Enter();
    // Hides everything and hands control back to the editor.
    void Leave();
    void Update(float dt);
    virtual void HandleMessage(const MessagePointer& message);

    void CreateVoxels();
    void Undo();
    void SnapCursor();

    bool IsActive() const { return active; }
    const WireBox& GetCursor() const { return cursor; }
    const std::vector<WireBox>& GetPreview() const { return previewBoxes; }
    const glm::ivec3& GetBlockExtent() const { return blockExtent; }
    // The history step of the last block made since the mode was entered; 0 when none.
    std::uint64_t GetLastBlockStep() const { return lastBlockStep; }

    // Bound to the panel's check boxes and colour field.
    bool creationMode = false;
    bool gridMovement = false;
    bool randomizeColour = true;
    glm::vec4 voxelColour{0.0f, 1.0f, 0.0f, 1.0f};

  private:
    void Step(std::uint32_t key);
    void RebuildPreview();
    void Draw() const;

    ModelEditor& editor;
    bool active = false;
    WireBox cursor{glm::vec3(0.0f), glm::vec4(1.0f, 0.0f, 0.0f, 1.0f), 0.55f, false};
    std::vector<WireBox> previewBoxes;
    glm::vec4 cursorColour{1.0f, 0.0f, 0.0f, 1.0f};
    glm::vec4 cursorCreationColour{1.0f, 0.0f, 1.0f, 1.0f};
    glm::vec4 previewColour{0.58f, 0.0f, 1.0f, 1.0f};
    bool creationModeSeen = false;
    glm::vec3 blockStart{0.0f};
    glm::ivec3 blockExtent{0};
    // Undo here takes back this step only while it is the editor's latest: whatever
    // came after it, or undid it already, must be taken back in the editor first.
    std::uint64_t lastBlockStep = 0;
    EditorPanel panel{"Voxel Volume Properties"};
};
