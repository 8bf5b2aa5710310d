// Debug lines under a real GL context: the batch against one immediate-mode
// draw per line, and physics lines in an engine frame.

#include <cstdlib>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "graphics/CameraComponent.h"
#include "graphics/DebugLineBatch.h"
#include "graphics/GraphicsTestSupport.h"
#include "graphics/Projection.h"
#include "physics/BodyComponent.h"
#include "physics/PhysicsSystem.h"
#include "physics/Shape.h"

#include <btBulletCollisionCommon.h>

namespace {

struct Line {
    glm::vec3 from, to, color;
};

class DebugLines : public InitializedGraphicsTest {
  protected:
    static std::size_t Lit(const std::vector<glm::u8vec4>& pixels) {
        std::size_t lit = 0;
        for (const glm::u8vec4& p : pixels)
            lit += p.r || p.g || p.b;
        return lit;
    }
};

TEST_F(DebugLines, OneBatchDrawsAsOneDrawPerLineRestoresTheStateAndShowsThePhysicsWorld) {
    const glm::mat4 view = glm::lookAt(glm::vec3(3, 4, 12), glm::vec3(0), glm::vec3(0, 1, 0));
    const glm::mat4 projection = PerspectiveMatrix(float(kWidth) / float(kHeight));
    std::vector<Line> lines;
    std::srand(7);
    auto unit = [] { return float(std::rand() % 1000) / 1000.0f; };
    for (int i = 0; i < 300; ++i)
        lines.push_back({{unit() * 10 - 5, unit() * 10 - 5, unit() * 10 - 5},
                         {unit() * 10 - 5, unit() * 10 - 5, unit() * 10 - 5},
                         {unit(), unit(), unit()}});
    // The frame's state: depth-tested and blended, as the engine leaves it.
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glClearColor(0, 0, 0, 1);
    glViewport(0, 0, kWidth, kHeight);

    // The reference: the same lines through the fixed-function pipeline.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(glm::value_ptr(projection));
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(glm::value_ptr(view));
    glBegin(GL_LINES);
    for (const Line& line : lines) {
        glColor3f(line.color.r, line.color.g, line.color.b);
        glVertex3f(line.from.x, line.from.y, line.from.z);
        glVertex3f(line.to.x, line.to.y, line.to.z);
    }
    glEnd();
    const std::vector<glm::u8vec4> immediate = Pixels();

    DebugLineBatch batch;
    for (const Line& line : lines)
        batch.AddLine(line.from, line.to, line.color);
    GLuint marker = 0;
    glGenBuffers(1, &marker);
    glBindBuffer(GL_ARRAY_BUFFER, marker);
    glMatrixMode(GL_TEXTURE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    batch.Draw(view, projection);
    const std::vector<glm::u8vec4> batched = Pixels();

    EXPECT_GT(Lit(batched), 3000u);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < batched.size(); ++i)
        differing += batched[i] != immediate[i];
    EXPECT_EQ(differing, 0u);
    EXPECT_EQ(batch.GetLineCount(), 0u) << "drawn lines are forgotten";

    GLint mode = 0, buffer = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
    EXPECT_EQ(mode, GL_TEXTURE);
    EXPECT_EQ(GLuint(buffer), marker);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    glDeleteBuffers(1, &marker);

    // Physics lines in an engine frame: a kinematic box (the library draws those red) seen by
    // the frame's camera while switched on.
    graphics.drawing = false;
    PhysicsSystem& physics = *core.PhysicsSystem_;
    physics.Initialize();

    const GameObject camera = Object({0, 0, 10});
    ObjectManager::AddComponent<CameraComponent>(camera)->SetActive(true);
    const GameObject box = Object({});
    BodyComponent* body = ObjectManager::AddComponent<BodyComponent>(box);
    body->isKinematic = true;
    body->pendingShape =
        Shape::Add(ShapeKind::Box, std::make_unique<btBoxShape>(btVector3(1, 1, 1)));
    body->collisionType = 1;
    body->collidesWith = 7;
    om.InitializeObj(box);

    graphics.Update(0.0f);
    EXPECT_EQ(Lit(Pixels()), 0u) << "debug drawing is off";

    physics.debugDraw = true;
    graphics.Update(0.0f);
    const std::vector<glm::u8vec4> pixels = Pixels();
    EXPECT_GT(Lit(pixels), 100u);
    for (const glm::u8vec4& p : pixels) {
        if (p.r || p.g || p.b) {
            ASSERT_EQ(p, glm::u8vec4(255, 0, 0, 255));
        }
    }
    EXPECT_EQ(pixels[(kHeight / 2) * kWidth + kWidth / 2], glm::u8vec4(0, 0, 0, 0))
        << "a wire box, not a filled one";

    // With the camera turned away, no line is in view.
    ObjectManager::GetComponent<TransformComponent>(camera)->position = {100, 0, 10};
    graphics.Update(0.0f);
    EXPECT_EQ(Lit(Pixels()), 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
