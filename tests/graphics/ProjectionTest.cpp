#include <cmath>
#include <cstdint>
#include <cstring>

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <gtest/gtest.h>

#include "graphics/MatrixStack.h"
#include "graphics/Projection.h"

namespace {

std::uint32_t Bits(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

void ExpectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance) {
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
}

const float kTan30 = 0.57735026f;

// The depth constants put the far plane at about 499.33 rather than exactly 500 (float
// rounding of -1.00004); far points are checked against that plane and along the ray.
const float kFar = 499.33f;

} // namespace

TEST(MatrixStack, PushesProductsAndResetsToIdentity) {
    MatrixStack stack;
    EXPECT_EQ(stack.Top(), glm::mat4(1.0f));
    const glm::mat4 a = glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3));
    const glm::mat4 b = glm::rotate(glm::mat4(1.0f), 0.5f, glm::vec3(0, 1, 0));
    stack.MultiplyPush(a);
    stack.MultiplyPush(b);
    EXPECT_EQ(stack.Top(), a * b); // the new matrix applies first
    stack.Reset();
    EXPECT_EQ(stack.Top(), glm::mat4(1.0f));
    stack.MultiplyPush(b);
    EXPECT_EQ(stack.Top(), b);
}

TEST(Projection, PerspectiveHasTheFixedConstants) {
    const glm::mat4 m = PerspectiveMatrix(1280.0f / 800.0f);
    const float* e = glm::value_ptr(m);
    const float f = e[5];
    EXPECT_NEAR(f, 1.0f / kTan30, 1e-6f);
    EXPECT_EQ(e[0], f / 1.6f);
    EXPECT_EQ(Bits(e[10]), 0xBF800150u);
    EXPECT_EQ(e[11], -1.0f);
    EXPECT_EQ(Bits(e[14]), 0xBCA3D7E1u);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15})
        EXPECT_EQ(e[i], 0.0f) << "element " << i;

    // The same as a textbook 60-degree, near 0.01, far 500 projection to float precision.
    const glm::mat4 reference = glm::perspectiveRH_NO(glm::radians(60.0f), 1.6f, 0.01f, 500.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(e[i], glm::value_ptr(reference)[i], 1e-6f) << "element " << i;
}

TEST(Projection, RotationFollowsTheColumnFormulaForAnyQuaternion) {
    // Deliberately not of unit length: the engine never normalizes.
    const float x = 0.3f, y = -0.5f, z = 0.7f, w = 1.2f;
    const glm::mat4 r = RotationMatrix(QuatFromXYZW(x, y, z, w));
    const glm::vec3 columns[3] = {
        {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w)},
        {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w)},
        {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y)},
    };
    for (int c = 0; c < 3; ++c) {
        ExpectNear(glm::vec3(r[c]), columns[c], 1e-6f);
        EXPECT_EQ(r[c][3], 0.0f);
        EXPECT_EQ(r[3][c], 0.0f);
    }
    EXPECT_EQ(r[3][3], 1.0f);
    EXPECT_EQ(QuatFromXYZW(glm::vec4(x, y, z, w)), QuatFromXYZW(x, y, z, w));
}

TEST(Projection, ViewMatrixTranslatesThenRotates) {
    // A quarter turn about +y: world +x becomes camera -z (straight ahead).
    const float s = std::sqrt(0.5f);
    const glm::mat4 view = ViewMatrix({10, 2, 0}, QuatFromXYZW(0, s, 0, s));
    ExpectNear(glm::vec3(view * glm::vec4(1, 0, 0, 0)), {0, 0, -1}, 1e-6f);
    ExpectNear(glm::vec3(view * glm::vec4(15, 2, 0, 1)), {0, 0, -5}, 1e-5f);
    ExpectNear(glm::vec3(view * glm::vec4(10, 3, 0, 1)), {0, 1, 0}, 1e-5f);

    EXPECT_EQ(ViewMatrix({0, 0, 0}, QuatFromXYZW(0, 0, 0, 1)), glm::mat4(1.0f));
}

TEST(MouseRay, CentrePixelOfAnIdentityCameraLooksDownMinusZ) {
    const glm::mat4 projection = PerspectiveMatrix(1.6f);
    const MouseRay ray =
        ComputeMouseClickRay(640, 400, glm::mat4(1.0f), projection, {0, 0, 1280, 800}, 800);
    ExpectNear(ray.start, {0, 0, -0.01f}, 1e-6f);
    ExpectNear(ray.end, {0, 0, -kFar}, 0.01f);
}

TEST(MouseRay, TopLeftPixelGoesThroughTheFrustumCorner) {
    // Mouse (0, 0) is the top-left corner: window y = 800, left and top of the frustum.
    const MouseRay ray = ComputeMouseClickRay(0, 0, glm::mat4(1.0f), PerspectiveMatrix(1.6f),
                                              {0, 0, 1280, 800}, 800);
    ExpectNear(ray.start, {-0.01f * 1.6f * kTan30, 0.01f * kTan30, -0.01f}, 1e-6f);
    ExpectNear(ray.end, {-kFar * 1.6f * kTan30, kFar * kTan30, -kFar}, 0.02f);
}

TEST(MouseRay, FollowsTheCamera) {
    // Camera at (10, 0, 0) looking along +x (see ViewMatrixTranslatesThenRotates).
    const float s = std::sqrt(0.5f);
    const glm::mat4 view = ViewMatrix({10, 0, 0}, QuatFromXYZW(0, s, 0, s));
    const MouseRay ray = ComputeMouseClickRay(400, 300, view, PerspectiveMatrix(800.0f / 600.0f),
                                              {0, 0, 800, 600}, 600);
    ExpectNear(ray.start, {10.01f, 0, 0}, 1e-5f);
    ExpectNear(ray.end, {10.0f + kFar, 0, 0}, 0.02f);

    // A pixel below the centre (mouse y grows downwards) gives a ray that goes down.
    const MouseRay lower = ComputeMouseClickRay(400, 500, view, PerspectiveMatrix(800.0f / 600.0f),
                                                {0, 0, 800, 600}, 600);
    EXPECT_LT(lower.end.y, -100.0f);
    EXPECT_NEAR(lower.end.z, 0.0f, 0.01f);
}
