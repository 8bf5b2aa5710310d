#pragma once

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include <SFML/Graphics/RenderWindow.hpp>
#include <X11/Xlib.h>
#include <gtest/gtest.h>

// A real window under the test display with its GL context current; without a display the
// tests are skipped (ctest runs them under xvfb-run). An X server started without -noreset
// resets whenever its last client leaves and drops connections made meanwhile, and the
// windowing library aborts the process when its own connection fails: the fixture retries
// until connected and holds its connection for the whole test so the server cannot reset.
class GlTest : public ::testing::Test {
  protected:
    static constexpr unsigned kWidth = 160;
    static constexpr unsigned kHeight = 120;

    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no DISPLAY; run under xvfb-run";
        for (int attempt = 0; attempt < 100 && !(display = XOpenDisplay(nullptr)); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_NE(display, nullptr) << "cannot connect to display " << std::getenv("DISPLAY");
        window =
            std::make_unique<sf::RenderWindow>(sf::VideoMode(kWidth, kHeight), "test",
                                               sf::Style::Default, sf::ContextSettings(24, 8, 0));
        ASSERT_TRUE(window->setActive(true));
    }

    void TearDown() override {
        window.reset();
        if (display)
            XCloseDisplay(display);
    }

    Display* display = nullptr;
    std::unique_ptr<sf::RenderWindow> window;
};
