#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "voxels/VoxelInstance.h"

// A frame's see-through voxels, handed back in draw order: ascending y, then z, then x,
// voxels with equal keys in the order they were added (TransparentVoxelOrder).
//
// The records are collected in a flat array and put in order once, by a stable radix sort
// of their keys. The ordered tree the order is defined by stays available
// (useTree), so the two can be compared.
class SeeThroughVoxels {
  public:
    // Empties the collection; storage is kept for the next frame.
    void Clear();
    void Add(const VoxelInstance& record) {
        if (useTree)
            tree.insert(record);
        else
            records.push_back(record);
    }
    std::size_t Size() const { return useTree ? tree.size() : records.size(); }

    // Appends the records to `out` in draw order.
    void AppendInDrawOrder(std::vector<VoxelInstance>& out);

    // Orders by inserting each record into a std::multiset instead.
    bool useTree = false;

  private:
    struct Key {
        std::uint32_t x, z, y; // order-preserving images of the coordinates
        std::uint32_t index;   // position in `records`
    };

    void SortKeys();

    std::vector<VoxelInstance> records;
    std::vector<Key> keys;
    std::vector<Key> scratch;
    std::multiset<VoxelInstance, TransparentVoxelOrder> tree;
};
