// The panel system without a window: what the queued requests make of the bars, the
// definition texts it sends, and the life of script buttons.
#include <js/GCAPI.h>
#include <jsapi.h>

#include "core/Core.h"
#include "script/ScriptTestSupport.h"
#include "tools/AntBarSystem.h"
#include "tools/ToolsTestSupport.h"
#include "tools/TweakBar.h"

namespace {

// An object that counts its own finalisation: a script function that refers to it
// can be seen to be collected.
int finalized = 0;
void CountFinalization(JS::GCContext*, JSObject*) {
    ++finalized;
}
const JSClassOps kCountingOps = {nullptr, nullptr,           nullptr, nullptr, nullptr,
                                 nullptr, CountFinalization, nullptr, nullptr, nullptr};
const JSClass kCountingClass = {
    "Counted", JSCLASS_FOREGROUND_FINALIZE, &kCountingOps, nullptr, nullptr, nullptr};

void FullCollection(JSContext* cx) {
    JS::PrepareForFullGC(cx);
    JS::NonIncrementalGC(cx, JS::GCOptions::Shrink, JS::GCReason::API);
}

class AntBars : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        system().Initialize();
    }
    static AntBarSystem& system() { return *Core::Instance().AntBarSystem_; }
    static TweakPanels& panels() { return system().GetPanels(); }
    static void Send(Message* message) { Core::Instance().BroadcastMessage(message); }
    static void Frame() { system().Update(0.0f); }
    static std::vector<std::string> Definitions() { return panels().GetDefinitions(); }
    static bool Key(sf::Event::EventType type, sf::Keyboard::Key code, bool control) {
        sf::Event key;
        key.type = type;
        key.key = {code, false, control, false, false};
        return panels().HandleEvent(key);
    }
};

TEST_F(AntBars, RequestsComeNextFrameButtonsAndFieldsLiveWithTheirBarAndShortcutsReachThem) {
    // Defined before the bar exists: dropped, not kept for later.
    Send(CreateMessage<TWDefineMessage>("stats", "refresh=3"));
    Frame();
    EXPECT_TRUE(Definitions().empty());

    static std::int32_t count = 7;
    static float speed = 1.5f, colour[4] = {1, 0, 0, 1};
    static std::string title = "hello";
    static unsigned char flag = 1;
    static std::int32_t mode = 2;
    static double precise = 1.0;
    // The variables arrive before their bar's registration, in the same frame.
    Send(CreateMessage<AddVarMessage>("stats", &count, kTweakInt32, "count", ""));
    Send(CreateMessage<AddVarMessage>("stats", &speed, kTweakFloat, "speed",
                                      " label='Speed' min=0 max=10 key=CTRL+s"));
    Send(CreateMessage<AddVarMessage>("stats", &precise, 13, "precise", ""));
    Send(CreateMessage<AddVarMessage>("stats", &colour, kTweakColor4f, "colour", ""));
    Send(CreateMessage<AddVarMessage>("stats", &title, kTweakStdString, "title", ""));
    Send(CreateMessage<AddVarMessage>("stats", &flag, kTweakBool8, "flag", ""));
    Send(CreateMessage<AddEnumMessage>("stats", &mode, "mode", "low, mid ,high"));
    Send(CreateMessage<SetBarVisibleMessage>("stats", false));
    Send(CreateMessage<RegisterAntBarMessage>("stats", 200u, 300u, 10u, 20u));
    EXPECT_EQ(panels().FindBar("stats"), nullptr) << "nothing happens before the update";
    Frame();

    const TweakBar* stats = panels().FindBar("stats");
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(Definitions(), (std::vector<std::string>{
                                 "'stats' position='10 20' size='200 300'",
                                 "'stats'/'speed'  label='Speed' min=0 max=10 key=CTRL+s",
                                 "'stats' visible=false",
                             }));
    EXPECT_EQ(stats->GetPosition(), sf::Vector2i(10, 20));
    EXPECT_EQ(stats->GetSize(), sf::Vector2u(200, 300));
    EXPECT_FALSE(stats->IsVisible());
    EXPECT_EQ(Control("stats", "precise"), nullptr) << "doubles are not a panel type";
    for (const char* name : {"count", "speed", "colour", "title", "flag", "mode"})
        EXPECT_NE(Control("stats", name), nullptr) << name;
    EXPECT_EQ(Control("stats", "mode")->enumLabels,
              (std::vector<std::string>{"low", "mid", "high"}));
    EXPECT_EQ(Control("stats", "speed")->label, "Speed");
    EXPECT_EQ(Control("stats", "speed")->max, 10.0);

    // Later definitions, a removal, a clear; requests for unknown bars change nothing.
    Send(CreateMessage<TWDefineMessage>("stats", "refresh=.5 position='30 40' visible=true"));
    Send(CreateMessage<RemoveVarMessage>("stats", "count"));
    Send(CreateMessage<RemoveVarMessage>("nowhere", "count"));
    Send(CreateMessage<AddVarMessage>("nowhere", &count, kTweakInt32, "count", ""));
    Send(CreateMessage<DeleteBarMessage>("nowhere"));
    Frame();
    EXPECT_EQ(Definitions().back(), "'stats' refresh=.5 position='30 40' visible=true");
    EXPECT_EQ(stats->GetRefresh(), 0.5);
    EXPECT_EQ(stats->GetPosition(), sf::Vector2i(30, 40));
    EXPECT_TRUE(stats->IsVisible());
    EXPECT_EQ(Control("stats", "count"), nullptr);
    EXPECT_NE(Control("stats", "speed"), nullptr);
    EXPECT_EQ(panels().GetBarCount(), 1u);

    // A bad definition is recorded and leaves the bar as it was.
    Send(CreateMessage<TWDefineMessage>("stats", "size='0 10' refresh=soon"));
    Frame();
    EXPECT_EQ(Definitions().back(), "'stats' size='0 10' refresh=soon");
    EXPECT_EQ(stats->GetSize(), sf::Vector2u(200, 300));
    EXPECT_EQ(stats->GetRefresh(), 0.5);

    // A second registration keeps the bar and its controls and moves it.
    Send(CreateMessage<RegisterAntBarMessage>("stats", 100u, 100u, 1u, 2u));
    Send(CreateMessage<ClearBarMessage>("stats"));
    Frame();
    EXPECT_EQ(panels().FindBar("stats"), stats);
    EXPECT_EQ(stats->GetPosition(), sf::Vector2i(1, 2));
    EXPECT_EQ(Control("stats", "speed"), nullptr) << "cleared";

    // Buttons run their callbacks while the bar lives, and shortcuts press them. An engine
    // button with client data and a shortcut:
    static int presses = 0;
    static int data = 42;
    const AddButtonMessage::Callback add = [](void* client) {
        presses += *static_cast<int*>(client);
    };
    Send(CreateMessage<RegisterAntBarMessage>("tools", 200u, 100u, 0u, 0u));
    Send(CreateMessage<AddButtonMessage>("tools", add, &data, "Save", " key=CTRL+s"));
    static std::int32_t on = 0;
    Send(CreateMessage<AddVarMessage>("tools", &on, kTweakBool32, "on", "key=x"));
    // Script buttons, and one value that is no function.
    Eval("var log = [], n = 0, bars = Core.Instance().AntBarSystem_;"
         "bars.AddButton('tools', 'Go', function() { log.push('go ' + (++n)); });"
         "bars.AddButton('tools', 'Again', function() { log.push('again'); });"
         "bars.AddButton('tools', 'Inert', 7);"
         "bars.AddButton('nowhere', 'Lost', function() { log.push('lost'); });");
    EXPECT_EQ(ErrorOf("bars.AddButton('tools', 'Two')"), "") << "ignored, not an error";
    // A callback that alone keeps a counted object alive.
    JSContext* cx = host().GetContext();
    {
        JS::RootedObject counted(cx, JS_NewObject(cx, &kCountingClass));
        JS::RootedObject global(cx, host().GetGlobal());
        ASSERT_TRUE(JS_DefineProperty(cx, global, "counted", counted, 0));
    }
    Eval("(function(o) { bars.AddButton('tools', 'Watched', function() { return o; }); })"
         "(counted); delete globalThis.counted;");
    for (int i = 0; i < 3; ++i)
        host().CollectGarbage();
    Frame();
    EXPECT_EQ(Control("tools", "Two"), nullptr);
    EXPECT_EQ(Control("tools", "Lost"), nullptr);
    EXPECT_EQ(system().GetTicketCount(), 4u) << "Go, Again, Inert, Watched";
    EXPECT_EQ(AntBarSystem::GetBars()["tools"].callbacks.size(), 4u);
    FullCollection(cx);
    EXPECT_EQ(finalized, 0) << "the bar keeps its callbacks alive";

    PressButton("tools", "Go");
    PressButton("tools", "Inert");
    PressButton("tools", "Again");
    PressButton("tools", "Go");
    EXPECT_EQ(Eval("log.join()"), "go 1,again,go 2");
    PressButton("tools", "Save");
    EXPECT_EQ(presses, 42);

    EXPECT_TRUE(Key(sf::Event::KeyPressed, sf::Keyboard::S, true));
    EXPECT_EQ(presses, 84);
    EXPECT_TRUE(Key(sf::Event::KeyReleased, sf::Keyboard::S, true))
        << "the release goes where the press went";
    EXPECT_FALSE(Key(sf::Event::KeyPressed, sf::Keyboard::S, false)) << "plain s is the game's";
    EXPECT_TRUE(Key(sf::Event::KeyPressed, sf::Keyboard::X, false));
    EXPECT_EQ(on, 1) << "a switch's shortcut flips it";
    Send(CreateMessage<SetBarVisibleMessage>("tools", false));
    Frame();
    EXPECT_FALSE(Key(sf::Event::KeyPressed, sf::Keyboard::X, false)) << "hidden bars take no keys";
    EXPECT_EQ(on, 1);

    // Deleting the bar releases its callbacks and tickets; a new bar of the same
    // name starts empty.
    Send(CreateMessage<DeleteBarMessage>("tools"));
    Frame();
    EXPECT_EQ(system().GetTicketCount(), 0u);
    EXPECT_EQ(AntBarSystem::GetBars().count("tools"), 0u);
    EXPECT_EQ(panels().FindBar("tools"), nullptr);
    FullCollection(cx);
    EXPECT_EQ(finalized, 1) << "released with the bar";
    Send(CreateMessage<RegisterAntBarMessage>("tools", 200u, 100u, 0u, 0u));
    Frame();
    EXPECT_TRUE(AntBarSystem::GetBars()["tools"].callbacks.empty());
    EXPECT_EQ(Control("tools", "Go"), nullptr);

    // Script fields keep their variables in the engine until the field or its bar goes.
    Eval("var bars = Core.Instance().AntBarSystem_;"
         "Core.BroadcastMessage(RegisterAntBarMessage.Create('tune', 200, 300, 0, 0));"
         "bars.AddNumberVar('tune', 'speed', 2.5, 'min=0 max=10 step=.5');"
         "bars.AddIntegerVar('tune', 'count', 3, '');"
         "bars.AddBoolVar('tune', 'on', true, '');"
         "bars.AddColorVar('tune', 'tint', [1, 0.5, 0], '');"
         "bars.AddColorVar('tune', 'glow', [0, 0, 1, 0.5], '');"
         "bars.AddStringVar('tune', 'name', 'abc', '');"
         "bars.AddEnumVar('tune', 'mode', 'low, mid, high', 1, 'key=m');"
         "bars.AddNumberVar('nowhere', 'lost', 1, '');");
    // Readable and writable before the panel shows them.
    EXPECT_EQ(Eval("bars.GetVar('tune', 'speed')"), "2.5");
    EXPECT_EQ(ErrorOf("bars.SetVar('tune', 'speed', 4)"), "");
    EXPECT_EQ(system().GetScriptFieldCount(), 8u);
    for (int i = 0; i < 3; ++i)
        host().CollectGarbage();
    Frame();
    EXPECT_EQ(system().GetScriptFieldCount(), 7u) << "the field of no bar is dropped";
    EXPECT_EQ(Definitions().back(), "'tune'/'mode' key=m");
    const TweakControl* speedField = Control("tune", "speed");
    ASSERT_NE(speedField, nullptr);
    EXPECT_EQ(speedField->type, kTweakFloat);
    EXPECT_EQ(speedField->max, 10.0);
    EXPECT_EQ(Control("tune", "tint")->type, kTweakColor3f);
    EXPECT_EQ(Control("tune", "glow")->type, kTweakColor4f);
    EXPECT_EQ(Control("tune", "name")->type, kTweakStdString);
    EXPECT_EQ(Control("tune", "mode")->enumLabels,
              (std::vector<std::string>{"low", "mid", "high"}));

    // The panel writes edits into the variables it was given; scripts see them.
    *static_cast<float*>(speedField->var) = 7.0f;
    *static_cast<std::string*>(Control("tune", "name")->var) = "typed";
    EXPECT_TRUE(Key(sf::Event::KeyPressed, sf::Keyboard::M, false));
    EXPECT_EQ(Eval("[bars.GetVar('tune', 'speed'), bars.GetVar('tune', 'count'),"
                   " bars.GetVar('tune', 'on'), bars.GetVar('tune', 'tint'),"
                   " bars.GetVar('tune', 'glow'), bars.GetVar('tune', 'name'),"
                   " bars.GetVar('tune', 'mode')].join(' ')"),
              "7 3 true 1,0.5,0 0,0,1,0.5 typed 2");
    EXPECT_EQ(ErrorOf("bars.SetVar('tune', 'on', false); bars.SetVar('tune', 'name', 'set');"
                      "bars.SetVar('tune', 'tint', [0, 1, 0]);"),
              "");
    EXPECT_EQ(*static_cast<std::string*>(Control("tune", "name")->var), "set");
    EXPECT_EQ(static_cast<float*>(Control("tune", "tint")->var)[1], 1.0f);

    // Values of the wrong kind are errors that change nothing.
    for (const auto& [call, says] : std::vector<std::pair<std::string, std::string>>{
             {"bars.SetVar('tune', 'speed', 'fast')", "takes a number"},
             {"bars.SetVar('tune', 'mode', 3)", "one of its 3 labels"},
             {"bars.SetVar('tune', 'count', 1.5)", "whole number"},
             {"bars.SetVar('tune', 'tint', [1, 1, 1, 1])", "[r, g, b]"},
             {"bars.AddEnumVar('tune', 'bad', 'a,b', 2, '')", "cannot start"},
             {"bars.GetVar('tune', 'nothing')", "no script field 'nothing'"}})
        EXPECT_NE(ErrorOf(call).find(says), std::string::npos) << call;
    EXPECT_EQ(Eval("bars.GetVar('tune', 'mode')"), "2");

    // A second field of a name replaces the first in place of a duplicate.
    Eval("bars.AddNumberVar('tune', 'speed', 1, '')");
    Frame();
    EXPECT_EQ(system().GetScriptFieldCount(), 7u);
    EXPECT_EQ(Eval("bars.GetVar('tune', 'speed')"), "1");
    EXPECT_EQ(Control("tune", "speed")->max, std::nullopt);

    // Removing a field, clearing and deleting the bar release the variables.
    Send(CreateMessage<RemoveVarMessage>("tune", "count"));
    Frame();
    EXPECT_EQ(system().GetScriptFieldCount(), 6u);
    EXPECT_NE(ErrorOf("bars.GetVar('tune', 'count')"), "");
    Send(CreateMessage<ClearBarMessage>("tune"));
    Frame();
    EXPECT_EQ(system().GetScriptFieldCount(), 0u);
    Eval("bars.AddBoolVar('tune', 'again', false, '')");
    Send(CreateMessage<DeleteBarMessage>("tune"));
    Frame();
    EXPECT_EQ(system().GetScriptFieldCount(), 0u) << "a field queued with its bar's deletion";
    Send(CreateMessage<RegisterAntBarMessage>("tune", 200u, 100u, 0u, 0u));
    Frame();
    EXPECT_NE(ErrorOf("bars.GetVar('tune', 'again')"), "");
    EXPECT_EQ(Control("tune", "again"), nullptr);
}

} // namespace
