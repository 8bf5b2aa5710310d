// Sprites and billboards drawn by the graphics system into a real window, checked by
// reading the frame's pixels back.

#include <cmath>
#include <string>

#include <SFML/Graphics/Image.hpp>
#include <glm/gtc/quaternion.hpp>

#include "graphics/BillboardComponent.h"
#include "graphics/CameraComponent.h"
#include "graphics/GraphicsTestSupport.h"
#include "graphics/SpriteComponent.h"
#include "script/ScriptTestSupport.h"

namespace {

const glm::ivec4 kRed(255, 0, 0, 255), kGreen(0, 255, 0, 255), kBlue(0, 0, 255, 255);

class SpriteRender : public InitializedGraphicsTest {
  protected:
    // A w x h image: the left half `left`, the right half `right`.
    Texture* Image(const std::string& name, unsigned w, unsigned h, sf::Color left,
                   sf::Color right = sf::Color::Transparent) {
        sf::Image image;
        image.create(w, h, left);
        for (unsigned x = w / 2; x < w && right != sf::Color::Transparent; ++x)
            for (unsigned y = 0; y < h; ++y)
                image.setPixel(x, y, right);
        const std::string file = (folder.path / name).string();
        EXPECT_TRUE(image.saveToFile(file));
        return graphics.GetTexture(file);
    }
    SpriteComponent* Sprite(Texture* texture, glm::vec3 position, std::uint32_t z,
                            glm::vec2 scale) {
        SpriteComponent* sprite = ObjectManager::AddComponent<SpriteComponent>(Object(position));
        sprite->texture = texture;
        sprite->z = z;
        sprite->scale = scale;
        sprite->alpha = 1.0f;
        return sprite;
    }

    const TempFolder folder;
};

} // namespace

TEST_F(SpriteRender, LayersOpacityPlacementTurnsMirroringAndBillboards) {
    Texture* red = Image("red.png", 10, 10, sf::Color::Red);
    Texture* blue = Image("blue.png", 10, 10, sf::Color::Blue);
    // Added with a texture only: alpha 0 and scale 0 show nothing.
    SpriteComponent* fresh = ObjectManager::AddComponent<SpriteComponent>(Object({}));
    fresh->texture = blue;
    Frame();
    EXPECT_EQ(Drawn().width, 0);

    // Created in the order z = 5, 0, 2 and drawn 0, 2, 5: red ends on top. Each is the
    // texture's size times its scale, centred in the window.
    SpriteComponent* top = Sprite(red, {0, 0, 0}, 5, {2, 2});
    Sprite(Image("green.png", 10, 10, sf::Color::Green), {0, 0, 0}, 0, {3, 3});
    SpriteComponent* middle = Sprite(blue, {0, 0, 0}, 2, {2.5f, 2.5f});
    Frame();
    EXPECT_EQ(Centre(), kRed);
    EXPECT_EQ(Drawn(), PixelBounds(kWidth / 2 - 15, kHeight / 2 - 15, 30, 30));
    EXPECT_EQ(Pixel(kWidth / 2 - 14, kHeight / 2), kGreen);
    EXPECT_EQ(Pixel(kWidth / 2 - 11, kHeight / 2), kBlue);
    top->z = 1;
    Frame();
    EXPECT_EQ(Centre(), kBlue);
    top->z = 0xFFFFFFFFu; // -1 from a script: the highest layer, not the lowest
    Frame();
    EXPECT_EQ(Centre(), kRed);
    middle->z = top->z; // sharing a layer, the higher object id is drawn later
    Frame();
    EXPECT_EQ(Centre(), kBlue);
    // Made after the blue one but on the lower id its predecessor freed: drawn below.
    om.DeleteObject(top->owner);
    om.Update();
    Sprite(red, {0, 0, 0}, middle->z, {2, 2});
    Frame();
    EXPECT_EQ(Centre(), kBlue);

    // Alone, moved right by 30 and up by 20 pixels; alpha above 1 is opaque, 0.5 half.
    om.ClearAllObjects();
    SpriteComponent* moved = Sprite(red, {30, 20, 0}, 0, {2, 2});
    moved->alpha = 2.5f;
    Frame();
    EXPECT_EQ(Drawn(), PixelBounds(kWidth / 2 + 20, kHeight / 2 + 10, 20, 20));
    EXPECT_EQ(Pixel(kWidth / 2 + 30, kHeight / 2 + 20), kRed);
    moved->alpha = 0.5f;
    Frame();
    EXPECT_NEAR(Pixel(kWidth / 2 + 30, kHeight / 2 + 20).r, 128, 2);
    moved->visible = false;
    Frame();
    EXPECT_EQ(Drawn().width, 0);
    moved->visible = true;
    moved->texture = graphics.GetTexture((folder.path / "missing.png").string());
    Frame();
    EXPECT_EQ(Drawn().width, 0) << "a texture that failed to load draws nothing";

    // 20 x 10, red on the left, blue on the right.
    om.ClearAllObjects();
    Texture* halves = Image("halves.png", 20, 10, sf::Color::Red, sf::Color::Blue);
    SpriteComponent* sprite = Sprite(halves, {}, 0, {2, 2});
    const int cx = kWidth / 2, cy = kHeight / 2;
    Frame();
    EXPECT_EQ(Drawn(), PixelBounds(cx - 20, cy - 10, 40, 20));
    EXPECT_EQ(Pixel(cx - 10, cy), kRed);
    EXPECT_EQ(Pixel(cx + 10, cy), kBlue);

    // A quarter turn counter-clockwise: tall, with the right half now on top.
    sprite->angle = 90.0f;
    Frame();
    EXPECT_EQ(Drawn(), PixelBounds(cx - 10, cy - 20, 20, 40));
    EXPECT_EQ(Pixel(cx, cy + 10), kBlue);
    EXPECT_EQ(Pixel(cx, cy - 10), kRed);

    // One negative scale turns the corners clockwise: the back face is culled. Both
    // negative is a half turn.
    sprite->angle = 0.0f;
    sprite->scale = {-2, 2};
    Frame();
    EXPECT_EQ(Drawn().width, 0);
    sprite->scale = {-2, -2};
    Frame();
    EXPECT_EQ(Pixel(cx - 10, cy), kBlue);
    EXPECT_EQ(Pixel(cx + 10, cy), kRed);

    // Billboards need a camera and face only +z.
    om.ClearAllObjects();
    BillboardComponent* billboard =
        ObjectManager::AddComponent<BillboardComponent>(Object({0, 0, 0}));
    billboard->texture = Image("billboard.png", 8, 8, sf::Color::Green);
    billboard->alpha = 1.0f;
    billboard->scale = {2, 1}; // half sizes in world units
    Frame();
    EXPECT_EQ(Drawn().width, 0) << "no camera: no billboards";

    const GameObject eye = Object({0, 0, 5});
    ObjectManager::AddComponent<CameraComponent>(eye)->active = true;
    Frame();
    EXPECT_EQ(Centre(), kGreen);
    // 2 world units at distance 5 under a 60-degree vertical field of view.
    const double unit = 2.0 / (2.0 * 5.0 * std::tan(glm::radians(30.0))) * kHeight;
    EXPECT_NEAR(Drawn().height, unit, 2.0);
    EXPECT_NEAR(Drawn().width, 2 * unit, 2.0);
    EXPECT_NEAR(Drawn().CentreX(), kWidth / 2.0, 1.0);

    // Seen from behind (from -z, turned half round about y) it is culled.
    TransformComponent* view = ObjectManager::GetComponent<TransformComponent>(eye);
    view->position = {0, 0, -5};
    view->orientation = glm::angleAxis(glm::pi<float>(), glm::vec3(0, 1, 0));
    Frame();
    EXPECT_EQ(Drawn().width, 0);
}
