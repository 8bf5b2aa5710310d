// Components that call scripts: script-update, message distributor, general
// data, with handlers that pull the ground from under their own feet.

#include "logic/GameLogicSystem.h"
#include "messaging/Message.h"
#include "objects/ObjectManager.h"
#include "script/ScriptClass.h"
#include "script/ScriptTestSupport.h"
#include "window/KeyCodes.h"

namespace {

// Scripts see no id in a handle; the log wants one.
struct LogicProbe {
    static uint32_t Id(GameObject obj) { return obj.id; }
};
using P = script::ScriptClass<LogicProbe>;
const P logicProbeClass("LogicProbe", {P::Function<&LogicProbe::Id>("Id")});

class ScriptComponents : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        Eval("var om = Core.Instance().objectManager, log = [], Id = LogicProbe.Id;"
             "function Take() { var text = log.join(' '); log = []; return text; }"
             "function Make(name) { var o = om.NewObject(); ObjectManager['Add' + name](o);"
             "  return o; }"
             "function Listening(name, handle) { var o = Make('MessageDistributorComponent');"
             "  ObjectManager.MessageDistributorComponent(o).processMessageFunction ="
             "    function(obj, m) { log.push(name + (m.key === undefined ? '' : m.key));"
             "      if (handle) handle(obj, m); };"
             "  return o; }");
    }
    static void Frame(float dt = 0.25f) {
        Core::Instance().GameLogicSystem_->Update(dt);
        Core::Instance().objectManager->Update();
    }
    static void Key(std::uint32_t key) {
        Core::Instance().BroadcastMessage(
            CreateMessage<KeyboardMessage>(KS_PRESSED, key, false, false, false));
    }
};

TEST_F(ScriptComponents, CallbacksRunResetOnANewAddAndSurviveHandlersThatTearThemselvesDown) {
    Eval("var a = Make('ScriptUpdateComponent'), su = ObjectManager.ScriptUpdateComponent(a);"
         "su.SetInactive();"
         "su.initFunction = function(o) { log.push('init ' + Id(o) + ' ' + arguments.length); };"
         "su.updateFunction = function(o, dt) { log.push('a ' + Id(o) + ' ' + dt); };"
         "su.destructFunction = function(o) { log.push('destruct ' + Id(o)); };");
    Eval("ObjectManager.InitializeObj(a)");
    Frame();
    EXPECT_EQ(Eval("Take()"), "init 0 1") << "init runs whatever active says; update does not";
    for (const auto& [change, dt] : {std::pair{"su.ToggleActive()", 0.25f},
                                     {"su.active = false", 0.25f},
                                     {"su.SetActive()", 0.5f}}) {
        Eval(change);
        Frame(dt);
    }
    EXPECT_EQ(Eval("Take()"), "a 0 0.25 a 0 0.5");

    EXPECT_EQ(Eval("ObjectManager.RemoveScriptUpdateComponent(a); Take()"), "destruct 0");
    EXPECT_EQ(Eval("[su.updateFunction, su.initFunction, su.destructFunction].join('/')"), "//");
    // A destructFunction that is not a function keeps the callbacks.
    Eval("ObjectManager.AddScriptUpdateComponent(a);"
         "su.updateFunction = function() { log.push('kept'); }; su.destructFunction = 7;"
         "ObjectManager.RemoveScriptUpdateComponent(a);");
    EXPECT_EQ(Eval("[typeof su.updateFunction, su.destructFunction].join()"), "function,7");
    Eval("ObjectManager.AddScriptUpdateComponent(a)");
    EXPECT_EQ(Eval("[su.updateFunction, su.destructFunction, su.active].join()"), ",,true")
        << "a new add resets";

    // Update and destruct handlers may tear down their own objects: each of these once
    // left a component running on freed memory or recursing without end.
    Eval("om.ClearAllObjects();"
         "function Updating(name, update, destruct) {"
         "  var o = Make('ScriptUpdateComponent'), su = ObjectManager.ScriptUpdateComponent(o);"
         "  su.updateFunction = function(obj, dt) { log.push(name); update(obj); };"
         "  su.destructFunction = function(obj) { log.push(name + ' gone');"
         "    if (destruct) destruct(obj); };"
         "  return o; }"
         "var remover = Updating('remover', function(o) {"
         "  ObjectManager.RemoveScriptUpdateComponent(o); },"
         "  function(o) { ObjectManager.RemoveScriptUpdateComponent(o); });"
         "var deleter = Updating('deleter', function(o) { om.DeleteObject(o); });"
         "var plain = Updating('plain', function() {});");
    Frame();
    EXPECT_EQ(Eval("Take()"), "remover remover gone deleter plain deleter gone");
    Frame();
    EXPECT_EQ(Eval("Take()"), "plain");
    EXPECT_EQ(Eval("[ObjectManager.IsValid(deleter), ObjectManager.IsValid(plain)].join()"),
              "false,true");

    // Clearing the world from the first of several updates ends the walk. The
    // clearer reuses the deleted object's id, so it runs before `plain`.
    Eval("var clearer = Updating('clearer', function() { om.ClearAllObjects(); });");
    Frame();
    EXPECT_EQ(Eval("Take()"), "clearer clearer gone plain gone");
    EXPECT_EQ(Core::Instance().objectManager->numGameObjects, 0u);
    Frame();
    EXPECT_EQ(Eval("Take()"), "");

    // The message distributor hands over each message in its own class.
    Eval("var first = Listening('first', function(o, m) {"
         "  log.push(Id(o) + ':' + String(m) + ':' + m.state); });"
         "var md = ObjectManager.MessageDistributorComponent(first);");
    Key('a');
    Eval("Core.Instance().BroadcastMessage(MouseButtonMessage.Create([3, 4], 1, 0))");
    EXPECT_EQ(Eval("Take()"),
              "first97 0:[object KeyboardMessage]:0 first 0:[object MouseButtonMessage]:1");

    for (const auto& [change, key] : {std::pair{"md.SetInactive()", 'b'},
                                      {"md.ToggleActive()", 'c'},
                                      {"md.ToggleActive(); md.ToggleActive()", 'd'}}) {
        Eval(change);
        Key(key);
    }
    EXPECT_EQ(Eval("Take()"),
              "first99 0:[object KeyboardMessage]:0 first100 0:[object KeyboardMessage]:0");

    // Only the 17 known identifiers reach scripts.
    QuittingMessage* unknown = CreateMessage<QuittingMessage>();
    unknown->id = kMessageTypeCount;
    Core::Instance().BroadcastMessage(unknown);
    EXPECT_EQ(Eval("Take()"), "");

    // Until it is carried out, a deleted object still hears messages.
    Eval("om.DeleteObject(first)");
    Key('e');
    Frame();
    Key('f');
    EXPECT_EQ(Eval("Take()"), "first101 0:[object KeyboardMessage]:0");

    // Removal stops delivery, clears the function and leaves `active`.
    Eval(
        "var second = Listening('second'), md2 = ObjectManager.MessageDistributorComponent(second);"
        "md2.active = false; ObjectManager.RemoveMessageDistributorComponent(second);"
        "var after = [md2.processMessageFunction, md2.active].join(); md2.active = true;");
    Key('g');
    EXPECT_EQ(Eval("[after, Take()].join('|')"), ",false|");

    // Handlers that remove their own component, destroy their object or clear the world
    // while the message manager is delivering.
    Eval("om.ClearAllObjects();"
         "var remover = Listening('remover', function(o) {"
         "  ObjectManager.RemoveMessageDistributorComponent(o); });"
         "var readder = Listening('readder', function(o) {"
         "  ObjectManager.RemoveMessageDistributorComponent(o);"
         "  ObjectManager.AddMessageDistributorComponent(o);"
         "  ObjectManager.MessageDistributorComponent(o).processMessageFunction ="
         "    function(obj, m) { log.push('again' + m.key); }; });"
         "var stays = Listening('stays');");
    Key('1');
    Key('2');
    // The re-added listener joins at the end and waits for the next message.
    EXPECT_EQ(Eval("Take()"), "remover49 readder49 stays49 stays50 again50");

    Eval("var clearer = Listening('clearer', function() { om.ClearAllObjects(); });"
         "var later = Listening('later');");
    Key('3');
    EXPECT_EQ(Eval("Take()"), "stays51 again51 clearer51") << "`later` went with the clear";
    Key('4');
    Frame();
    EXPECT_EQ(Eval("Take()"), "");
    EXPECT_EQ(Core::Instance().objectManager->numGameObjects, 0u);

    // General data has no OnAdd: it keeps its values across removal and reuse, and only a
    // new slot starts from the defaults.
    Eval("var first = Make('GeneralDataComponent'), unused = Make('GeneralDataComponent');"
         "var g = ObjectManager.GeneralDataComponent(first);"
         "g.accTime = 2.25; g.leftSprite = 'l.png'; g.exclaimSpriteScale = [1, 2];"
         "g.owningStoreIndex = 4000000000; g.interruptAI = true;"
         "ObjectManager.RemoveGeneralDataComponent(first); om.DeleteObject(first);"
         "om.DelayedDestruction(); var reuse = Make('GeneralDataComponent');"
         "var h = ObjectManager.GeneralDataComponent(reuse),"
         "    fresh = ObjectManager.GeneralDataComponent(unused);");
    EXPECT_EQ(Eval("[Id(reuse) == Id(first), h.accTime, h.leftSprite, h.exclaimSpriteScale,"
                   " h.owningStoreIndex, h.interruptAI].join('|')"),
              "true|2.25|l.png|1,2|4000000000|true");
    EXPECT_EQ(Eval("[fresh.accTime, fresh.rightSprite, fresh.rubbishTutScale,"
                   " fresh.tooltipIsShowing].join('|')"),
              "0||0,0|false");
}

} // namespace
