// Without a display the windowing library would end the process. Start-up
// must fail with advice instead, and the window system must stay harmless.
// Each test runs in a process of its own (tests/CMakeLists.txt), so nothing
// has reached a display before the test takes DISPLAY away.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "script/ScriptTestSupport.h"
#include "window/WindowTestSupport.h"

namespace {

TEST(WindowWithoutDisplay, StartUpFailsWithAdviceAndEveryOperationIsHarmless) {
    ::unsetenv("DISPLAY");
    TempFolder folder;
    // Before the window is made, from the start-up script.
    folder.Write("startup.js",
                 "var ws = Core.Instance().WindowSystem_;"
                 "var before = [ws.DesktopWidth(), ws.DesktopHeight(), ws.IsKeyDown(Code.A),"
                 " ws.IsMouseButtonDown(Button.Left)].join();");
    // After start-up failed: every function once.
    folder.Write("postInit.js",
                 "ws.SetVideoMode(800, 600, 32); ws.ToggleFullScreen(); ws.ToggleVSync();"
                 "ws.HideWindow(); ws.MinimizeWindow(); ws.MaximizeWindow(); ws.Screenshot();"
                 "ws.PrintAvailableVideoModes(); ws.CloseWindow();"
                 "var after = [ws.GetMousePos().join(' '), ws.NumVideoModes(),"
                 " ws.GetVideoMode(0).width, ws.GetCurrentVideoMode().width, ws.GetWidth(),"
                 " ws.fullScreen].join();");
    Core& core = Core::Instance();
    core.SetResourceDir(folder.path.string());
    MessageRecorder recorder(*core.messageManager);

    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    core.Init();
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(err.find("[Error] (0) : Cannot open the window: DISPLAY is not set"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("xvfb-run"), std::string::npos);
    EXPECT_EQ(err.find(".js:"), std::string::npos) << "no script failed: " << err;
    EXPECT_EQ(err.find("OpenGL"), std::string::npos) << "the renderer waits for a window: " << err;
    EXPECT_TRUE(core.startupFailed);
    EXPECT_FALSE(core.running);
    EXPECT_EQ(recorder.All<QuittingMessage>().size(), 1u);

    WindowSystem& window = *core.WindowSystem_;
    EXPECT_FALSE(window.IsOpen());
    EXPECT_EQ(out, "\n") << "no modes to list";
    std::string seen;
    ASSERT_TRUE(ScriptHost::Instance().Evaluate("before + ' / ' + after", "check.js", &seen));
    EXPECT_EQ(seen, "0,0,false,false / 0 0,0,0,0,1280,false");

    // A script may restart the loop; frames then run without a window.
    core.running = true;
    core.RunFrame();
    EXPECT_FALSE(window.IsOpen());
}

TEST(WindowWithoutDisplayNamed, AnUnreachableDisplayIsNamedInTheMessage) {
    ::setenv("DISPLAY", ":4711", 1);
    ::testing::internal::CaptureStderr();
    Core::Instance().WindowSystem_->Initialize();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("the X display \":4711\" (DISPLAY) cannot be opened"), std::string::npos)
        << err;
    EXPECT_TRUE(Core::Instance().startupFailed);
}

} // namespace
