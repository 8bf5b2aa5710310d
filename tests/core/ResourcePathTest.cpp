// Files named by scripts: which file a name means, which names are refused, and which
// files are never read.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "base/Path.h"
#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "script/ScriptTestSupport.h"
#include "voxels/VoxelModel.h"

namespace {

namespace fs = std::filesystem;

TEST(ResourcePath, DefaultGameNamesAndEnginePathsFollowTheResourceFolder) {
    EXPECT_EQ(ResolvePath("../resource/Models/a.vxm"), "../resource/Models/a.vxm");
    SetResourceFolder("/games/hill");
    EXPECT_EQ(GetResourceFolder(), "/games/hill/");
    EXPECT_EQ(ResolvePath("../resource/Models/a.vxm"), "/games/hill/Models/a.vxm");
    EXPECT_EQ(ResolvePath("..\\resource\\Models\\a.vxm"), "/games/hill/Models/a.vxm");
    for (const char* other : {"../resources/a.vxm", "Models/a.vxm", "/x/../resource/a.vxm"})
        EXPECT_EQ(ResolvePath(other), other);
    SetResourceFolder("");
    EXPECT_EQ(GetResourceFolder(), "../resource/");
    // The engine's own files are named the same way.
    Core& core = Core::Instance();
    EXPECT_EQ(core.GetResourcePath("Scripts/startup.js"), "../resource/Scripts/startup.js");
    core.SetResourceDir("/opt/game");
    EXPECT_EQ(core.GetResourcePath("Scripts/startup.js"), "/opt/game/Scripts/startup.js");
}

class ScriptPaths : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        fs::create_directories(folder.path / "Models");
        VoxelModel one;
        one.voxels.resize(1);
        const SaveFolderScope writable(folder.path);
        ASSERT_TRUE(one.SaveToFile((folder.path / "Models/one.vxm").string()));
        folder.Write("more.js", "var moreRan = true;");
        Core::Instance().SetResourceDir(folder.path.string());
        Eval("var g = Core.Instance().GraphicsSystem_; var dir = '" + folder.path.string() + "/';");
    }
    void TearDown() override { Core::Instance().SetResourceDir(""); }

    GraphicsSystem& graphics = *Core::Instance().GraphicsSystem_;
    TempFolder folder;
};

// A save folder takes the game's writes and is read first; other names and an
// unset folder are left alone.
TEST(ResourcePath, ASaveFolderTakesWritesAndIsReadFirst) {
    const fs::path saves = fs::temp_directory_path() / "marrowvale saves test";
    fs::remove_all(saves);
    SetResourceFolder("/game");
    SetSaveFolder(saves.string());
    EXPECT_EQ(ResolvePath("../resource/Models/a.vxm"), "/game/Models/a.vxm") << "nothing saved yet";
    const std::string written = ResolveWritePath("../resource/Models/a.vxm");
    EXPECT_EQ(written, (saves / "Models/a.vxm").string());
    EXPECT_TRUE(fs::is_directory(saves / "Models")) << "its folder is made for the writer";
    VoxelModel model;
    model.voxels.resize(2);
    ASSERT_TRUE(model.SaveToFile("../resource/Models/a.vxm"));
    EXPECT_TRUE(fs::is_regular_file(saves / "Models/a.vxm"));
    EXPECT_EQ(ResolvePath("../resource/Models/a.vxm"), written) << "the saved file is read";
    EXPECT_EQ(ResolveWritePath("/elsewhere/b.vxm"), "/elsewhere/b.vxm");
    SetSaveFolder("");
    EXPECT_EQ(ResolveWritePath("../resource/Models/a.vxm"), "/game/Models/a.vxm");
    SetResourceFolder("");
    fs::remove_all(saves);
}

TEST_F(ScriptPaths, GameNamesResolveAndOnlyRegularFilesAndFaithfulNamesAreRead) {
    EXPECT_EQ(Eval("Core.Instance().resourceFolder"), folder.path.string() + "/");
    EXPECT_EQ(Eval("Core.Instance().resourceFolder = 'x'; Core.Instance().resourceFolder"),
              folder.path.string() + "/")
        << "read-only";

    // Names written for the default folder find the game's files.
    Eval("g.GetModel('../resource/Models/one.vxm'); RunFile('../resource/Scripts/more.js')");
    EXPECT_EQ(graphics.GetModel("../resource/Models/one.vxm")->voxels.size(), 1u);
    EXPECT_EQ(Eval("moreRan"), "true");

    // A device (a FIFO would block, /dev/urandom never ends), a folder or a missing file is
    // refused before any read, and said once.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Eval("[g.GetModel(dir + 'Models/one.vxm').LoadFromFile('/dev/zero'),"
                   " g.GetModel('/dev/zero') && g.GetTexture('/dev/zero').GetWidth()].join()"),
              "false,0");
    Eval("g.GetModel(dir + 'Models'); g.GetModel(dir + 'none.vxm'); g.GetModel(dir + 'none.vxm')");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(CountOf(err, "not a regular file"), 3u) << err;
    EXPECT_EQ(CountOf(err, "a folder, not a file"), 1u) << err;
    EXPECT_EQ(CountOf(err, "none.vxm: no such file"), 1u) << err;

    // A NUL or a character above 255 would name another file: an error, and nothing is
    // written or read.
    for (const char* call :
         {"g.GetModel(dir + 'Models/one.vxm\\u0000.png')", "g.GetTexture('\\u012e\\u012e/x.png')",
          "g.GetModel(dir + 'Models/one.vxm').SaveToFile(dir + 'x.vxm\\u0000.png')",
          "g.GetModel(dir + 'Models/one.vxm').LoadFromFile(dir + '\\u012e\\u012e/one.vxm')",
          "RunFile(dir + 'Scripts/more.js\\u0000')"}) {
        EXPECT_NE(ErrorOf(call).find("must be file path (string, no NUL"), std::string::npos)
            << call;
    }
    EXPECT_FALSE(fs::exists(folder.path / "x.vxm"));
    EXPECT_EQ(Eval("g.GetModel(dir + 'Models/one.vxm').LoadFromFile(dir + 'Models/one.vxm')"),
              "true");
}

} // namespace
