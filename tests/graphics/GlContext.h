#pragma once

#include <cstdlib>
#include <memory>

#include <GL/glew.h>
#include <SFML/Window/Context.hpp>
#include <gtest/gtest.h>

// Base for tests that need a current GL context with GLEW loaded. Without a display the
// tests are skipped; ctest runs them under xvfb-run.
class GlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no DISPLAY; run under xvfb-run";
        context = std::make_unique<sf::Context>(sf::ContextSettings(24, 8, 0), 64, 64);
        ASSERT_TRUE(context->setActive(true));
        glewExperimental = GL_TRUE;
        ASSERT_EQ(glewInit(), GLEW_OK);
        ASSERT_TRUE(GLEW_VERSION_3_3) << "OpenGL 3.3 is needed";
        while (glGetError() != GL_NO_ERROR) {
        }
    }

    std::unique_ptr<sf::Context> context;
};
