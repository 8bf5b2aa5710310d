#pragma once

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include <GL/glew.h>
#include <SFML/Window/Context.hpp>
#include <X11/Xlib.h>
#include <gtest/gtest.h>

// An X server started without -noreset resets whenever its last client leaves and drops
// connections made meanwhile; the windowing library aborts the process when its own
// connection fails. Retries until connected; the caller holds the connection for the whole
// test so the server cannot reset under the library. Null when no connection succeeds.
inline Display* HoldDisplay() {
    Display* display = nullptr;
    for (int attempt = 0; attempt < 100 && !display; ++attempt) {
        display = XOpenDisplay(nullptr);
        if (!display)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return display;
}

// Base for tests that need a current GL context with GLEW loaded. Without a display the
// tests are skipped; ctest runs them under xvfb-run.
class GlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no DISPLAY; run under xvfb-run";
        display = HoldDisplay();
        ASSERT_NE(display, nullptr) << "cannot connect to display " << std::getenv("DISPLAY");
        context = std::make_unique<sf::Context>(sf::ContextSettings(24, 8, 0), 64, 64);
        ASSERT_TRUE(context->setActive(true));
        glewExperimental = GL_TRUE;
        ASSERT_EQ(glewInit(), GLEW_OK);
        ASSERT_TRUE(GLEW_VERSION_3_3) << "OpenGL 3.3 is needed";
        while (glGetError() != GL_NO_ERROR) {
        }
    }

    void TearDown() override {
        context.reset();
        if (display)
            XCloseDisplay(display);
    }

    Display* display = nullptr;
    std::unique_ptr<sf::Context> context;
};
