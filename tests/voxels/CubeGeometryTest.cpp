#include <cmath>

#include <glm/geometric.hpp>
#include <glm/vec3.hpp>
#include <gtest/gtest.h>

#include "voxels/CubeGeometry.h"

TEST(CubeGeometry, EveryTriangleIsCounterClockwiseFromOutsideOnItsFace) {
    auto at = [](const float(&v)[36][3], int i) { return glm::vec3(v[i][0], v[i][1], v[i][2]); };
    int perFace[3][2] = {};
    for (int t = 0; t < 12; ++t) {
        const glm::vec3 a = at(kUnitCube.positions, 3 * t), b = at(kUnitCube.positions, 3 * t + 1),
                        c = at(kUnitCube.positions, 3 * t + 2), n = at(kUnitCube.normals, 3 * t);
        EXPECT_EQ(at(kUnitCube.normals, 3 * t + 1), n);
        EXPECT_EQ(at(kUnitCube.normals, 3 * t + 2), n);
        EXPECT_GT(glm::dot(glm::cross(b - a, c - a), n), 0.0f) << "triangle " << t;
        for (const glm::vec3& corner : {a, b, c}) {
            EXPECT_EQ(glm::dot(corner, n), 0.5f) << "triangle " << t << " leaves its face";
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(std::fabs(corner[i]), 0.5f);
        }
        for (int axis = 0; axis < 3; ++axis)
            if (n[axis] != 0.0f)
                ++perFace[axis][n[axis] > 0.0f];
    }
    for (auto& face : perFace)
        EXPECT_TRUE(face[0] == 2 && face[1] == 2) << "two triangles on each of the six faces";
}
