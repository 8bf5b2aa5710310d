#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "voxels/SeeThroughVoxels.h"

namespace {

// `tag` rides in the red channel so that the drawing order can be read back.
VoxelInstance Cell(float x, float y, float z, float tag = 0.0f) {
    VoxelInstance v;
    v.position = {x, y, z, 1.0f};
    v.color.r = tag;
    return v;
}

} // namespace

// The sort must give exactly the tree's order, ties and odd values included: -0 equals 0,
// NaNs equal each other and follow everything, infinities and tiny values in place.
TEST(SeeThroughVoxels, SortedOrderIsTheTreesOrderForAnyCoordinatesAndNaNSortsLast) {
    const float values[] = {-1.0f,
                            -0.0f,
                            0.0f,
                            0.5f,
                            3.0f,
                            1e-40f,
                            -1e30f,
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::quiet_NaN()};
    constexpr int kValues = sizeof values / sizeof values[0];
    std::srand(3);
    std::vector<VoxelInstance> records(5000);
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i] = Cell(values[std::rand() % kValues], values[std::rand() % kValues],
                          values[std::rand() % kValues]);
        records[i].color.r = float(i); // a label: equal keys must keep the order they came in
    }

    SeeThroughVoxels sorted, tree;
    tree.useTree = true;
    std::vector<VoxelInstance> bySort(1, Cell(9, 9, 9)), byTree(1, Cell(9, 9, 9));
    for (const VoxelInstance& record : records) {
        sorted.Add(record);
        tree.Add(record);
    }
    sorted.AppendInDrawOrder(bySort);
    tree.AppendInDrawOrder(byTree);
    ASSERT_EQ(bySort.size(), records.size() + 1) << "appended after what was there";
    EXPECT_EQ(std::memcmp(bySort.data(), byTree.data(), bySort.size() * sizeof(VoxelInstance)), 0);

    // Past the tree's limit the rest are sorted with it; ties still keep their order.
    records.resize(SeeThroughVoxels::kTreeLimit + 3000);
    for (std::size_t i = 0; i < records.size(); ++i)
        records[i] = Cell(float(i % 7), float(i * 13 % 5), 0.0f, float(i));
    tree.Clear();
    sorted.Clear();
    for (const VoxelInstance& record : records) {
        sorted.Add(record);
        tree.Add(record);
    }
    bySort.clear();
    byTree.clear();
    sorted.AppendInDrawOrder(bySort);
    tree.AppendInDrawOrder(byTree);
    ASSERT_EQ(byTree.size(), records.size());
    EXPECT_EQ(std::memcmp(bySort.data(), byTree.data(), bySort.size() * sizeof(VoxelInstance)), 0);

    // The order itself (the gathering test covers y before z and ties keeping their order):
    // x as the last key, -0 equal to +0, and NaN sorting last so that an ordered set stays
    // consistent.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::multiset<VoxelInstance, TransparentVoxelOrder> set;
    for (const VoxelInstance& v : {Cell(9, 1, 3, 1), Cell(1, 1, 3, 2), Cell(1, 1, -0.0f, 3),
                                   Cell(1, 1, 0, 4), Cell(0, nan, 0, 5), Cell(0, 3, nan, 6),
                                   Cell(0, nan, 0, 7), Cell(0, -3, 0, 8), Cell(0, 3, 0, 9)})
        set.insert(v);
    std::vector<float> tags;
    for (const VoxelInstance& v : set)
        tags.push_back(v.color.r);
    EXPECT_EQ(tags, (std::vector<float>{8, 3, 4, 2, 1, 9, 6, 5, 7}));
}
