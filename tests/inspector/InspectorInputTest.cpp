// The live inspector in a real window, driven by real key presses and clicks
// through the X server. Serial: it moves the server's one pointer and focus.
#include <cstdlib>
#include <cstring>
#include <vector>

#include <GL/glew.h>
#include <btBulletDynamicsCommon.h>
#include <glm/geometric.hpp>
#include <glm/mat4x4.hpp>

#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "inspector/ComponentEditor.h"
#include "inspector/Inspector.h"

#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "physics/PhysicsSystem.h"
#include "script/FieldAccess.h"
#include "script/ScriptTestSupport.h"
#include "tools/AntBarSystem.h"
#include "tools/DevConsoleSystem.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModelComponent.h"
#include "window/WindowTestSupport.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

// Right of the inspector's panel: a red voxel, a green one and below them a
// static body that draws nothing, seen from +z.
const char* const kScene = R"(
var om = Core.Instance().objectManager;
function Make(names) {
    var obj = om.NewObject();
    names.forEach(function(n) { ObjectManager['Add' + n](obj); });
    return obj;
}
var eye = Make(['TransformComponent', 'CameraComponent']);
ObjectManager.TransformComponent(eye).position = [-4, 0, 12];
ObjectManager.TransformComponent(eye).LookAt([-4, 0, 0], [0, 1, 0]);
ObjectManager.CameraComponent(eye).SetActive(true);
var red = Make(['TransformComponent', 'VoxelComponent']);
ObjectManager.TransformComponent(red).position = [0, 0, 0];
ObjectManager.VoxelComponent(red).color = [1, 0, 0, 1];
var green = Make(['TransformComponent', 'VoxelComponent']);
ObjectManager.TransformComponent(green).position = [3, 0, 0];
ObjectManager.VoxelComponent(green).color = [0, 1, 0, 1];
var floor = Make(['TransformComponent', 'BodyComponent']);
ObjectManager.TransformComponent(floor).position = [1.5, -3, 0];
var body = ObjectManager.BodyComponent(floor);
body.initialMass = 0; body.shape = Shape.BoxShape([1, 0.5, 1]);
[eye, red, green, floor].forEach(function(o) { ObjectManager.InitializeObj(o); });
)";

class InspectorInput : public WindowTest, protected ScriptRunner {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        OpenWithGraphics(kWidth, kHeight);
        if (HasFatalFailure())
            return;
        Core& core = Core::Instance();
        core.PhysicsSystem_->Initialize();
        core.AntBarSystem_->Initialize();
        ASSERT_TRUE(host().Initialize());
        core.objectManager->ClearAllObjects();
        ASSERT_EQ(ErrorOf(kScene), "");
        Xdotool("mousemove 1000 700");
        Settle();
        Frame();
    }

    // Drawing reads the scene; the pixels are read before the frame is shown.
    void Frame() override {
        Core::Instance().AntBarSystem_->Update(0.0f);
        Core::Instance().GraphicsSystem_->Update(0.0f);
        window->DrawOverlays();
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        window->FinishFrame();
        Core::Instance().objectManager->Update();
    }
    sf::Color Pixel(sf::Vector2i at) const {
        const unsigned char* p = &pixels[4 * ((kHeight - 1 - at.y) * kWidth + at.x)];
        return sf::Color(p[0], p[1], p[2]);
    }
    // Pixels of a window rectangle in the last frame that pass `test`.
    int Count(sf::FloatRect r, const std::function<bool(sf::Color)>& test) const {
        int n = 0;
        for (int y = int(r.top); y < int(r.top + r.height); ++y)
            for (int x = int(r.left); x < int(r.left + r.width); ++x)
                n += test(Pixel({x, y}));
        return n;
    }
    static GameObject Object(std::uint32_t id) {
        return GameObject(id, ObjectManager::Generations().at(id));
    }
    static bool Is(const GameObject& a, std::uint32_t id) {
        return ObjectManager::IsValid(a) && a.id == id;
    }

    Inspector& inspector() { return Core::Instance().AntBarSystem_->GetInspector(); }
    std::vector<unsigned char> pixels = std::vector<unsigned char>(4 * kWidth * kHeight);
};

TEST_F(InspectorInput, F2OpensItAClickSelectsAndOutlinesEditsMoveAndDeletionIsSafe) {
    const std::uint32_t red = 1, green = 2, floor = 3;
    const sf::Vector2i greenAt = ScreenOf({3, 0, 0});
    ASSERT_GT(Pixel(greenAt).g, 150) << "the green voxel is drawn";

    // Without the inspector a click is the game's.
    ClickAt(greenAt);
    EXPECT_FALSE(recorder->All<MouseButtonMessage>().empty());
    EXPECT_FALSE(ObjectManager::IsValid(inspector().GetSelected()));

    // F2 opens it: its panel covers the top left, where the scene is black.
    Keys("F2");
    ASSERT_TRUE(inspector().IsShown());
    Frame();
    EXPECT_GT(Pixel({100, 14}).r + Pixel({100, 14}).g + Pixel({100, 14}).b, 60);

    // A click on a voxel selects it, and the game never hears that click.
    recorder->received.clear();
    ClickAt(greenAt);
    EXPECT_TRUE(Is(inspector().GetSelected(), green));
    EXPECT_TRUE(recorder->All<MouseButtonMessage>().empty());
    // The outline, in amber, runs along the top edge of the voxel's box.
    Frame();
    const sf::Color edge = Pixel(ScreenOf({3, 0.5f, 0.5f}));
    EXPECT_TRUE(edge.r > 120 && edge.r > edge.g && edge.g > edge.b + 60)
        << int(edge.r) << "," << int(edge.g) << "," << int(edge.b);
    // The body is found by the physics pick; the empty sky clears the selection.
    ClickAt(ScreenOf({1.5f, -3, 1}));
    EXPECT_TRUE(Is(inspector().GetSelected(), floor));
    ClickAt({kWidth - 20, kHeight / 2});
    EXPECT_FALSE(ObjectManager::IsValid(inspector().GetSelected()));

    // A position edited through the fields the panel shows moves the voxel.
    ClickAt(greenAt);
    ASSERT_TRUE(Is(inspector().GetSelected(), green));
    const auto fields = script::EditableFieldsOf(typeid(TransformComponent));
    const auto position = std::find_if(fields.begin(), fields.end(),
                                       [](const auto& f) { return f.name == "position"; });
    ASSERT_NE(position, fields.end());
    auto* transform = ObjectManager::GetComponent<TransformComponent>(Object(green));
    position->access.set(transform, glm::vec3(3, 3, 0));
    Frame();
    EXPECT_LT(Pixel(greenAt).g, 100) << "the voxel left its place";
    EXPECT_GT(Pixel(ScreenOf({3, 3, 0})).g, 150) << "and is drawn at the new one";

    // Components come and go: a voxel on the body is drawn, then gone again.
    const sf::Vector2i floorAt = ScreenOf({1.5f, -3, 0});
    EXPECT_TRUE(AddComponentNamed(Object(floor), "VoxelComponent"));
    EXPECT_FALSE(AddComponentNamed(Object(floor), "VoxelComponent"));
    EXPECT_FALSE(AddComponentNamed(Object(floor), "NoSuchComponent"));
    ObjectManager::GetComponent<VoxelComponent>(Object(floor))->color = glm::vec4(0, 0, 1, 1);
    Frame();
    EXPECT_GT(Pixel(floorAt).b, 150);
    EXPECT_TRUE(RemoveComponentNamed(Object(floor), "VoxelComponent"));
    EXPECT_FALSE(RemoveComponentNamed(Object(floor), "VoxelComponent"));
    Frame();
    EXPECT_LT(Pixel(floorAt).b, 100);

    // Deleted while selected (by a script): the selection lets go, and the
    // id's next object is not selected in its place.
    ASSERT_EQ(ErrorOf("om.DeleteObject(green); om.DelayedDestruction();"
                      "var again = Make(['TransformComponent', 'VoxelComponent']);"
                      "ObjectManager.InitializeObj(again);"),
              "");
    ASSERT_EQ(Object(green).generation, 1u);
    Frame();
    EXPECT_FALSE(ObjectManager::IsValid(inspector().GetSelected()));
    // Deleted from the panel: gone at the end of the frame.
    inspector().Select(Object(red));
    inspector().DeleteSelected();
    EXPECT_FALSE(ObjectManager::IsValid(inspector().GetSelected()));
    Frame();
    EXPECT_FALSE(ObjectManager::IsValid(GameObject(red, 0)));

    // Scripts drive it too; F2 closes it, and clicks are the game's again.
    EXPECT_EQ(Eval("Inspector.Select(floor); ObjectManager.CompareObj(Inspector.GetSelected(), "
                   "floor) + ' ' + Inspector.IsShown()"),
              "true true");
    Keys("F2");
    EXPECT_FALSE(inspector().IsShown());
    recorder->received.clear();
    ClickAt(floorAt);
    EXPECT_FALSE(recorder->All<MouseButtonMessage>().empty());
}

// The fields as a developer first meets them: a body's unset surface values read
// "default", take a typed value or a drag, and go back with the button beside them;
// scale says it is not drawn; no name is cut.
TEST_F(InspectorInput, FieldsShowLibraryDefaultsAHintAndWholeNames) {
    const GameObject floor = Object(3);
    inspector().Show();
    inspector().Select(floor);
    Wait(0.2);
    const auto rect = [](const char* type, const char* field) {
        return GetDrawnFieldRect(type, field).value_or(sf::FloatRect());
    };
    const auto white = [](sf::Color c) { return c.r > 200 && c.g > 200 && c.b > 200; };
    // Each name's last letter is drawn, not clipped by the panel's edge.
    int seen = 0;
    const auto checkNames = [&] {
        for (const char* type : {"TransformComponent", "BodyComponent"})
            for (const auto& field : script::EditableFieldsOf(std::string(type) == "BodyComponent"
                                                                  ? typeid(BodyComponent)
                                                                  : typeid(TransformComponent))) {
                const sf::FloatRect r = rect(type, field.name.c_str());
                if (r.width <= 0 || r.top < 30 || r.top + r.height > kHeight - 30)
                    continue; // scrolled out of view
                ++seen;
                EXPECT_GT(Count({r.left + r.width - 8, r.top, 8, r.height}, white), 0)
                    << field.name;
            }
    };
    checkNames();
    // "(not drawn)" in grey beside scale.
    const sf::FloatRect scale = rect("TransformComponent", "scale");
    EXPECT_GT(Count({scale.left + scale.width, scale.top, 90, scale.height},
                    [](sf::Color c) { return c.r == c.g && c.g == c.b && c.r > 90 && c.r < 170; }),
              20);

    auto* body = ObjectManager::GetComponent<BodyComponent>(floor);
    const sf::FloatRect restitution = rect("BodyComponent", "initialRestitution");
    const auto at = [](const sf::FloatRect& r, float dx) {
        return std::to_string(int(r.left + dx)) + " " + std::to_string(int(r.top + r.height / 2));
    };
    // CTRL+click types into it: "default" is selected and replaced.
    Xdotool("mousemove --window $W " + at(restitution, 20) + " keydown ctrl click 1 keyup ctrl");
    Wait(0.3);
    Xdotool("type --window $W 0.25");
    Xdotool("key --window $W Return");
    Until([this] { Frame(); }, [&] { return body->initialRestitution == 0.25f; }, 3.0);
    EXPECT_EQ(body->initialRestitution, 0.25f);
    // The button beside its name puts the library's value back.
    Xdotool("mousemove --window $W " + at(restitution, restitution.width + 16) + " click 1");
    Until([this] { Frame(); }, [&] { return body->initialRestitution == BodyComponent::kUnset; },
          3.0);
    EXPECT_EQ(body->initialRestitution, BodyComponent::kUnset);
    // Further down, a drag starts from 0, not from the largest float.
    Xdotool("mousemove --window $W " + at(restitution, 20) + " click --repeat 4 5");
    Wait(0.3);
    checkNames();
    EXPECT_GE(seen, 12);
    const sf::FloatRect friction = rect("BodyComponent", "initialFriction");
    Xdotool("mousemove --window $W " + at(friction, 20) + " mousedown 1");
    Wait(0.2);
    Xdotool("mousemove_relative 40 0");
    Wait(0.2);
    Xdotool("mouseup 1");
    Wait(0.2);
    EXPECT_GT(body->initialFriction, 0.05f);
    EXPECT_LT(body->initialFriction, 2.0f);
}

} // namespace

// A game's HUD text and sprite where the tools draw: an open tool covers them, and once
// closed the game's frame is exactly what it was.
TEST_F(InspectorInput, ToolsDrawOverTheGamesTextAndSpritesAndLeaveItsFrameAloneWhenClosed) {
    const std::vector<unsigned char> scene = pixels;
    // Inside the inspector's panel (top left at 10, 10), above the console's input line.
    ASSERT_EQ(ErrorOf("var hud = Make(['TransformComponent', 'DrawTextComponent']);"
                      "ObjectManager.TransformComponent(hud).position = [-150, 100, 0];"
                      "var text = ObjectManager.DrawTextComponent(hud);"
                      "text.text = 'SCORE 42'; text.fontSize = 40; text.color = [1, 0, 1, 1];"
                      "var badge = Make(['TransformComponent', 'SpriteComponent']);"
                      "ObjectManager.TransformComponent(badge).position = [-150, -40, 0];"
                      "var sprite = ObjectManager.SpriteComponent(badge);"
                      "sprite.texture = Core.Instance().GraphicsSystem_.GetTexture("
                      "    '../resource/Textures/gem.png');"
                      "sprite.scale = [3, 3]; sprite.alpha = 1; text.visible = true;"
                      "[hud, badge].forEach(function(o) { ObjectManager.InitializeObj(o); });"),
              "");
    Frame();
    const std::vector<unsigned char> game = pixels;
    std::vector<std::size_t> hud; // where the text and the sprite drew
    for (std::size_t i = 0; i < game.size(); i += 4)
        if (std::memcmp(&game[i], &scene[i], 3) != 0)
            hud.push_back(i);
    ASSERT_GT(hud.size(), 1000u);
    // Over the HUD the panel looks as it does with no HUD (its background lets a trace
    // through); the console darkens everything under it.
    inspector().Show();
    Frame();
    ASSERT_EQ(ErrorOf("text.visible = sprite.visible = false"), "");
    Frame();
    const std::vector<unsigned char> panel = pixels;
    ASSERT_EQ(ErrorOf("text.visible = sprite.visible = true"), "");
    Frame();
    const std::vector<unsigned char> panelOverHud = pixels;
    inspector().Hide();
    DevConsoleSystem& console = *Core::Instance().DevConsoleSystem_;
    console.Initialize();
    console.SetVisible(true);
    console.Update(0.0f);
    Frame();
    int covered = 0, hudOverPanel = 0, hudOverConsole = 0;
    for (const std::size_t i : hud) {
        const bool underPanel = std::memcmp(&panel[i], &scene[i], 3) != 0;
        covered += underPanel;
        for (std::size_t c = i; c < i + 3; ++c) {
            hudOverPanel += underPanel && std::abs(panelOverHud[c] - panel[c]) > 24;
            hudOverConsole += pixels[c] > game[c] / 2 + 2;
        }
    }
    EXPECT_GT(covered, 1000);
    EXPECT_EQ(hudOverPanel, 0);
    EXPECT_EQ(hudOverConsole, 0);
    console.SetVisible(false);
    Frame();
    EXPECT_TRUE(pixels == game);
}

// A level built by hand: a model placed on the ground with a click, dragged
// elsewhere, hidden from its panel section; each step undone with CTRL+Z and
// made again with CTRL+Y, by values and by pixels. A body dragged and deleted
// comes back with its shape where it was put.
TEST_F(InspectorInput, AModelIsPlacedDraggedAndEditedAndEveryStepUndoesAndRedoes) {
    const std::vector<std::string> files = Inspector::GetModelFiles();
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end()));
    for (const char* file : {"ball.vxm", "house.vxm", "well.vox"})
        EXPECT_NE(std::find(files.begin(), files.end(), file), files.end()) << file;
    // From above, the ground right of the panel.
    ASSERT_EQ(ErrorOf("ObjectManager.TransformComponent(eye).position = [-8, 14, 20];"
                      "ObjectManager.TransformComponent(eye).LookAt([-8, 0, 0], [0, 1, 0]);"
                      "om.DeleteObject(red); om.DeleteObject(green);"),
              "");
    inspector().Show();
    Frame();
    Frame();
    const std::vector<unsigned char> empty = pixels;
    const glm::vec3 first(1, 0, 6), second(5, 0, -6);
    const auto drawnAt = [&](const glm::vec3& p) {
        const sf::Vector2i at = ScreenOf(p);
        const unsigned char* was = &empty[4 * ((kHeight - 1 - at.y) * kWidth + at.x)];
        const sf::Color now = Pixel(at);
        return std::abs(now.r - was[0]) + std::abs(now.g - was[1]) + std::abs(now.b - was[2]) > 60;
    };
    ASSERT_GT(ScreenOf(first).x, 450) << "right of the panel";
    ASSERT_FALSE(drawnAt(first));

    // Placed where the click's ray meets the ground, selected, drawn.
    inspector().SetModelToPlace("ball.vxm");
    ClickAt(ScreenOf(first));
    Frame();
    const GameObject placed = inspector().GetSelected();
    ASSERT_TRUE(ObjectManager::HasComponent<VoxelModelComponent>(placed));
    EXPECT_NE(ObjectManager::GetComponent<VoxelModelComponent>(placed)->model.Get(), nullptr);
    const auto position = [&] {
        return ObjectManager::GetComponent<TransformComponent>(inspector().GetSelected())->position;
    };
    const glm::vec3 placedAt = position();
    EXPECT_LT(glm::distance(placedAt, first), 0.1f);
    EXPECT_TRUE(inspector().GetModelToPlace().empty());
    EXPECT_TRUE(drawnAt(first));

    // Dragged over the ground: one step, however many moves.
    const auto dragFromTo = [&](const glm::vec3& from, const glm::vec3& to) {
        const sf::Vector2i a = ScreenOf(from), b = ScreenOf(to);
        // Where the panel's last frame saw the pointer decides whose the press is.
        MoveTo(a);
        Xdotool("mousedown 1");
        Wait(0.15);
        for (int step = 1; step <= 3; ++step) {
            const sf::Vector2i at = a + (b - a) * step / 3;
            MoveTo(at);
        }
        Xdotool("mouseup 1");
        Wait(0.15);
    };
    dragFromTo(first, second);
    const glm::vec3 movedTo = position();
    EXPECT_LT(glm::distance(movedTo, second), 0.1f);
    Frame();
    EXPECT_TRUE(drawnAt(second));
    EXPECT_FALSE(drawnAt(first));

    // Hidden with its checkbox in the panel.
    const sf::FloatRect visible =
        GetDrawnFieldRect("VoxelModelComponent", "visible").value_or(sf::FloatRect());
    ASSERT_GT(visible.width, 0);
    ClickAt({int(visible.left + 8), int(visible.top + visible.height / 2)});
    EXPECT_FALSE(ObjectManager::GetComponent<VoxelModelComponent>(placed)->visible);
    Frame();
    EXPECT_FALSE(drawnAt(second));
    InspectorHistory& history = inspector().GetHistory();
    EXPECT_EQ(history.GetUndoCount(), 3u);

    // Back step by step: shown, at the first place, gone.
    Keys("ctrl+z");
    Frame();
    EXPECT_TRUE(ObjectManager::GetComponent<VoxelModelComponent>(placed)->visible);
    EXPECT_TRUE(drawnAt(second));
    Keys("ctrl+z");
    Frame();
    EXPECT_EQ(position(), placedAt);
    EXPECT_TRUE(drawnAt(first) && !drawnAt(second));
    Keys("ctrl+z");
    Frame();
    EXPECT_FALSE(ObjectManager::IsValid(placed));
    EXPECT_FALSE(ObjectManager::IsValid(inspector().GetSelected()));
    EXPECT_FALSE(drawnAt(first));
    EXPECT_FALSE(inspector().Undo());

    // And forwards again: the same model, moved, hidden.
    Keys("ctrl+y");
    Frame();
    ASSERT_TRUE(ObjectManager::HasComponent<VoxelModelComponent>(inspector().GetSelected()));
    EXPECT_EQ(position(), placedAt);
    EXPECT_TRUE(drawnAt(first));
    Keys("ctrl+y ctrl+y");
    Frame();
    EXPECT_EQ(position(), movedTo);
    EXPECT_FALSE(
        ObjectManager::GetComponent<VoxelModelComponent>(inspector().GetSelected())->visible);
    EXPECT_FALSE(drawnAt(first) || drawnAt(second));
    EXPECT_EQ(history.GetRedoCount(), 0u);
    const GameObject ball = inspector().GetSelected();

    // A body moves with its object; deleted, it comes back with its shape.
    const glm::vec3 box(1.5f, -3, 0);
    dragFromTo(box, box + glm::vec3(0, 0, 2));
    const GameObject floor = inspector().GetSelected();
    ASSERT_TRUE(ObjectManager::HasComponent<BodyComponent>(floor));
    const auto bodyAt = [](const GameObject& obj) {
        const btVector3 at = ObjectManager::GetComponent<BodyComponent>(obj)
                                 ->GetBody()
                                 ->getWorldTransform()
                                 .getOrigin();
        return glm::vec3(at.x(), at.y(), at.z());
    };
    EXPECT_LT(glm::distance(bodyAt(floor), box + glm::vec3(0, 0, 2)), 0.1f);
    inspector().DeleteSelected();
    Frame();
    ASSERT_TRUE(inspector().Undo());
    const GameObject back = inspector().GetSelected();
    ASSERT_TRUE(ObjectManager::HasComponent<BodyComponent>(back));
    const ShapeParameters shape =
        ObjectManager::GetComponent<BodyComponent>(back)->GetShapeParameters();
    EXPECT_EQ(shape.kind, ShapeKind::Box);
    EXPECT_LT(glm::distance(shape.halfExtents, glm::vec3(1, 0.5f, 1)), 1e-4f);
    EXPECT_LT(glm::distance(bodyAt(back), box + glm::vec3(0, 0, 2)), 0.1f);
    ASSERT_TRUE(inspector().Undo());
    EXPECT_LT(glm::distance(bodyAt(back), box), 1e-4f);

    // A script's data comes back as the same object, its values and all.
    ASSERT_EQ(ErrorOf("var keeper = Make(['GeneralDataComponent']);"
                      "var kept = ObjectManager.GeneralDataComponent(keeper).data;"
                      "kept.hp = 3; ObjectManager.InitializeObj(keeper);"
                      "Inspector.Select(keeper);"),
              "");
    inspector().DeleteSelected();
    Frame();
    ASSERT_TRUE(inspector().Undo());
    EXPECT_EQ(Eval("var again = Inspector.GetSelected();"
                   "(ObjectManager.GeneralDataComponent(again).data === kept) + ' ' + kept.hp"),
              "true 3");

    // The model copied beside itself (CTRL+D), undone and redone, saved as a
    // level: an emptied world that loads the level draws the same picture.
    const TempFolder folder;
    const SaveFolderScope saves{folder.path};
    ObjectManager::GetComponent<VoxelModelComponent>(ball)->visible = true;
    inspector().Select(ball);
    Keys("ctrl+d");
    Frame();
    const auto at = [](const GameObject& obj) {
        return ObjectManager::GetComponent<TransformComponent>(obj)->position;
    };
    const GameObject copy = inspector().GetSelected();
    ASSERT_TRUE(ObjectManager::HasComponent<VoxelModelComponent>(copy));
    EXPECT_NE(copy.id, ball.id);
    EXPECT_EQ(at(copy), at(ball) + glm::vec3(1, 0, 0));
    Keys("ctrl+z");
    Frame();
    EXPECT_FALSE(ObjectManager::IsValid(copy));
    Keys("ctrl+y");
    Frame();
    std::string said;
    ASSERT_TRUE(inspector().GetLevel().Save(said)) << said;
    EXPECT_EQ(said, "saved 2 objects to ../resource/Levels/level.json");
    inspector().Select(GameObject());
    Frame();
    const std::vector<unsigned char> built = pixels;
    EXPECT_TRUE(drawnAt(movedTo) && drawnAt(movedTo + glm::vec3(1, 0, 0)));
    Core::Instance().objectManager->ClearAllObjects();
    EXPECT_EQ(Eval("eye = Make(['TransformComponent', 'CameraComponent']);"
                   "ObjectManager.TransformComponent(eye).position = [-8, 14, 20];"
                   "ObjectManager.TransformComponent(eye).LookAt([-8, 0, 0], [0, 1, 0]);"
                   "ObjectManager.CameraComponent(eye).SetActive(true);"
                   "ObjectManager.InitializeObj(eye);"
                   "Scene.Load('../resource/Levels/level.json').length"),
              "2");
    Frame();
    Frame();
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 460; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) {
                const std::size_t i = 4 * (y * kWidth + x) + c;
                differing += std::abs(int(pixels[i]) - int(built[i])) > 8;
            }
    EXPECT_EQ(differing, 0) << "the loaded level draws as the built one did";
}
