// localStorage as games use it: through scripts, across restarts of the real
// engine, over files that are not stores, and across kills in mid-write.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "script/LocalStorage.h"
#include "script/ScriptTestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Narrow(const std::optional<std::u16string>& text) {
    return text ? std::string(text->begin(), text->end()) : "(none)";
}

ino_t InodeOf(const fs::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

class LocalStorageScript : public ScriptTest {
  protected:
    TempFolder folder;
    const SaveFolderScope saves{folder.path};
    const fs::path file = folder.path / LocalStorage::kFileName;
};

TEST_F(LocalStorageScript, StoresStringsAsBrowsersDoAndWritesOnlyWhatChanged) {
    // String() of every value; null for what is absent; a stable order for key().
    EXPECT_EQ(Eval(R"(localStorage.setItem('b', 5); localStorage.setItem(null, {});
        localStorage.setItem('a', [1, 2]); localStorage.setItem('\ud800', 'x\udc00y\u{1F600}');
        [localStorage.length, localStorage.getItem('b'), localStorage.getItem('null'),
         localStorage.getItem('a'), localStorage.getItem('zz'), localStorage.key(0),
         localStorage.key(2.7), localStorage.key(-1), localStorage.key(4),
         typeof localStorage.getItem('b')].join('|'))"),
              "4|5|[object Object]|1,2||a|null|||string");
    EXPECT_EQ(Eval("localStorage.getItem('\\ud800') === 'x\\udc00y\\u{1F600}'"), "true");
    // Property writes would keep nothing: strict code is told; the class object has no store.
    EXPECT_NE(ErrorOf("'use strict'; localStorage.best = 1").find("not extensible"),
              std::string::npos);
    EXPECT_NE(ErrorOf("Storage.getItem('a')").find("Storage.getItem"), std::string::npos);
    EXPECT_NE(ErrorOf("localStorage.setItem('s', Symbol())").find("symbol"), std::string::npos);
    EXPECT_FALSE(fs::exists(file)) << "nothing is written before the frame ends";

    LocalStorage& store = LocalStorage::Instance();
    store.Flush();
    ASSERT_TRUE(fs::exists(file));
    const ino_t written = InodeOf(file);
    // Another engine over the same folder reads every code unit back, lone surrogates too.
    {
        LocalStorage second(file);
        EXPECT_EQ(second.GetLength(), 4u);
        EXPECT_EQ(*second.GetItem(u"\xD800"), u"x\xDC00y\xD83D\xDE00");
        EXPECT_EQ(*second.GetItem(u"null"), u"[object Object]");
    }
    // Stores that change nothing leave the file alone.
    Eval("localStorage.setItem('b', '5'); localStorage.removeItem('nope')");
    EXPECT_FALSE(store.HasChanges());
    store.Flush();
    EXPECT_EQ(InodeOf(file), written);
    Eval("localStorage.removeItem('a'); localStorage.clear(); localStorage.setItem('k', 'v')");
    store.Flush();
    EXPECT_NE(InodeOf(file), written);
    EXPECT_EQ(LocalStorage(file).GetLength(), 1u);
    for (const auto& entry : fs::directory_iterator(folder.path))
        EXPECT_EQ(entry.path().extension(), entry.is_directory() ? "" : ".json") << entry.path();

    // The quota counts code units of keys and values; over it nothing changes.
    const std::size_t room = LocalStorage::kQuotaUnits - 2 - 3; // "k", "v" and "big"
    EXPECT_EQ(Eval("localStorage.setItem('big', 'x'.repeat(" + std::to_string(room) +
                   ")); localStorage.length"),
              "2");
    EXPECT_EQ(Eval(R"(var caught;
        try { localStorage.setItem('k', 'vv'); } catch (e) { caught = e; }
        [caught instanceof Error, caught.name, localStorage.getItem('k'), localStorage.length,
         localStorage.getItem('big').length].join())"),
              "true,QuotaExceededError,v,2," + std::to_string(room));
    EXPECT_NE(Eval("caught.message").find("quota of 5242880"), std::string::npos);
    EXPECT_EQ(Eval("localStorage.setItem('k', ''); localStorage.setItem('k', 'w'); "
                   "localStorage.getItem('k')"),
              "w");
    store.Flush(); // here, not at exit, when the folder is gone
}

// Files that are no store are kept for the player under another name, said so,
// and the game goes on with an empty store that saves as usual; a store the
// system will not take is kept in memory until it will.
TEST_F(LocalStorageScript, FilesThatAreNoStoreAreSetAsideAndFailedWritesAreRetried) {
    std::vector<std::string> said;
    host().AddOutputListener(this, [&](const std::string& line) { said.push_back(line); });
    const std::string head = R"({"format": "marrowvale-local-storage", "version": )";
    const std::vector<std::string> broken = {
        "not json",
        "",
        "[]",
        head + "1}",
        head + R"(2, "items": []})",
        head + R"(1, "items": [["a"]]})",
        head + R"(1, "items": [["a", 1]]})",
        head + R"(1, "items": [["a", "b"], ["a", "c"]]})",
        head + R"(1, "items": [["a", "\udc00"]]})",
        head + R"(1, "items": [["a", [65536]]]})",
        head + R"(1, "items": {}, "extra": 1})",
        head + R"(1, "items": )" + std::string(200000, '['),
        R"({"format": "other", "version": 1, "items": []})",
        head + R"(1, "items": [["a", "b"]]} trailing)",
    };
    for (std::size_t i = 0; i <= broken.size() + 2; ++i) {
        fs::remove_all(folder.path);
        fs::create_directories(folder.path);
        const std::string content = i < broken.size() ? broken[i] : "";
        std::ofstream(file, std::ios::binary) << content;
        if (i == broken.size()) // bigger than a full store can be: never read
            fs::resize_file(file, LocalStorage::kMaxFileBytes + 1);
        else if (i > broken.size())
            fs::remove(file);
        if (i == broken.size() + 1)
            fs::create_directory(file);
        else if (i == broken.size() + 2)
            ::mkfifo(file.c_str(), 0600); // would block a reader for ever
        std::ofstream(folder.path / "localStorage.json.corrupt") << "an earlier one";
        said.clear();
        LocalStorage store(file);
        EXPECT_EQ(store.GetLength(), 0u) << i;
        ASSERT_EQ(said.size(), 1u) << i;
        EXPECT_NE(said[0].find(file.string() + " is not a saved store"), std::string::npos)
            << said[0];
        EXPECT_NE(said[0].find("set aside as localStorage.json.corrupt-1"), std::string::npos)
            << said[0];
        if (i < broken.size()) {
            EXPECT_EQ(Read(folder.path / "localStorage.json.corrupt-1"), content) << i;
        }
        EXPECT_EQ(Read(folder.path / "localStorage.json.corrupt"), "an earlier one");
        ASSERT_TRUE(store.SetItem(u"fresh", u"start"));
        store.Flush();
        EXPECT_EQ(Narrow(LocalStorage(file).GetItem(u"fresh")), "start") << i;
    }

    // A write the system refuses is said once, and tried again until it succeeds;
    // that ends the failure, so the same failure coming back is said again.
    const fs::path blocker = folder.path / "blocker", blocked = blocker / LocalStorage::kFileName;
    const auto block = [&] {
        fs::remove_all(blocker);
        std::ofstream(blocker) << "a file where the store's folder should be";
    };
    block();
    said.clear();
    {
        LocalStorage store(blocked);
        ASSERT_TRUE(store.SetItem(u"kept", u"yes"));
        store.Flush();
        store.Flush();
        ASSERT_EQ(said.size(), 1u);
        EXPECT_NE(said[0].find("cannot save " + blocked.string() + ": Not a directory"),
                  std::string::npos)
            << said[0];
        EXPECT_EQ(store.GetFailure(), "Not a directory");
        EXPECT_TRUE(store.HasChanges());
        fs::remove(blocker);
        store.Flush();
        EXPECT_FALSE(store.HasChanges());
        EXPECT_EQ(store.GetFailure(), "");
        EXPECT_EQ(Narrow(LocalStorage(blocked).GetItem(u"kept")), "yes");
        block();
        ASSERT_TRUE(store.SetItem(u"kept", u"again"));
        store.Flush();
        ASSERT_EQ(said.size(), 2u);
        EXPECT_EQ(said[1], said[0]);
        fs::remove(blocker);
    }
    EXPECT_EQ(Narrow(LocalStorage(blocked).GetItem(u"kept")), "again");
    host().RemoveOutputListener(this);
}

// The real engine, run as a player runs it: a value set while the game shuts
// down is saved, and a game killed while it writes every frame leaves a store
// that loads, holding one frame's values, which the next start continues from.
TEST(LocalStorageEngine, SurvivesRestartsAndKillsInMidWrite) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "the engine opens its window; run under xvfb-run";
    const TempFolder game;
    const fs::path save = game.path / "save", file = save / LocalStorage::kFileName;
    game.Write("postInit.js", "");
    const auto start = [&](const char* frames) {
        const pid_t child = ::fork();
        if (child == 0) {
            const int quiet = ::open((game.path / "log.txt").c_str(), O_WRONLY | O_CREAT, 0600);
            ::dup2(quiet, 1), ::dup2(quiet, 2);
            const std::string engine = MARROWVALE_BINARY_DIR "/marrowvale";
            // Without a frame count it runs until it is killed.
            ::execl(engine.c_str(), engine.c_str(), "--resource", game.path.c_str(), "--save-dir",
                    save.c_str(), frames ? "--frames" : nullptr, frames,
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return child;
    };
    int status = 0;
    game.Write("startup.js", R"(var obj = Core.Instance().objectManager.NewObject();
        ObjectManager.AddScriptUpdateComponent(obj).destructFunction =
            () => localStorage.setItem('farewell', 'said at exit');)");
    ASSERT_EQ(::waitpid(start("3"), &status, 0) > 0 && WIFEXITED(status), true);
    EXPECT_EQ(Narrow(LocalStorage(file).GetItem(u"farewell")), "said at exit")
        << Read(game.path / "log.txt");

    game.Write("startup.js", R"(var n = Number(localStorage.getItem('n') || 0);
        localStorage.setItem('started at', String(n));
        function tick() {
            localStorage.setItem('n', String(++n));
            localStorage.setItem('blob', String(n).repeat(40000));
            requestAnimationFrame(tick);
        }
        requestAnimationFrame(tick);)");
    long last = 0;
    for (int round = 0; round < 3; ++round) {
        const pid_t child = start(nullptr);
        // Until this run has written twice: a copy is read, as the engine may be renaming.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (long seen = 0; seen < last + 2 && std::chrono::steady_clock::now() < giveUp;) {
            std::error_code ignored;
            fs::copy_file(file, game.path / "copy.json", fs::copy_options::overwrite_existing,
                          ignored);
            const auto n = LocalStorage(game.path / "copy.json").GetItem(u"n");
            seen = n ? std::stol(Narrow(n)) : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 17));
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);

        LocalStorage after(file);
        const auto n = after.GetItem(u"n"), blob = after.GetItem(u"blob");
        ASSERT_TRUE(n && blob) << "round " << round << ": " << Read(game.path / "log.txt");
        const std::string number = Narrow(n);
        EXPECT_EQ(Narrow(after.GetItem(u"started at")), std::to_string(last));
        EXPECT_GE(std::stol(number), last + 2) << round;
        std::u16string expected;
        for (int i = 0; i < 40000; ++i)
            expected.append(n->begin(), n->end());
        EXPECT_TRUE(*blob == expected) << "the blob of frame " << number << " is not whole";
        EXPECT_FALSE(fs::exists(save / "localStorage.json.corrupt"));
        last = std::stol(number);
    }
}

} // namespace
