#pragma once

#include <string>
#include <vector>

#include <GL/glew.h>
#include <glm/gtc/type_precision.hpp>
#include <gtest/gtest.h>

#include "core/Core.h"
#include "graphics/GlContext.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/PixelBounds.h"
#include "graphics/TransformComponent.h"
#include "messaging/Message.h"
#include "objects/ObjectManager.h"
#include "script/ScriptTestSupport.h"

// The engine's graphics system drawing into the test window at the window's size. Pixels
// are read back before anything presents the frame.
class GraphicsTest : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        core.SetResourceDir(std::string(MARROWVALE_SOURCE_DIR) + "/resource");
        core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(kWidth, kHeight));
    }

    void Initialize() {
        testing::internal::CaptureStdout(); // shader build reports
        graphics.Initialize();
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(graphics.glReady);
    }
    void Frame() {
        graphics.Update(0.0f);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    glm::ivec4 Pixel(int x, int y) {
        unsigned char p[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2], p[3]};
    }
    glm::ivec4 Centre() { return Pixel(kWidth / 2, kHeight / 2); }
    // The whole frame, bottom row first.
    static std::vector<glm::u8vec4> Pixels(unsigned width = kWidth, unsigned height = kHeight) {
        std::vector<glm::u8vec4> pixels(std::size_t(width) * height);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }
    PixelBounds Drawn() { return DrawnBounds(kWidth, kHeight); }

    GameObject Object(glm::vec3 position) {
        const GameObject obj = om.NewObject();
        ObjectManager::AddComponent<TransformComponent>(obj)->position = position;
        return obj;
    }

    Core& core = Core::Instance();
    GraphicsSystem& graphics = *core.GraphicsSystem_;
    ObjectManager& om = *core.objectManager;
};

// For tests that draw from their first line.
class InitializedGraphicsTest : public GraphicsTest {
  protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure())
            Initialize();
    }
};

// For tests that draw what scripts set up: the script host is ready from the first line.
class ScriptedGraphicsTest : public GraphicsTest, protected ScriptRunner {
  protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(host().Initialize());
    }
};
