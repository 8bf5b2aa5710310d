#pragma once

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "messaging/Message.h"
#include "messaging/MessageListener.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "window/WindowSystem.h"

// Keeps every broadcast it hears, in order.
class MessageRecorder : public MessageListener {
  public:
    explicit MessageRecorder(MessageManager& messages) : messages(messages) {
        listener = new MessageListener::MessageListenerDerived<MessageRecorder>(this);
        messages.AddListener(*this, 0);
    }
    ~MessageRecorder() override { messages.RemoveListener(listener); }

    void HandleMessage(const MessagePointer& message) {
        received.push_back(message);
        if (onMessage)
            onMessage(message);
    }

    template <class T> std::vector<T> All() const {
        std::vector<T> found;
        for (const MessagePointer& message : received)
            if (const T* record = message.As<T>())
                found.push_back(*record);
        return found;
    }

    std::vector<MessagePointer> received;
    std::function<void(const MessagePointer&)> onMessage;

  private:
    MessageManager& messages;
};

// Tests of the real window; skipped without an X display (`make test`
// provides a virtual one).
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no DISPLAY; run under xvfb-run";
        window = Core::Instance().WindowSystem_;
        recorder = std::make_unique<MessageRecorder>(*Core::Instance().messageManager);
    }

    // Opens the window at that size with the renderer ready and the engine's
    // resources, as the engine starts them; the renderer's build reports are
    // kept off the test's output.
    void OpenWithGraphics(unsigned width, unsigned height) {
        Core& core = Core::Instance();
        core.SetResourceDir(std::string(MARROWVALE_SOURCE_DIR) + "/resource");
        window->initialWidth = width;
        window->initialHeight = height;
        window->Initialize();
        ASSERT_TRUE(window->IsOpen());
        core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(width, height));
        testing::internal::CaptureStdout();
        core.GraphicsSystem_->Initialize();
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(core.GraphicsSystem_->glReady);
    }

    // Runs `frame` until `done` holds or `seconds` pass.
    static bool Until(const std::function<void()>& frame, const std::function<bool()>& done,
                      double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            frame();
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // Runs window frames until `done` holds or `seconds` pass.
    bool PumpUntil(const std::function<bool()>& done, double seconds = 3.0) {
        return Until([this] { window->Update(0.0f); }, done, seconds);
    }

    // Runs xdotool; "$W" stands for this window.
    void Xdotool(const std::string& arguments) {
        const std::string id = std::to_string(window->GetWindow().getSystemHandle());
        std::string command = "xdotool " + arguments;
        for (std::size_t at; (at = command.find("$W")) != std::string::npos;)
            command.replace(at, 2, id);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // One frame of what the test runs; the window's events alone unless the test
    // runs more.
    virtual void Frame() { window->Update(0.0f); }

    // Runs frames until `done` holds or `seconds` pass.
    bool FramesUntil(const std::function<bool()>& done, double seconds = 5.0) {
        return Until([this] { Frame(); }, done, seconds);
    }
    void Wait(double seconds) {
        FramesUntil([] { return false; }, seconds);
    }

    // Moves the pointer to a window pixel and runs frames until the window has seen it.
    void MoveTo(sf::Vector2i at) {
        Xdotool("mousemove --window $W " + std::to_string(at.x) + " " + std::to_string(at.y));
        EXPECT_TRUE(FramesUntil([&] { return window->GetMousePos() == at; }))
            << "pointer at " << at.x << "," << at.y;
    }
    // Clicks at a window pixel (xdotool's buttons: 1 left, 3 right, 4 and 5 the wheel)
    // and lets frames see it.
    void ClickAt(sf::Vector2i at, int button = 1) {
        Xdotool("mousemove --window $W " + std::to_string(at.x) + " " + std::to_string(at.y) +
                " click " + std::to_string(button));
        Wait(0.15);
    }
    // Presses keys by xdotool's names on this window and lets frames see them.
    void Keys(const std::string& keys) {
        Xdotool("key --delay 30 --window $W " + keys);
        Wait(0.15);
    }
    // A pixel of the frame being drawn (window pixels, y down), read before it is shown.
    sf::Color DrawnPixel(sf::Vector2i at) const {
        unsigned char p[4] = {};
        glReadPixels(at.x, int(window->GetHeight()) - 1 - at.y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return sf::Color(p[0], p[1], p[2]);
    }

    // Where the renderer's last view draws a world point, in window pixels (y down).
    sf::Vector2i ScreenOf(const glm::vec3& point) const {
        const GraphicsSystem& graphics = *Core::Instance().GraphicsSystem_;
        const int w = int(window->GetWidth()), h = int(window->GetHeight());
        const glm::vec3 at = glm::project(point, graphics.GetCameraMatrix(),
                                          graphics.GetProjectionMatrix(), glm::vec4(0, 0, w, h));
        return {int(std::lround(at.x)), h - int(std::lround(at.y))};
    }

    // Lets the server deliver whatever it still had to say.
    void Settle(double seconds = 0.2) {
        PumpUntil([] { return false; }, seconds);
    }

    template <class T> bool PumpUntilReceived(std::size_t count = 1) {
        return PumpUntil([&] { return recorder->All<T>().size() >= count; });
    }

    // Every window size announced so far, in order.
    std::vector<sf::Vector2u> AnnouncedSizes() const {
        std::vector<sf::Vector2u> sizes;
        for (const VideoSizeChangeMessage& size : recorder->All<VideoSizeChangeMessage>())
            sizes.emplace_back(size.width, size.height);
        return sizes;
    }

    WindowSystem* window = nullptr;
    std::unique_ptr<MessageRecorder> recorder;
};
