// HUD elements anchored to points of the window, drawn by the engine's window and
// checked by their pixels before and after the window takes another size.

#include "graphics/PixelBounds.h"
#include "objects/ComponentFactory.h"
#include "picking/ClickBoxComponent.h"
#include "script/ScriptTestSupport.h"
#include "window/WindowTestSupport.h"

namespace {

class HudAnchors : public WindowTest, protected ScriptRunner {
  protected:
    // The frame as the engine draws it, read back before it is shown.
    PixelBounds Drawn() {
        Core::Instance().GraphicsSystem_->Update(0.0f);
        window->DrawOverlays();
        return DrawnBounds(int(window->GetWidth()), int(window->GetHeight()));
    }
};

} // namespace

TEST_F(HudAnchors, CornersAndEdgesStayThroughANewModeTextAlignsAndRectanglesAreSolid) {
    ASSERT_TRUE(host().Initialize());
    OpenWithGraphics(320, 240);
    Eval("var om = Core.Instance().objectManager;"
         "function Hud(kind, anchor, position) { var o = om.NewObject();"
         "  ObjectManager.AddTransformComponent(o).position = position;"
         "  var c = ObjectManager['Add' + kind](o); c.anchor = anchor;"
         "  ObjectManager.InitializeObj(o); return c; }"
         "var bar = Hud('SpriteComponent', 'top', [0, -10, 0]);"
         "bar.color = [0, 1, 0, 0.5]; bar.scale = [40, 12];"
         "var label = Hud('DrawTextComponent', 'bottom-right', [-6, 20, 0]);"
         "label.text = 'HUD'; label.color = [1, 1, 1, 1]; label.align = 'right';"
         "Hud('ClickBoxComponent', 'top', [0, -10, 0]).extents = [20, 6];");
    ClickBoxComponent* box = nullptr;
    ComponentFactory<ClickBoxComponent>::Instance().ForEachAttached(
        [&](ClickBoxComponent& attached) { box = &attached; });
    ASSERT_NE(box, nullptr);
    for (const sf::Vector2u size : {sf::Vector2u(320, 240), sf::Vector2u(400, 300)}) {
        if (size.x != window->GetWidth())
            window->SetVideoMode(size.x, size.y, 32);
        const int w = int(size.x), h = int(size.y);
        Eval("label.visible = false; bar.visible = true");
        // A solid half-transparent rectangle over black, 40 x 12 around its point.
        EXPECT_EQ(Drawn(), PixelBounds(w / 2 - 20, h - 16, 40, 12)) << w;
        EXPECT_EQ(DrawnPixel({w / 2, 10}), sf::Color(0, 128, 0));
        // A click box with the bar's anchor and position covers the bar (y down).
        EXPECT_TRUE(box->IsHit({w / 2.0f + 19, 15}) && box->IsHit({w / 2.0f - 19, 5})) << w;
        EXPECT_FALSE(box->IsHit({w / 2.0f, h / 2.0f})) << w;
        Eval("label.visible = true; bar.visible = false");
        const PixelBounds text = Drawn();
        EXPECT_GT(text.width, 30);
        EXPECT_NEAR(text.x + text.width, w - 6, 1.0) << "ends at its point " << text;
        EXPECT_NEAR(text.CentreY(), 20, 1.0) << text;
    }
    // Left-aligned, it starts there.
    Eval("label.align = 'left'");
    EXPECT_NEAR(Drawn().x, 400 - 6, 1.0);

    // Misnamed, the property stays as it was.
    const std::string anchorError = ErrorOf("bar.anchor = 'upper-left'");
    EXPECT_NE(anchorError.find("\"upper-left\" is no anchor"), std::string::npos) << anchorError;
    EXPECT_NE(anchorError.find("\"top-left\", \"top\""), std::string::npos) << anchorError;
    EXPECT_NE(ErrorOf("label.align = 'middle'").find("\"left\", \"center\", \"right\""),
              std::string::npos);
    EXPECT_EQ(Eval("[bar.anchor, label.anchor, label.align].join()"), "top,bottom-right,left");
}
