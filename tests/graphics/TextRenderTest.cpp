// Text components drawn over a real window, located by the bounds of the drawn pixels
// rather than by exact glyphs.

#include <string>
#include <vector>

#include <glm/common.hpp>

#include "graphics/DrawTextComponent.h"
#include "graphics/GraphicsTestSupport.h"
#include "window/WindowSystem.h"

namespace {

const std::string kFont = "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf";

class TextRender : public GraphicsTest {
  protected:
    DrawTextComponent* Text(const std::string& text, glm::vec2 position,
                            const std::string& font = kFont) {
        const GameObject obj = om.NewObject();
        ObjectManager::AddComponent<TransformComponent>(obj)->position = {position, 0.0f};
        DrawTextComponent* component = ObjectManager::AddComponent<DrawTextComponent>(obj);
        component->fontFile = font;
        component->text = text;
        component->color = {1, 1, 1, 1};
        ObjectManager::InitializeObj(obj);
        return component;
    }

    // One overlay pass over a cleared frame, as the window system draws it.
    PixelBounds Draw(sf::Vector2f offset = {0, 0}, bool preserveGlState = false) {
        window->clear(sf::Color::Black);
        DrawTextComponents(*window, offset, preserveGlState);
        return Drawn();
    }

    // The largest value of each channel over the frame.
    glm::ivec3 Brightest() {
        glm::ivec3 most(0);
        for (const glm::u8vec4& p : Pixels())
            most = glm::max(most, glm::ivec3(p));
        return most;
    }
};

} // namespace

TEST_F(TextRender, CentredOnTheTransformPointMovedByTheOffsetColouredHiddenAndFontsShared) {
    DrawTextComponent* text = Text("HxH", {0, 0});
    text->fontSize = 24.0f;
    const PixelBounds centred = Draw();
    ASSERT_GT(centred.width, 20);
    ASSERT_GT(centred.height, 10);
    EXPECT_NEAR(centred.CentreX(), kWidth / 2.0, 1.0) << centred;
    EXPECT_NEAR(centred.CentreY(), kHeight / 2.0, 1.0) << centred;
    // The measured half extents are those of the drawn glyphs.
    const glm::vec2 half = text->GetHalfExtents();
    EXPECT_NEAR(half.x * 2, centred.width, 2.0);
    EXPECT_NEAR(half.y * 2, centred.height, 2.0);

    // y is up, as for sprites: 30 above and 20 right of the centre.
    ObjectManager::GetComponent<TransformComponent>(text->owner)->position = {20, 30, 0};
    PixelBounds moved = Draw();
    EXPECT_NEAR(moved.CentreX(), kWidth / 2.0 + 20, 1.0) << moved;
    EXPECT_NEAR(moved.CentreY(), kHeight / 2.0 + 30, 1.0) << moved;
    EXPECT_EQ(moved.width, centred.width);

    // The window's text offset is in window pixels, y down.
    moved = Draw({5, 7});
    EXPECT_NEAR(moved.CentreX(), kWidth / 2.0 + 25, 1.0) << moved;
    EXPECT_NEAR(moved.CentreY(), kHeight / 2.0 + 23, 1.0) << moved;

    // Asked to preserve the GL state, text draws the same and leaves the renderer's
    // culling and depth test as they were.
    glEnable(GL_CULL_FACE);
    glDepthFunc(GL_ALWAYS);
    EXPECT_EQ(Draw({5, 7}, true), moved);
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE) && depthFunc == GL_ALWAYS);

    // Twice the size: twice as large, still centred on the same point.
    text->fontSize = 48.0f;
    const PixelBounds large = Draw();
    EXPECT_NEAR(large.height, 2 * centred.height, 3.0);
    EXPECT_NEAR(large.CentreX(), kWidth / 2.0 + 20, 1.0) << large;
    EXPECT_NEAR(large.CentreY(), kHeight / 2.0 + 30, 1.0) << large;
    ObjectManager::RemoveComponent<DrawTextComponent>(text->owner);

    // Colour, visibility, fonts and character positions.
    DrawTextComponent* mono = Text("MMM", {0, 0});
    mono->color = {1, 0, 0, 1};
    ASSERT_GT(Draw().width, 0);
    EXPECT_EQ(Brightest(), glm::ivec3(255, 0, 0));
    mono->color = {1.5f, 0, 0, 1}; // clamped: still red, not wrapped to a dark shade
    Draw();
    EXPECT_EQ(Brightest(), glm::ivec3(255, 0, 0));
    mono->color = {1, 1, 1, 0};
    EXPECT_EQ(Draw().width, 0) << "transparent";
    mono->color = {1, 1, 1, 1};
    mono->visible = false;
    EXPECT_EQ(Draw().width, 0) << "hidden";
    mono->visible = true;

    // Monospaced: each character starts one advance after the previous one; an index past
    // the end answers the end of the text.
    const glm::vec2 first = mono->CharPosAt(0), second = mono->CharPosAt(1);
    EXPECT_EQ(first, glm::vec2(0.0f));
    EXPECT_GT(second.x, 0.0f);
    EXPECT_EQ(mono->CharPosAt(3).x, 3 * second.x);
    EXPECT_EQ(mono->CharPosAt(99), mono->CharPosAt(3));

    // One font per path, whatever size it was first asked for with.
    DrawTextComponent* other = Text("other", {0, 30});
    other->fontDetail = 80;
    ObjectManager::InitializeObj(other->owner);
    EXPECT_EQ(other->font, mono->font);

    // ... but the detail is each text's own: the size its glyphs are rasterised at, drawn
    // scaled to fontSize. At the drawn size it is the plain text, pixel for pixel.
    mono->visible = false;
    other->text = "Wq";
    other->fontSize = 48.0f;
    auto frame = [&](std::uint32_t detail) {
        other->fontDetail = detail;
        Draw();
        return std::make_pair(Pixels(), other->GetHalfExtents());
    };
    const auto atSize = frame(0), same = frame(48), coarse = frame(12);
    EXPECT_TRUE(atSize.first == same.first);
    EXPECT_FALSE(atSize.first == coarse.first);
    EXPECT_NEAR(coarse.second.x, atSize.second.x, atSize.second.x * 0.15f);
    EXPECT_NEAR(coarse.second.y, atSize.second.y, atSize.second.y * 0.2f);
    EXPECT_LT(other->font->getGlyph('W', 12, false).bounds.height * 3,
              other->font->getGlyph('W', 48, false).bounds.height);
    mono->visible = true;

    // A missing font file is said once with its name and draws nothing.
    testing::internal::CaptureStderr();
    DrawTextComponent* lost = Text("lost", {0, -30}, "/nowhere/none.ttf");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("/nowhere/none.ttf"), std::string::npos) << said;
    ObjectManager::RemoveComponent<DrawTextComponent>(mono->owner);
    ObjectManager::RemoveComponent<DrawTextComponent>(other->owner);
    EXPECT_EQ(mono->font, nullptr);
    EXPECT_EQ(Draw().width, 0);
    EXPECT_EQ(lost->GetHalfExtents(), glm::vec2(0.0f));

    // Another font for the same component; the file name it was created with stays.
    lost->SetNewFont(kFont);
    EXPECT_EQ(lost->fontFile, "/nowhere/none.ttf");
    EXPECT_GT(Draw().width, 0);

    // Without a font file the engine's own font is used: readable once text and colour
    // are set, with no initialize needed.
    ObjectManager::RemoveComponent<DrawTextComponent>(lost->owner);
    DrawTextComponent* plain = ObjectManager::AddComponent<DrawTextComponent>(om.NewObject());
    plain->text = "fps 60";
    EXPECT_EQ(Draw().width, 0) << "colour (0, 0, 0, 0) until set";
    plain->color = {1, 1, 1, 1};
    const PixelBounds shown = Draw();
    EXPECT_GT(shown.width, 40);
    EXPECT_NEAR(shown.CentreX(), kWidth / 2.0, 1.0);
}
