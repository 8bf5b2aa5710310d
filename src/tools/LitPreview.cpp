#include "tools/LitPreview.h"

#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "voxels/VoxelModelComponent.h"

namespace {

// One voxel drawn this many units wide: wide enough that its top reads as ground all
// around a model of editing size, and cheap (one cube).
constexpr float kPlateSize = 48.0f;
constexpr glm::vec4 kPlateColour{0.62f, 0.64f, 0.6f, 1.0f};

GraphicsSystem* Graphics() {
    return Core::Instance().GraphicsSystem_;
}

} // namespace

void LitPreview::Update(const glm::vec3& low, const glm::vec3& high, bool any) {
    GraphicsSystem* graphics = Graphics();
    if (graphics == nullptr)
        return;
    if (enabled && !applied)
        TurnOn();
    else if (!enabled && applied)
        Close();
    if (applied)
        PlacePlate(low, high, any);
}

void LitPreview::TurnOn() {
    GraphicsSystem& graphics = *Graphics();
    gameLighting = graphics;
    // The engine's own sun and sky, whatever the game chose: the preview shows a model
    // the same way for every artist.
    static_cast<LightingSettings&>(graphics) = LightingSettings();
    graphics.lighting = true;
    graphics.fogDensity = 0.0f;
    applied = true;
}

void LitPreview::Close() {
    if (!applied)
        return;
    applied = false;
    if (GraphicsSystem* graphics = Graphics())
        static_cast<LightingSettings&>(*graphics) = gameLighting;
    // A state switch may have cleared the plate already; deleting a stale handle is
    // harmless.
    if (ObjectManager::IsValid(plate))
        Core::Instance().objectManager->DeleteObject(plate);
    plate = GameObject();
}

void LitPreview::PlacePlate(const glm::vec3& low, const glm::vec3& high, bool any) {
    if (!ObjectManager::IsValid(plate)) {
        if (plateModel.GetVoxelCount() == 0)
            plateModel.AddVoxel(glm::vec3(0.0f), kPlateColour);
        plate = Core::Instance().objectManager->NewObject();
        ObjectManager::AddComponent<TransformComponent>(plate);
        auto* shown = ObjectManager::AddComponent<VoxelModelComponent>(plate);
        shown->model = &plateModel;
        shown->voxelScale = kPlateSize;
        ObjectManager::InitializeObj(plate);
    }
    // Its top just under the lowest voxel's foot, centred below the model.
    const glm::vec3 centre = any ? (low + high) * 0.5f : glm::vec3(0.0f);
    const float top = (any ? low.y : 0.0f) - 0.5f;
    ObjectManager::GetComponent<TransformComponent>(plate)->position =
        glm::vec3(centre.x, top - kPlateSize * 0.5f, centre.z);
}
