#include "voxels/VoxelGatherer.h"

#include <algorithm>

#include <glm/common.hpp>

#include "graphics/Projection.h"
#include "graphics/TransformComponent.h"
#include "objects/ComponentFactory.h"
#include "voxels/VisibleVoxelCache.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"
#include "voxels/VoxelOcclusionCache.h"

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

    // visit(voxel, its index in the model)
    template <class Visit> void ForEach(Visit&& visit) const {
        if (only == nullptr)
            for (std::size_t index = 0; index < voxels.size(); ++index)
                visit(voxels[index], index);
        else
            for (const std::uint32_t index : *only)
                visit(voxels[index], std::size_t(index));
    }

  private:
    const std::vector<VoxelInstance>& voxels;
    const std::vector<std::uint32_t>* only;
};

// emit(record, index of its voxel in the model)
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
        voxels.ForEach([&](const VoxelInstance& voxel, std::size_t index) {
            record.color =
                glm::vec4(voxel.color.r, voxel.color.g, voxel.color.b, voxel.color.a * alpha);
            const glm::vec4 p = rotation * voxel.position;
            record.position = glm::vec4(glm::vec3(p) * scale + translation, scale);
            emit(record, index);
        });
    } else {
        record.orientation = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
        voxels.ForEach([&](const VoxelInstance& voxel, std::size_t index) {
            record.color =
                glm::vec4(voxel.color.r, voxel.color.g, voxel.color.b, voxel.color.a * alpha);
            record.position = glm::vec4(glm::vec3(voxel.position) * scale + translation, scale);
            emit(record, index);
        });
    }
}

} // namespace

void VoxelGatherer::Clear() {
    instances.clear();
    if (occlusionLevels != nullptr)
        occlusionLevels->clear();
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
        const std::vector<std::uint64_t>* levels =
            occlusionLevels != nullptr && occlusion != nullptr ? occlusion->Find(*component.model)
                                                               : nullptr;
        if (levels != nullptr)
            EmitModel(component, transform, VoxelRange(voxels, only),
                      [this, levels](const VoxelInstance& record, std::size_t index) {
                          AddOpaque(record, (*levels)[index]);
                      });
        else
            EmitModel(component, transform, VoxelRange(voxels, only),
                      [this](const VoxelInstance& record, std::size_t) { AddOpaque(record); });
    } else {
        EmitModel(component, transform, VoxelRange(voxels, nullptr),
                  [this](const VoxelInstance& record, std::size_t) { transparent.Add(record); });
    }
}

void VoxelGatherer::OccludeSingleVoxels(std::size_t first) {
    if (occlusion == nullptr || occlusionLevels == nullptr ||
        instances.size() - first > kMaxOccludedSingleVoxels)
        return;
    // The model grid's cubes: unit size, unturned, at whole-number positions. The rest are
    // left out, as they would darken cells they do not fill.
    std::vector<VoxelInstance> onGrid;
    std::vector<std::size_t> at;
    for (std::size_t i = first; i < instances.size(); ++i) {
        const VoxelInstance& record = instances[i];
        const glm::vec3 p(record.position);
        if (record.position.w == 1.0f && record.orientation == glm::vec4(0, 0, 0, 1) &&
            glm::floor(p) == p) {
            onGrid.push_back(record);
            at.push_back(i);
        }
    }
    std::vector<std::uint64_t> levels;
    if (onGrid.size() < 2 || !VoxelOcclusionCache::Compute(onGrid, levels))
        return;
    occlusionLevels->resize(instances.size(), 0);
    for (std::size_t k = 0; k < at.size(); ++k)
        (*occlusionLevels)[at[k]] = levels[k];
}

void VoxelGatherer::Finish() {
    firstBlended = std::min(firstBlended, instances.size());
    opaqueCount = instances.size();
    transparent.AppendInDrawOrder(instances);
    if (occlusionLevels != nullptr && !occlusionLevels->empty())
        occlusionLevels->resize(instances.size(), 0);
}

void VoxelGatherer::GatherScene(const std::vector<VoxelInstance>* loose) {
    Clear();
    ComponentFactory<VoxelComponent>::Instance().ForEachAttached(
        [this](const VoxelComponent& voxel) { AddVoxel(voxel, TransformOf(voxel.owner.id)); });
    OccludeSingleVoxels(0);
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
    if (occlusion != nullptr && occlusionLevels != nullptr)
        occlusion->EndFrame();
}
