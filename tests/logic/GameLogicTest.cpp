// The game logic system's frame: the per-frame script function, the component
// families in order, the freeze rule, the mouse pick and the game states.

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <js/GCAPI.h>

#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "logic/FrameUpdateComponent.h"
#include "logic/GameLogicSystem.h"
#include "logic/GameState.h"
#include "logic/GameStateScript.h"
#include "logic/ScriptGameState.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "objects/ObjectManager.h"
#include "script/ScriptTestSupport.h"
#include "tools/TweakBar.h"
#include "window/WindowTestSupport.h"

namespace {

// One log for C++ and script, so the order between them shows.
std::vector<std::string> journal;
struct Journal {
    static void Add(std::string entry) { journal.push_back(std::move(entry)); }
};
using J = script::ScriptClass<Journal>;
const J journalClass("Journal", {J::Function<&Journal::Add>("Add")});

std::string Joined() {
    std::string text;
    for (const std::string& entry : journal)
        text += (text.empty() ? "" : " ") + entry;
    journal.clear();
    return text;
}

// A state that logs its steps and builds one object; `switchTo` makes its
// next Update ask for another state.
template <char Name> class LoggingState : public GameState {
  public:
    static LoggingState& Instance() {
        static LoggingState state;
        return state;
    }
    void Initialize() override {
        Journal::Add(std::string(1, Name) + ".init");
        built = Core::Instance().objectManager->NewObject();
    }
    void Cleanup() override { Journal::Add(std::string(1, Name) + ".cleanup"); }
    void Update(float dt) override {
        Journal::Add(std::string(1, Name) + ".update(" + std::to_string(int(dt * 1000)) + ")");
        if (switchTo)
            nextState = std::exchange(switchTo, nullptr);
    }
    GameObject built;
    GameState* switchTo = nullptr;
};
using StateA = LoggingState<'A'>;
using StateB = LoggingState<'B'>;
using SA = script::ScriptClass<StateA>;
using SB = script::ScriptClass<StateB>;
const SA stateAClass("TestStateA", GameStateMembers<StateA>(), GameStateOptions<StateA>());
const SB stateBClass("TestStateB", GameStateMembers<StateB>(), GameStateOptions<StateB>());

class GameLogic : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        journal.clear();
        Eval("var gls = Core.Instance().GameLogicSystem_, om = Core.Instance().objectManager;");
    }
    static GameLogicSystem& logic() { return *Core::Instance().GameLogicSystem_; }
    static ObjectManager& objects() { return *Core::Instance().objectManager; }
    // One game-logic update and the end-of-frame carry-out.
    static std::string Frame(float dt = 0.016f) {
        logic().Update(dt);
        objects().Update();
        return Joined();
    }
};

TEST_F(GameLogic, ProfileBarShowsOneReadOutPerStepAndMouseMessagesMoveThePick) {
    MessageRecorder recorder(*Core::Instance().messageManager);
    logic().debugDraw = true;
    logic().Initialize();
    EXPECT_FALSE(logic().debugDraw);
    EXPECT_TRUE(recorder.All<SetBarVisibleMessage>().at(0).visible);

    // Each read-out shows its own step's time; the click-box step has none.
    Eval("gls.updateFunction = function() { for (var i = 0, s = 0; i < 200000; ++i) s += i; }");
    Frame();
    std::string names;
    std::vector<float> shown;
    for (const AddVarMessage& var : recorder.All<AddVarMessage>()) {
        names += var.varName + (var.type == kTweakFloat && var.def.empty() ? " " : "? ");
        shown.push_back(*static_cast<const float*>(var.var));
    }
    EXPECT_EQ(names, "jsGameState frameUpdate scriptUpdate clickable obstacle cppGamestate ");
    std::vector<float> times;
    for (auto step : {GameLogicSystem::kScriptStep, GameLogicSystem::kFrameUpdateStep,
                      GameLogicSystem::kScriptUpdateStep, GameLogicSystem::kClickableStep,
                      GameLogicSystem::kObstacleStep, GameLogicSystem::kGameStateStep})
        times.push_back(logic().GetStepTime(step));
    EXPECT_EQ(shown, times);
    EXPECT_GT(times[0], times[1]) << "the busy script step takes longest";

    // The mouse position comes from mouse messages; the pick goes through the graphics
    // system's ray for that pixel.
    GraphicsSystem& graphics = *Core::Instance().GraphicsSystem_;
    Core& core = Core::Instance();
    core.BroadcastMessage(CreateMessage<MouseMotionMessage>(300, 200, 5, 5));
    EXPECT_EQ(logic().GetMousePosition(), glm::ivec2(300, 200));
    const MouseRay expected = graphics.GetMouseClickRay(300, 200);
    EXPECT_EQ(logic().GetLastMouseRay().end, expected.end);
    EXPECT_EQ(logic().GetLastMouseRay().start, expected.start);
    core.BroadcastMessage(CreateMessage<MouseButtonMessage>(640, 400, 0u, 0u));
    EXPECT_EQ(logic().GetMousePosition(), glm::ivec2(640, 400));
    // Other messages leave it; the frame's pick uses the stored position.
    core.BroadcastMessage(CreateMessage<MouseWheelMessage>(1));
    Frame();
    EXPECT_EQ(logic().GetMousePosition(), glm::ivec2(640, 400));
    EXPECT_EQ(logic().GetLastMouseRay().end, graphics.GetMouseClickRay(640, 400).end);
    // Nothing but an empty sky lies under the mouse here.
    EXPECT_FALSE(ObjectManager::IsValid(logic().GetLastPick().object));
}

// Script function, frame-update, script-update (by object id, not by the
// order they were added) and the state; then the freeze rule.
TEST_F(GameLogic, FamiliesRunInOrderAndAStrayUpdateFunctionFreezesThem) {
    Eval("function Named(n) { var o = om.NewObject(); ObjectManager.AddScriptUpdateComponent(o);"
         "  ObjectManager.ScriptUpdateComponent(o).updateFunction = function(obj, dt) {"
         "    Journal.Add(n + '(' + Math.round(dt * 1000) + ')'); };"
         "  return o; }"
         "var first = Named('su0'), second = Named('su1');"
         "gls.updateFunction = function(dt) { Journal.Add('js(' + Math.round(dt * 1000) + ')');"
         "  if (arguments.length != 1) Journal.Add('wrong argument count'); };");
    // The frame-update object is made after the script-update ones but runs first.
    const GameObject framed = objects().NewObject();
    ObjectManager::AddComponent<FrameUpdateComponent>(framed)->updateCallback =
        [](float, const GameObject& owner) { Journal::Add("fu" + std::to_string(owner.id)); };
    logic().SetCurrentGameState(&StateA::Instance());
    EXPECT_EQ(Joined(), "A.init");

    EXPECT_EQ(Frame(0.025f), "js(25) fu2 su0(25) su1(25) A.update(25)");
    // The frame-update callback is cleared by a new add.
    ObjectManager::AddComponent<FrameUpdateComponent>(framed);
    EXPECT_EQ(Frame(), "js(16) su0(16) su1(16) A.update(16)");

    for (const char* stray : {"5", "'text'", "({})", "undefined"}) {
        Eval(std::string("gls.updateFunction = ") + stray);
        EXPECT_EQ(Frame(), "") << stray;
        EXPECT_EQ(Frame(), "") << stray;
    }
    Eval("gls.updateFunction = null");
    EXPECT_EQ(Frame(), "su0(16) su1(16) A.update(16)");
    // A throwing function is reported and the frame goes on.
    Eval("gls.updateFunction = function() { Journal.Add('js'); throw new Error('boom'); }");
    EXPECT_EQ(Frame(), "js su0(16) su1(16) A.update(16)");
    EXPECT_NE(host().GetLastError().find("boom"), std::string::npos);
    EXPECT_EQ(Eval("gls.updateFunction === null"), "false");
}

// Ids freed in the middle come back last-released first, so objects made later can
// have lower ids; updates follow the ids, whatever the order of creation.
TEST_F(GameLogic, ScriptUpdatesFollowIdsAfterDeletionsInTheMiddle) {
    Eval("function Named(n) { var o = om.NewObject(); ObjectManager.AddScriptUpdateComponent(o);"
         "  ObjectManager.ScriptUpdateComponent(o).updateFunction = function() {"
         "    Journal.Add(n); };"
         "  return o; }"
         "var made = []; for (var i = 0; i < 300; ++i) made.push(Named('su' + i));"
         "for (var i = 1; i < 299; ++i) if (i != 150) om.DeleteObject(made[i]);");
    Frame(); // all 300, then the deletions are carried out
    EXPECT_EQ(Frame(), "su0 su150 su299");
    Eval("om.DeleteObject(made[150]); Named('a'); Named('b')"); // ids 298 and 297
    EXPECT_EQ(Frame(), "su0 su150 b a su299");
    EXPECT_EQ(Eval("Named('c'); Named('d'); 0"), "0"); // ids 150 and 296
    EXPECT_EQ(Frame(), "su0 c d b a su299");
}

TEST_F(GameLogic, StatesStartSwitchInOneFrameAndRestart) {
    StateA& a = StateA::Instance();
    StateB& b = StateB::Instance();
    const GameObject bystander = objects().NewObject();
    EXPECT_EQ(Eval("String(gls.RestartCurrentGameState())"), "undefined");
    EXPECT_EQ(Frame(), "");
    EXPECT_TRUE(ObjectManager::IsValid(bystander)) << "no state, nothing cleared";

    // Starting the first state keeps what is there.
    EXPECT_EQ(Eval("gls.SetCurrentGameState(TestStateA.Instance())"), "undefined");
    EXPECT_EQ(Joined(), "A.init");
    EXPECT_EQ(logic().GetCurrentGameState(), &a);
    EXPECT_TRUE(ObjectManager::IsValid(bystander));
    EXPECT_EQ(Eval("gls.SetCurrentGameState(TestStateA.Instance())"), "undefined");
    EXPECT_EQ(Frame(), "A.update(16)") << "making the current state current again does nothing";

    // A switch asked for during one frame happens whole in the next.
    a.switchTo = &b;
    EXPECT_EQ(Frame(), "A.update(16)");
    EXPECT_EQ(objects().numGameObjects, 2u);
    EXPECT_EQ(Frame(), "A.cleanup B.init B.update(16)");
    // Cleared in between: ids restart, and only B's object is left.
    EXPECT_EQ(objects().numGameObjects, 1u);
    EXPECT_EQ(b.built.id, 0u);
    EXPECT_EQ(a.nextState, nullptr) << "a used request must not switch back later";
    EXPECT_EQ(Frame(), "B.update(16)");

    objects().NewObject();
    Eval("gls.RestartCurrentGameState()");
    EXPECT_EQ(Joined(), "B.cleanup B.init");
    EXPECT_EQ(objects().numGameObjects, 1u);
    EXPECT_EQ(logic().GetCurrentGameState(), &b);

    // A script switches states through the system; a frozen game does not.
    Eval("gls.SetCurrentGameState(TestStateA.Instance()); gls.updateFunction = 0;");
    EXPECT_EQ(Joined(), "");
    EXPECT_EQ(Frame(), "");
    Eval("gls.updateFunction = null");
    EXPECT_EQ(Frame(), "B.cleanup A.init A.update(16)");
    EXPECT_EQ(Frame(), "A.update(16)");

    // The script form of a state drives it directly.
    EXPECT_EQ(Eval("var s = TestStateB.Instance(); s.Initialize(); s.Update(0.5); s.Cleanup();"
                   "[String(s), s === TestStateB.Instance(), s.Update(1, 2)].join()"),
              "[object TestStateB],false,");
    EXPECT_EQ(Joined(), "B.init B.update(500) B.cleanup");
    EXPECT_NE(ErrorOf("gls.SetCurrentGameState(om)").find("game state"), std::string::npos);
    EXPECT_NE(ErrorOf("gls.SetCurrentGameState(null)").find("game state"), std::string::npos);
    EXPECT_EQ(logic().GetCurrentGameState(), &a);
}

// Menu, play and game over, each a state of its own; the one a script dropped runs
// until the game leaves it, and goes then.
TEST_F(GameLogic, ScriptStatesSwitchInTurnAndADroppedOneRunsWhileCurrent) {
    const auto collect = [] { JS_GC(host().GetContext()); };
    const std::size_t before = ScriptGameState::GetSharedCount();
    Eval("function Make(n) { var s = new ScriptGameState();"
         "  s.initializeFunction = () => { Journal.Add(n + '.init'); om.NewObject(); };"
         "  s.updateFunction = () => Journal.Add(n);"
         "  s.cleanupFunction = () => Journal.Add(n + '.cleanup'); return s; }"
         "var menu = Make('menu'), play = Make('play'); gls.SetCurrentGameState(menu);");
    EXPECT_EQ(Joined(), "menu.init");
    EXPECT_EQ(Eval("gls.SetCurrentGameState(play); ScriptGameState.Instance().updateFunction"),
              "null");
    EXPECT_EQ(Frame(), "menu.cleanup play.init play");
    EXPECT_EQ(objects().numGameObjects, 1u) << "menu's scene cleared, play's built";
    Eval("gls.SetCurrentGameState(Make('over'))");
    collect();
    EXPECT_EQ(Frame(), "play.cleanup over.init over") << "asked for, then dropped";
    collect();
    EXPECT_EQ(Frame(), "over");
    EXPECT_EQ(ScriptGameState::GetSharedCount(), before + 3);
    Eval("gls.SetCurrentGameState(menu)");
    EXPECT_EQ(Frame(), "over.cleanup menu.init menu");
    collect();
    EXPECT_EQ(ScriptGameState::GetSharedCount(), before + 2) << "left and dropped: gone";
    EXPECT_EQ(objects().numGameObjects, 1u);
    EXPECT_NE(ErrorOf("new ScriptGameState(1)").find("takes no arguments"), std::string::npos);
}
} // namespace

// Timers count game time from the per-frame step: a frozen game holds them,
// ties run in the order made, each callback's promise jobs run before the
// next callback, and what a callback schedules waits for the next frame.
TEST_F(GameLogic, TimersRunInGameTimeInOrderAndStandStillWhileFrozen) {
    const float frame = 1.0f / 32.0f; // 31.25 ms, exact in binary
    ASSERT_EQ(Eval(R"(
        var t1 = setTimeout(function (a, b) {
            Journal.Add("t1:" + a + b);
            Promise.resolve().then(function () { Journal.Add("job1"); });
        }, 125, "x", "y");
        setTimeout(function () { Journal.Add("t2"); }, 125);
        setTimeout(function () { throw new Error("timer boom"); }, 125);
        clearTimeout(setTimeout(function () { Journal.Add("never"); }, 10));
        var ticks = 0;
        var iv = setInterval(function () {
            Journal.Add("iv" + ++ticks);
            if (ticks == 3) clearInterval(iv);
        }, 62.5);
        setTimeout(function () {
            Journal.Add("zero");
            setTimeout(function () { Journal.Add("zero2"); });
        });
        requestAnimationFrame(function (t) {
            Journal.Add("raf:" + t.toFixed(2));
            requestAnimationFrame(function (u) { Journal.Add("raf2:" + u.toFixed(2)); });
        });
        clearTimeout("nonsense"); clearInterval(12345); cancelAnimationFrame();
        typeof t1)"),
              "number");
    EXPECT_EQ(Frame(frame), "zero raf:31.25");
    EXPECT_EQ(Frame(frame), "zero2 iv1 raf2:62.50");
    EXPECT_EQ(Frame(frame), "");
    EXPECT_EQ(Frame(frame), "t1:xy job1 t2 iv2");
    EXPECT_NE(host().GetLastError().find("timer boom"), std::string::npos);

    Eval("gls.updateFunction = 0");
    EXPECT_EQ(Frame(frame) + Frame(frame) + Frame(frame), "") << "frozen";
    Eval("gls.updateFunction = null");
    EXPECT_EQ(Frame(frame), "");
    EXPECT_EQ(Frame(frame), "iv3");
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Frame(frame), "");
    EXPECT_EQ(host().GetTimers().GetCount(), 0u);

    // Mistakes are script errors that name the function and the argument.
    EXPECT_NE(ErrorOf("setTimeout('Journal.Add(1)', 5)")
                  .find("setTimeout: argument 1 must be a function"),
              std::string::npos);
    EXPECT_NE(ErrorOf("setInterval(function () {}, '100')").find("setInterval: argument 2"),
              std::string::npos);
    EXPECT_NE(ErrorOf("requestAnimationFrame()").find("requestAnimationFrame: argument 1"),
              std::string::npos);
    EXPECT_EQ(host().GetTimers().GetCount(), 0u);
}
