#include "voxels/VoxelGatherer.h"

#include <algorithm>

#include "graphics/Projection.h"
#include "graphics/TransformComponent.h"
#include "objects/ComponentFactory.h"
#include "voxels/VisibleVoxelCache.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

namespace {

glm::vec4 QuatAsXYZW(const glm::quat& q) {
    return glm::vec4(q.x, q.y, q.z, q.w);
}

// Components of an object whose transform slot is missing are drawn at the origin, as
// an object whose transform was never set would be.
const TransformComponent& TransformOf(std::uint32_t id) {
    static const TransformComponent kDefault;
    const TransformComponent* transform = ComponentFactory<TransformComponent>::Instance().At(id);
    return transform != nullptr ? *transform : kDefault;
}

// Every voxel of the model, or only those listed.
class VoxelRange {
  public:
    VoxelRange(const std::vector<VoxelInstance>& voxels, const std::vector<std::uint32_t>* only)
        : voxels(voxels), only(only) {}

    template <class Visit> void ForEach(Visit&& visit) const {
        if (only == nullptr)
            for (const VoxelInstance& voxel : voxels)
                visit(voxel);
        else
            for (const std::uint32_t index : *only)
                visit(voxels[index]);
    }

  private:
    const std::vector<VoxelInstance>& voxels;
    const std::vector<std::uint32_t>* only;
};

template <class Sink>
void EmitModel(const VoxelModelComponent& component, const TransformComponent& transform,
               const VoxelRange& voxels, Sink&& emit) {
    // Scaled about the object's position; the scale rides in w, which the shaders take
    // as the cube's size.
    const float scale = component.voxelScale;
    const glm::vec3 translation = transform.position + component.originOffset * scale;
    const float alpha = component.alpha;
    VoxelInstance record;
    if (component.oriented) {
        const glm::mat4 rotation = RotationMatrix(transform.orientation);
        record.orientation = QuatAsXYZW(transform.orientation);
        voxels.ForEach([&](const VoxelInstance& voxel) {
            record.color =
                glm::vec4(voxel.color.r, voxel.color.g, voxel.color.b, voxel.color.a * alpha);
            const glm::vec4 p = rotation * voxel.position;
            record.position = glm::vec4(glm::vec3(p) * scale + translation, scale);
            emit(record);
        });
    } else {
        record.orientation = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
        voxels.ForEach([&](const VoxelInstance& voxel) {
            record.color =
                glm::vec4(voxel.color.r, voxel.color.g, voxel.color.b, voxel.color.a * alpha);
            record.position = glm::vec4(glm::vec3(voxel.position) * scale + translation, scale);
            emit(record);
        });
    }
}

} // namespace

void VoxelGatherer::Clear() {
    instances.clear();
    transparent.Clear();
    firstBlended = SIZE_MAX;
    opaqueCount = 0;
}

void VoxelGatherer::AddVoxel(const VoxelComponent& voxel, const TransformComponent& transform) {
    VoxelInstance record;
    record.color = voxel.color;
    record.position = glm::vec4(transform.position, 1.0f);
    record.orientation = QuatAsXYZW(transform.orientation);
    if (voxel.color.a == 1.0f)
        AddOpaque(record);
    else
        transparent.Add(record);
}

void VoxelGatherer::AddModel(const VoxelModelComponent& component,
                             const TransformComponent& transform) {
    if (!component.visible || component.model == nullptr)
        return;
    const std::vector<VoxelInstance>& voxels = component.model->voxels;
    if (component.alpha == 1.0f) {
        // Drawn opaque, so the voxels the cache finds enclosed can be left out.
        const std::vector<std::uint32_t>* only =
            visible != nullptr ? visible->Find(*component.model) : nullptr;
        EmitModel(component, transform, VoxelRange(voxels, only),
                  [this](const VoxelInstance& record) { AddOpaque(record); });
    } else {
        EmitModel(component, transform, VoxelRange(voxels, nullptr),
                  [this](const VoxelInstance& record) { transparent.Add(record); });
    }
}

void VoxelGatherer::Finish() {
    firstBlended = std::min(firstBlended, instances.size());
    opaqueCount = instances.size();
    transparent.AppendInDrawOrder(instances);
}

void VoxelGatherer::GatherScene(const std::vector<VoxelInstance>* loose) {
    Clear();
    ComponentFactory<VoxelComponent>::Instance().ForEachAttached(
        [this](const VoxelComponent& voxel) { AddVoxel(voxel, TransformOf(voxel.owner.id)); });
    ComponentFactory<VoxelModelComponent>::Instance().ForEachAttached(
        [this](const VoxelModelComponent& component) {
            AddModel(component, TransformOf(component.owner.id));
        });
    if (loose != nullptr)
        for (const VoxelInstance& record : *loose)
            AddRecord(record);
    Finish();
    if (visible != nullptr)
        visible->EndFrame();
}
