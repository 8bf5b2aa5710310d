#include "tools/VolumeCreationState.h"

#include <cstdlib>

#include "core/Core.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "physics/BulletConvert.h"
#include "physics/PhysicsDebugDrawer.h"
#include "physics/PhysicsSystem.h"
#include "tools/EditorCamera.h"
#include "tools/ModelEditor.h"
#include "tools/TweakBar.h"
#include "window/WindowSystem.h"

namespace {

constexpr float kCursorSpeed = 20.0f; // units per second

struct CursorKey {
    std::uint32_t key;
    glm::ivec3 direction;
};
const CursorKey kCursorKeys[] = {
    {'t', {0, 1, 0}}, {'g', {0, -1, 0}}, {'i', {0, 0, -1}},
    {'k', {0, 0, 1}}, {'j', {-1, 0, 0}}, {'l', {1, 0, 0}},
};

VolumeCreationState& State(void* clientData) {
    return *static_cast<VolumeCreationState*>(clientData);
}

int Sign(float value) {
    return (value > 0.0f) - (value < 0.0f);
}

// The C library's rand() as the colour rule knows it: 0 to 32767 whatever RAND_MAX is.
float RandomShift() {
    return static_cast<float>(std::rand() % 32768) * 0.4f / 32767.0f - 0.2f;
}

} // namespace

VolumeCreationState::VolumeCreationState(ModelEditor& editor) : editor(editor) {
    listener = new MessageListener::MessageListenerDerived<VolumeCreationState>(this);
    Core::Instance().messageManager->AddListener(*this, 0);
}

VolumeCreationState::~VolumeCreationState() {
    if (MessageManager* messages = Core::Instance().messageManager)
        messages->RemoveListener(listener);
}

void VolumeCreationState::Enter() {
    active = true;
    creationMode = creationModeSeen = false;
    gridMovement = false;
    cursor.position = glm::vec3(0.0f);
    cursor.visible = true;
    previewBoxes.clear();
    lastBlockStep = 0;

    panel.Register(400, 400, 10, 410);
    panel.AddCaption("Cursor Controls: I,J,K,L (Up/Down: T,G)");
    panel.AddCaption("Toggle 'Creation Mode' then click 'Create Voxels'");
    panel.AddCaption(" ");
    panel.AddButton(
        "Exit Voxel Volume Mode (can press 'ESC')", [](void* s) { State(s).Leave(); }, this,
        " key=ESC");
    panel.AddVar("Toggle Creation Mode", kTweakBool8, &creationMode);
    panel.AddVar("Toggle Grid Movement", kTweakBool8, &gridMovement);
    panel.AddButton(
        "Create Voxels", [](void* s) { State(s).CreateVoxels(); }, this);
    panel.AddButton(
        "Snap Cursor to (0,0,0)", [](void* s) { State(s).SnapCursor(); }, this);
    panel.AddVar("Voxel Color", kTweakColor4f, &voxelColour);
    panel.AddVar("Should Randomize Voxel Color", kTweakBool8, &randomizeColour);
    panel.AddCaption("_");
    panel.AddButton(
        "Undo Most Recent Creation (can press 'CTRL+Z')", [](void* s) { State(s).Undo(); }, this,
        " key=CTRL+z");
}

void VolumeCreationState::Leave() {
    if (!active)
        return;
    panel.Delete();
    active = false;
    editor.OnVolumeModeLeft();
    cursor.visible = false;
    // A block half chosen is dropped with the mode, so no preview is left on screen.
    creationMode = creationModeSeen = false;
    previewBoxes.clear();
    lastBlockStep = 0;
}

void VolumeCreationState::Update(float dt) {
    if (!active)
        return;
    if (creationMode != creationModeSeen) {
        creationModeSeen = creationMode;
        previewBoxes.clear();
        if (creationMode) {
            blockStart = cursor.position;
            blockExtent = glm::ivec3(0);
            previewBoxes.push_back({cursor.position, previewColour, 0.5f, true});
        }
    }
    cursor.colour = creationMode ? cursorCreationColour : cursorColour;
    if (gridMovement || creationMode || !AreKeysSteering())
        return;
    const WindowSystem* window = Core::Instance().WindowSystem_;
    if (window == nullptr)
        return;
    for (const CursorKey& k : kCursorKeys)
        if (window->IsKeyDown(k.key))
            cursor.position += glm::vec3(k.direction) * (kCursorSpeed * dt);
}

void VolumeCreationState::HandleMessage(const MessagePointer& message) {
    if (!active)
        return;
    if (message->id == MID_DebugDrawMessage) {
        Draw();
        return;
    }
    const auto* key = message.As<KeyboardMessage>();
    // Each press (and each repeat of a held key) is one step; a quick tap that is over
    // before anyone looks at the keyboard still counts.
    if (key != nullptr && key->state == KS_PRESSED && (gridMovement || creationMode) &&
        AreKeysSteering())
        Step(key->key);
}

void VolumeCreationState::Step(std::uint32_t key) {
    for (const CursorKey& k : kCursorKeys) {
        if (k.key != key)
            continue;
        cursor.position += glm::vec3(k.direction);
        if (creationMode) {
            blockExtent += k.direction;
            RebuildPreview();
        }
    }
}

void VolumeCreationState::RebuildPreview() {
    const glm::ivec3 direction(Sign(cursor.position.x - blockStart.x),
                               Sign(cursor.position.y - blockStart.y),
                               Sign(cursor.position.z - blockStart.z));
    const glm::ivec3 extent = glm::abs(blockExtent);
    previewBoxes.clear();
    for (int i = 0; i <= extent.y; ++i)
        for (int k = 0; k <= extent.z; ++k)
            for (int j = 0; j <= extent.x; ++j)
                previewBoxes.push_back({blockStart + glm::vec3(glm::ivec3(j, i, k) * direction),
                                        previewColour, 0.5f, true});
}

void VolumeCreationState::CreateVoxels() {
    if (!active || previewBoxes.empty())
        return;
    std::vector<VoxelData> cells;
    cells.reserve(previewBoxes.size());
    for (const WireBox& box : previewBoxes) {
        glm::vec4 colour = voxelColour;
        if (randomizeColour)
            for (int c = 0; c < 3; ++c)
                colour[c] += RandomShift();
        cells.push_back({box.position, colour});
    }
    lastBlockStep = editor.GetDocument().CreateVoxels(cells, "Volume Block");
    creationMode = false;
}

void VolumeCreationState::Undo() {
    if (active)
        editor.GetDocument().UndoStep(lastBlockStep);
}

void VolumeCreationState::SnapCursor() {
    if (active && !creationMode)
        cursor.position = glm::vec3(0.0f);
}

void VolumeCreationState::Draw() const {
    PhysicsSystem* physics = Core::Instance().PhysicsSystem_;
    PhysicsDebugDrawer* drawer = physics ? physics->GetDebugDrawer() : nullptr;
    if (drawer == nullptr)
        return;
    const auto draw = [drawer](const WireBox& box) {
        if (box.visible)
            drawer->drawBox(ToBullet(box.position - box.halfSize),
                            ToBullet(box.position + box.halfSize),
                            btVector3(box.colour.r, box.colour.g, box.colour.b));
    };
    draw(cursor);
    for (const WireBox& box : previewBoxes)
        draw(box);
}
