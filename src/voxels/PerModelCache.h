#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "voxels/VoxelInstance.h"
#include "voxels/VoxelModel.h"

// What frames work out from a model's voxels once and keep while the model stays as it
// was. Entries are found by model address and trusted only while the model's revision,
// voxel count and storage are those they were built from: the count and the storage catch
// code that replaced the voxels without saying so. `Compute` fills an entry's list and says
// whether the model has any use for it.
template <class T, bool (*Compute)(const std::vector<VoxelInstance>&, std::vector<T>&)>
class PerModelCache {
  public:
    // The model's list, or null when Compute kept nothing for it.
    const std::vector<T>* Find(const VoxelModel& model) {
        Entry& entry = entries[&model];
        entry.lastUsed = frame;
        if (entry.revision != model.GetRevision() || entry.size != model.voxels.size() ||
            entry.data != model.voxels.data()) {
            entry.revision = model.GetRevision();
            entry.size = model.voxels.size();
            entry.data = model.voxels.data();
            entry.kept = Compute(model.voxels, entry.list);
            ++computeCount;
        }
        return entry.kept ? &entry.list : nullptr;
    }

    // Forgets models not asked about for a while: a freed model's address may be reused.
    void EndFrame() {
        ++frame;
        for (auto it = entries.begin(); it != entries.end();)
            if (frame - it->second.lastUsed > kForgetAfterFrames)
                it = entries.erase(it);
            else
                ++it;
    }

    // How many times some model's list was worked out: what stays the same over frames in
    // which no model changed.
    std::uint64_t GetComputeCount() const { return computeCount; }

  private:
    static constexpr std::uint64_t kForgetAfterFrames = 600;

    struct Entry {
        std::uint64_t revision = 0;
        const VoxelInstance* data = nullptr;
        std::size_t size = 0;
        bool kept = false;
        std::vector<T> list;
        std::uint64_t lastUsed = 0;
    };

    std::unordered_map<const VoxelModel*, Entry> entries;
    std::uint64_t frame = 0;
    std::uint64_t computeCount = 0;
};
