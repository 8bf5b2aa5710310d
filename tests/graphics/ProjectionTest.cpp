#include <cmath>

#include <glm/ext/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "graphics/MatrixStack.h"
#include "graphics/Projection.h"

namespace {

template <class Vector>
void ExpectNear(const Vector& actual, const glm::vec3& expected, float tolerance) {
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

const float kTan30 = 0.57735026f;
// The rounded depth constants put the far plane at 499.33 rather than 500.
const float kFar = 499.3319f;
const float kQuarter = std::sqrt(0.5f); // (0, kQuarter, 0, kQuarter): a quarter turn about +y

} // namespace

TEST(MatrixStack, PushesProductsAndResetsToIdentity) {
    MatrixStack stack;
    const glm::mat4 a = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3));
    const glm::mat4 b = glm::rotate(glm::mat4(1.0f), 0.5f, glm::vec3(0, 1, 0));
    stack.MultiplyPush(a);
    stack.MultiplyPush(b);
    EXPECT_EQ(stack.Top(), a * b);
    stack.Reset();
    EXPECT_EQ(stack.Top(), glm::mat4(1.0f));
}

// The rays pin the projection too: 60 degrees high, near 0.01, far (nearly) 500.
TEST(MouseRay, MatchesTheHandComputedRays) {
    const glm::mat4 projection = PerspectiveMatrix(1.6f);
    const glm::ivec4 viewport(0, 0, 1280, 800);
    MouseRay ray = ComputeMouseClickRay(640, 400, glm::mat4(1.0f), projection, viewport, 800);
    ExpectNear(ray.start, {0, 0, -0.01f}, 1e-6f);
    ExpectNear(ray.end, {0, 0, -kFar}, 0.01f);

    // Mouse (0, 0) is the top-left corner of the window.
    ray = ComputeMouseClickRay(0, 0, glm::mat4(1.0f), projection, viewport, 800);
    ExpectNear(ray.start, {-0.01f * 1.6f * kTan30, 0.01f * kTan30, -0.01f}, 1e-6f);
    ExpectNear(ray.end, {-kFar * 1.6f * kTan30, kFar * kTan30, -kFar}, 0.02f);

    // A camera at (10, 0, 0) looking along +x; below the centre the ray goes down.
    const glm::mat4 view = ViewMatrix({10, 0, 0}, QuatFromXYZW(0, kQuarter, 0, kQuarter));
    ray = ComputeMouseClickRay(640, 400, view, projection, viewport, 800);
    ExpectNear(ray.start, {10.01f, 0, 0}, 1e-5f);
    ExpectNear(ray.end, {10 + kFar, 0, 0}, 0.02f);
    ray = ComputeMouseClickRay(640, 600, view, projection, viewport, 800);
    ExpectNear(ray.end, {10 + kFar, -kFar * 0.5f * kTan30, 0}, 0.02f);
}
