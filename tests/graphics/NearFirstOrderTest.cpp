#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "graphics/NearFirstOrder.h"

namespace {

// A record whose colour's red channel names it, so the order can be read back.
VoxelInstance Record(float name, glm::vec3 position) {
    VoxelInstance record;
    record.color = {name, 0, 0, 1};
    record.position = {position, 1.0f};
    return record;
}

std::vector<float> Names(const std::vector<VoxelInstance>& records) {
    std::vector<float> names;
    for (const VoxelInstance& record : records)
        names.push_back(record.color.r);
    return names;
}

} // namespace

// Records 0..5 are opaque and reordered; 6 and 7 (see-through) keep their place, and the
// occlusion words travel with their records. Records at one distance keep the order they
// came in; a record at no finite place goes last among the opaque ones.
TEST(NearFirstOrder, PutsOpaqueRecordsNearestFirstAndLeavesTheRestAsTheyCame) {
    const float nan = std::nanf("");
    const std::vector<VoxelInstance> records = {
        Record(0, {0, 0, -40}), Record(1, {nan, 0, 0}), Record(2, {3, 0, 0}),
        Record(3, {0, 0, 10}),  Record(4, {-3, 0, 0}),  Record(5, {0, 20, 0}),
        Record(6, {0, 0, 1}),   Record(7, {0, 0, 100}),
    };
    std::vector<std::uint64_t> levels;
    for (std::uint64_t i = 0; i < records.size(); ++i)
        levels.push_back(100 + i);

    NearFirstOrder order;
    order.Arrange(records, 6, levels, {0, 0, 0});
    EXPECT_EQ(Names(order.Instances()), (std::vector<float>{2, 4, 3, 5, 0, 1, 6, 7}));
    EXPECT_EQ(order.Levels(), (std::vector<std::uint64_t>{102, 104, 103, 105, 100, 101, 106, 107}));

    // Without occlusion words the records are ordered alone; from another eye, anew.
    order.Arrange(records, 6, {}, {0, 0, -40});
    EXPECT_EQ(Names(order.Instances()), (std::vector<float>{0, 2, 4, 5, 3, 1, 6, 7}));
    EXPECT_TRUE(order.Levels().empty());

    // Words that do not pair up with the records leave both as they came.
    levels.pop_back();
    order.Arrange(records, 6, levels, {0, 0, 0});
    EXPECT_EQ(Names(order.Instances()), (std::vector<float>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(order.Levels(), levels);
}
