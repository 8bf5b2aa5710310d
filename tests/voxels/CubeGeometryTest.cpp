#include <cmath>

#include <glm/geometric.hpp>
#include <glm/vec3.hpp>
#include <gtest/gtest.h>

#include "voxels/CubeGeometry.h"

namespace {
glm::vec3 Corner(int vertex) {
    const float* p = kUnitCube.positions[vertex];
    return {p[0], p[1], p[2]};
}
} // namespace

TEST(CubeGeometry, TrianglesFaceOutwardAndCoverEveryFaceTwice) {
    int facesSeen[3][2] = {};
    for (int t = 0; t < 12; ++t) {
        const glm::vec3 a = Corner(3 * t), b = Corner(3 * t + 1), c = Corner(3 * t + 2);
        const float* n = kUnitCube.normals[3 * t];
        const glm::vec3 normal(n[0], n[1], n[2]);
        for (int k = 1; k < 3; ++k)
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(kUnitCube.normals[3 * t + k][i], n[i]) << "triangle " << t;

        // Counter-clockwise seen from outside: the winding normal points along the face
        // normal, and the triangle lies in the face the normal names.
        EXPECT_GT(glm::dot(glm::cross(b - a, c - a), normal), 0.0f) << "triangle " << t;
        EXPECT_FLOAT_EQ(glm::length(normal), 1.0f);
        for (const glm::vec3& corner : {a, b, c})
            EXPECT_FLOAT_EQ(glm::dot(corner, normal), 0.5f) << "triangle " << t;

        for (int axis = 0; axis < 3; ++axis)
            if (normal[axis] != 0.0f)
                ++facesSeen[axis][normal[axis] > 0.0f];
    }
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side < 2; ++side)
            EXPECT_EQ(facesSeen[axis][side], 2);

    for (int v = 0; v < 36; ++v)
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(std::fabs(kUnitCube.positions[v][i]), 0.5f);
}

TEST(CubeGeometry, FirstAndLastTrianglesMatchTheTable) {
    // Spot check of the exact vertex order the buffer is uploaded in.
    EXPECT_EQ(Corner(0), glm::vec3(-0.5f, -0.5f, -0.5f));
    EXPECT_EQ(Corner(1), glm::vec3(-0.5f, -0.5f, 0.5f));
    EXPECT_EQ(Corner(2), glm::vec3(-0.5f, 0.5f, 0.5f));
    EXPECT_EQ(Corner(33), glm::vec3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(Corner(34), glm::vec3(-0.5f, 0.5f, 0.5f));
    EXPECT_EQ(Corner(35), glm::vec3(0.5f, -0.5f, 0.5f));
    EXPECT_EQ(kUnitCube.normals[35][2], 1.0f);
}
