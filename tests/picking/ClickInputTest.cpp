// Click boxes and clickables driven by real pointer input through the X
// server. These tests move the server's one pointer, so ctest runs them one
// at a time.
#include "logic/GameLogicSystem.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "picking/ClickBoxComponent.h"
#include "picking/ClickableComponent.h"
#include "script/ScriptTestSupport.h"
#include "window/WindowTestSupport.h"

namespace {

// Every callback of a component, logged as "tag.name(object id|position)"; LogicProbe
// (bound in ScriptComponentsTest.cpp) reads the id.
// Positions are rounded so that the pick's world points read plainly.
const char* const kLogScript = R"(
var om = Core.Instance().objectManager, log = [];
function Take() { var text = log.join(' '); log = []; return text; }
function Show(at) {
    return at.map(function(v) { return Math.round(v * 100) / 100; }).join(',');
}
function Watch(c, tag, skipPerFrame) {
    ['onClickFunction', 'onClickReleaseFunction', 'onReleaseFunction', 'buttonHeldFunction',
     'mouseOverTriggerFunction', 'mouseOverFunction', 'mouseNotOverFunction'].forEach(
        function(name) {
            if (skipPerFrame && /Over|Held/.test(name)) return;
            var short = name.replace(/Function$/, '').replace(/^on/, '');
            c[name] = function(obj, at) {
                log.push(tag + '.' + short + '(' + LogicProbe.Id(obj) + '|' + Show(at) + ')');
            };
        });
    c.destructFunction = function(obj) {
        log.push(tag + '.destruct(' + LogicProbe.Id(obj) + '|' + arguments.length + ')');
    };
}
var o, box; // the latest box and its object
function WatchedBox(extents, skipPerFrame, position) {
    o = om.NewObject();
    ObjectManager.AddTransformComponent(o).position = position || [0, 0, 0];
    box = ObjectManager.AddClickBoxComponent(o);
    box.extents = extents;
    Watch(box, 'b', skipPerFrame);
    ObjectManager.InitializeObj(o);
}
)";

class ClickInput : public WindowTest, protected ScriptRunner {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        window->initialWidth = 640;
        window->initialHeight = 480;
        window->Initialize();
        ASSERT_TRUE(host().Initialize());
        // Ids from 0, whatever ran before in this process.
        Core::Instance().objectManager->ClearAllObjects();
        ASSERT_EQ(Eval(kLogScript), "undefined");
        // The pointer waits outside the window, so the first motion inside is known.
        Xdotool("mousemove 1000 700");
        Settle();
    }
    // Presses or releases (xdotool's numbering: 1 left, 3 right) and waits for it.
    void Button(const std::string& action, int xdoButton) {
        const std::size_t before = recorder->All<MouseButtonMessage>().size();
        Xdotool(action + " " + std::to_string(xdoButton));
        ASSERT_TRUE(PumpUntilReceived<MouseButtonMessage>(before + 1)) << action;
    }
    void Click(int xdoButton = 1) {
        Button("mousedown", xdoButton);
        Button("mouseup", xdoButton);
    }
    static GameLogicSystem& logic() { return *Core::Instance().GameLogicSystem_; }
    static ClickBoxComponent& Box(uint32_t id) {
        return *ComponentFactory<ClickBoxComponent>::Instance().At(id);
    }
};

// A box whose transform is (100, 50) sits at (420, 190) in a 640 x 480 window.
TEST_F(ClickInput, BoxesAndClickablesFollowRealInputAndCallbacksMayTearThemselvesDown) {
    Eval("WatchedBox([40, 20], true, [100, 50, 0]); box.onClickReleaseFunction = {};");
    ClickBoxComponent& box = Box(0);

    // Its outline lies on the first pixels outside it (380..460, 170..210), white, one
    // pixel wide, and only while the window's debug drawing is on.
    const auto frame = [&](bool debugDraw) {
        window->debugDraw = debugDraw;
        window->GetWindow().clear(sf::Color::Black);
        Core::Instance().BroadcastMessage(CreateMessage<DebugDrawMessage>());
        return window->CaptureFrame();
    };
    const sf::Image image = frame(true);
    for (const auto& [x, y] : {std::pair{380, 170}, {460, 210}, {420, 170}, {380, 190}})
        EXPECT_EQ(image.getPixel(x, y), sf::Color::White) << x << "," << y;
    int lit = 0;
    for (unsigned y = 0; y < image.getSize().y; ++y)
        for (unsigned x = 0; x < image.getSize().x; ++x)
            lit += image.getPixel(x, y) == sf::Color::White;
    EXPECT_EQ(lit, 2 * 81 + 2 * 39) << "one pixel wide, and nothing else is drawn";
    EXPECT_EQ(frame(false).getPixel(380, 190), sf::Color::Black);

    // Initialized again, it still listens once.
    Eval("box.initFunction = function() { log.push('b.init' + arguments.length); };"
         "ObjectManager.InitializeObj(o);");
    EXPECT_EQ(Eval("Take()"), "b.init1");

    // Inside: click, then click-release (a non-function is skipped), then release.
    MoveTo({430, 195});
    Click();
    EXPECT_EQ(Eval("Take()"), "b.Click(0|10,5) b.Release(0|10,5)");
    Eval("Watch(box, 'b', true)");

    // Pressed inside, released outside: the click only, and the press is forgotten.
    Button("mousedown", 1);
    EXPECT_TRUE(box.IsPressedOn() && box.IsButtonDown());
    MoveTo({600, 400});
    Button("mouseup", 1);
    EXPECT_EQ(Eval("Take()"), "b.Click(0|10,5)");
    EXPECT_FALSE(box.IsPressedOn() || box.IsButtonDown());
    // ... so a later release inside is a plain release.
    Button("mousedown", 1);
    MoveTo({421, 191});
    Button("mouseup", 1);
    EXPECT_EQ(Eval("Take()"), "b.Release(0|1,1)");

    // The border misses (strict comparisons); one pixel in hits.
    MoveTo({460, 190});
    Click();
    MoveTo({420, 210});
    Click();
    EXPECT_EQ(Eval("Take()"), "");
    MoveTo({381, 171});
    Click();
    EXPECT_EQ(Eval("Take()"), "b.Click(0|-39,-19) b.ClickRelease(0|-39,-19) b.Release(0|-39,-19)");

    // Another button is ignored entirely, down state included.
    MoveTo({420, 190});
    Button("mousedown", 3);
    EXPECT_FALSE(box.IsButtonDown());
    Button("mouseup", 3);
    EXPECT_EQ(Eval("Take()"), "");
    // ... until the box listens to it.
    Eval("box.button = 1;");
    Click(3);
    Click(1);
    EXPECT_EQ(Eval("Take()"), "b.Click(0|0,0) b.ClickRelease(0|0,0) b.Release(0|0,0)");

    // Inactive, it ignores clicks; reacting while inactive makes it an active box again.
    Eval("box.SetInactive(); box.button = 0;");
    Click();
    EXPECT_EQ(Eval("Take()"), "");
    Eval("box.clickableWhileInactive = true;");
    Click();
    EXPECT_EQ(Eval("Take()"), "b.Click(0|0,0) b.ClickRelease(0|0,0) b.Release(0|0,0)");

    // Removed, it hears nothing more; its destructFunction gets only the object.
    Eval("ObjectManager.RemoveClickBoxComponent(o);");
    Click();
    EXPECT_EQ(Eval("Take()"), "b.destruct(0|1)");
    EXPECT_EQ(Eval("box.onClickFunction === null && box.destructFunction === null"), "true");

    // Hovering counts frame time: the trigger fires once, when the hover has
    // lasted the delay, and re-arms when the mouse leaves.
    Eval("WatchedBox([50, 20])");
    MoveTo({100, 100});
    logic().Update(0.02f);
    EXPECT_EQ(Eval("Take()"), "b.mouseNotOver(1|-220,-140)");

    MoveTo({329, 259}); // (320, 240) is the centre: (9, 19) is just in
    logic().Update(0.02f);
    EXPECT_EQ(Eval("Take()"), "b.mouseOver(1|9,19)");
    logic().Update(0.02f);
    EXPECT_EQ(Eval("Take()"), "b.mouseOverTrigger(1|9,19) b.mouseOver(1|9,19)");
    EXPECT_TRUE(Box(1).IsTriggered());
    EXPECT_FLOAT_EQ(Box(1).GetHoverTime(), 0.04f);
    Button("mousedown", 1);
    EXPECT_EQ(Eval("Take()"), "b.Click(1|9,19)");
    logic().Update(0.02f);
    EXPECT_EQ(Eval("Take()"), "b.mouseOver(1|9,19) b.buttonHeld(1|9,19)");

    // Held but moved out: not over and not held; the hover starts again on return.
    MoveTo({329, 260});
    logic().Update(0.02f);
    EXPECT_EQ(Eval("Take()"), "b.mouseNotOver(1|9,20)");
    EXPECT_FALSE(Box(1).IsTriggered());
    MoveTo({320, 240});
    logic().Update(0.05f);
    EXPECT_EQ(Eval("Take()"), "b.mouseOverTrigger(1|0,0) b.mouseOver(1|0,0) b.buttonHeld(1|0,0)");
    // Moving out while held does not forget where the press began.
    Button("mouseup", 1);
    EXPECT_EQ(Eval("Take()"), "b.ClickRelease(1|0,0) b.Release(1|0,0)");

    // A box in the middle of a static body, in a world of its own: the clickable gets the
    // pick's world point, the box its own position, and the same rules hold for both.
    Eval("om.ClearAllObjects(); Take();");
    MoveTo({10, 10});
    Core::Instance().PhysicsSystem_->Initialize();
    Eval("var wall = om.NewObject(); ObjectManager.AddTransformComponent(wall);"
         "var body = ObjectManager.AddBodyComponent(wall);"
         "body.initialMass = 0; body.shape = Shape.BoxShape([0.5, 0.5, 0.5]);"
         "body.collisionType = 1; body.collidesWith = 7;"
         "var c = ObjectManager.AddClickableComponent(wall); Watch(c, 'c');"
         "ObjectManager.InitializeObj(wall);");
    // Before any frame the view is the identity: the window centre looks along +z.
    MoveTo({320, 240});
    ASSERT_EQ(logic().GetLastPick().object.id, 0u) << "the pick must find the wall";
    logic().Update(0.016f);
    EXPECT_EQ(Eval("Take()"), "c.mouseOverTrigger(0|0,0,-0.5) c.mouseOver(0|0,0,-0.5)");
    Click();
    EXPECT_EQ(Eval("Take()"),
              "c.Click(0|0,0,-0.5) c.ClickRelease(0|0,0,-0.5) c.Release(0|0,0,-0.5)");
    // Pressed on it, released in the empty sky: the click only.
    Button("mousedown", 1);
    MoveTo({10, 10});
    ASSERT_FALSE(ObjectManager::IsValid(logic().GetLastPick().object));
    Button("mouseup", 1);
    logic().Update(0.016f);
    EXPECT_EQ(Eval("Take()"), "c.Click(0|0,0,-0.5) c.mouseNotOver(0|0,0,0)");
    Click(3);
    EXPECT_EQ(Eval("Take()"), "");

    // A click function that removes its own component: nothing more is called
    // for that click, and the destruct function runs once.
    MoveTo({320, 240});
    Eval("c.onClickFunction = function(obj) { log.push('c.remove');"
         "  ObjectManager.RemoveClickableComponent(obj); };");
    Click();
    logic().Update(0.016f);
    EXPECT_EQ(Eval("Take()"), "c.remove c.destruct(0|1)");

    // A box whose trigger destroys its object and clears the world; the
    // update stops there, and the next clicks reach nothing.
    const char* const clearOnTrigger = "box.mouseOverTriggerFunction = function(obj) {"
                                       "  log.push('b.clear'); om.ClearAllObjects(); };";
    Eval(std::string("WatchedBox([10, 10]);") + clearOnTrigger +
         "box.onClickReleaseFunction = function(obj) { log.push('b.delete');"
         "  om.DeleteObject(obj); om.DelayedDestruction(); };");
    Click();
    EXPECT_EQ(Eval("Take()"), "b.Click(1|0,0) b.delete b.destruct(1|1)");
    Eval(std::string("WatchedBox([10, 10]);") + clearOnTrigger);
    MoveTo({321, 241});
    logic().Update(0.05f);
    EXPECT_EQ(Eval("Take()"), "b.clear b.destruct(1|1)");
    Click();
    logic().Update(0.05f);
    EXPECT_EQ(Eval("Take()"), "");
}

} // namespace
