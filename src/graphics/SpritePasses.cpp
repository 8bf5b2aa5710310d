#include "graphics/SpritePasses.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <GL/glew.h>
#include <glm/gtc/type_ptr.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "graphics/BillboardComponent.h"
#include "graphics/Projection.h"
#include "graphics/ShaderProgram.h"
#include "graphics/SpriteComponent.h"
#include "graphics/Texture.h"
#include "graphics/TransformComponent.h"
#include "objects/ComponentFactory.h"

namespace {

constexpr float kDegreesToRadians = 0.017453292f;

// An object whose transform slot does not exist is drawn at the origin, as one whose
// transform was never set would be.
glm::vec3 PositionOf(const GameObject& owner) {
    const TransformComponent* transform =
        ComponentFactory<TransformComponent>::Instance().At(owner.id);
    return transform != nullptr ? transform->position : glm::vec3(0.0f);
}

// A texture that failed to load has no GL name and no size: nothing of it would show.
bool IsDrawable(const Texture* texture) {
    return texture != nullptr && texture->name != 0;
}

// A sprite without a texture shows its colour, unless that is transparent.
bool IsSolid(const SpriteComponent& sprite) {
    return sprite.texture == nullptr && sprite.color.a > 0.0f;
}

std::uint8_t Channel(float value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f);
}

// One texel that solid rectangles are drawn with, its colour set for each of them: the
// sprite program then draws them as it draws images (a game's own sprite shader too).
// Textures are shared by every context the window makes, but one may still be gone.
GLuint SolidTexture() {
    static GLuint name = 0;
    if (name != 0 && glIsTexture(name))
        return name;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    const std::uint8_t white[4] = {255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    return name;
}

// Uniform locations and the bound texture, so a run of sprites sharing an image does not
// set the same state again for each.
class PassState {
  public:
    explicit PassState(ShaderProgram& program)
        : alphaLocation(program.GetUniformLocation("u_alpha")) {
        glUseProgram(program.GetProgram());
        glUniform1i(program.GetUniformLocation("u_texture"), 0);
        glActiveTexture(GL_TEXTURE0);
        glBindVertexArray(0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
    }
    ~PassState() {
        glDisableVertexAttribArray(0);
        glDisableVertexAttribArray(1);
        glBindTexture(GL_TEXTURE_2D, 0);
        glUseProgram(0);
    }
    PassState(const PassState&) = delete;
    PassState& operator=(const PassState&) = delete;

    void Use(const Texture& texture, float alpha) {
        // Values above 1 are drawn as opaque; below 0 they are passed on as they are.
        glUniform1f(alphaLocation, std::min(alpha, 1.0f));
        if (texture.name == boundTexture)
            return;
        boundTexture = texture.name;
        glBindTexture(GL_TEXTURE_2D, texture.name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }

    // The colour's own alpha is the rectangle's opacity.
    void UseSolid(const glm::vec4& color) {
        glUniform1f(alphaLocation, 1.0f);
        const GLuint solid = SolidTexture();
        if (solid != boundTexture) {
            boundTexture = solid;
            glBindTexture(GL_TEXTURE_2D, solid);
        }
        const std::uint8_t texel[4] = {Channel(color.r), Channel(color.g), Channel(color.b),
                                       Channel(color.a)};
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    }

  private:
    GLint alphaLocation;
    GLuint boundTexture = 0;
};

struct SpriteVertex {
    glm::vec2 position;
    glm::vec2 texCoord;
};
static_assert(sizeof(SpriteVertex) == 16, "sprite vertices are interleaved with stride 16");

void DrawSprite(const SpriteComponent& sprite, glm::vec2 centre) {
    // Without a texture the scale is the size in pixels.
    const glm::vec2 size = sprite.texture != nullptr
                               ? glm::vec2(static_cast<float>(sprite.texture->width),
                                           static_cast<float>(sprite.texture->height))
                               : glm::vec2(1.0f);
    const float hw = size.x * sprite.scale.x * 0.5f;
    const float hh = size.y * sprite.scale.y * 0.5f;
    const float radians = sprite.angle * kDegreesToRadians;
    const float c = std::cos(radians), s = std::sin(radians);
    // Counter-clockwise from the lower left: front-facing while both scales are positive.
    SpriteVertex corners[4] = {{{-hw, -hh}, {0.0f, 0.0f}},
                               {{hw, -hh}, {1.0f, 0.0f}},
                               {{hw, hh}, {1.0f, 1.0f}},
                               {{-hw, hh}, {0.0f, 1.0f}}};
    for (SpriteVertex& corner : corners) {
        const glm::vec2 p = corner.position;
        corner.position = glm::vec2(p.x * c - p.y * s, p.x * s + p.y * c) + centre;
    }
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(SpriteVertex), &corners[0].position);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(SpriteVertex), &corners[0].texCoord);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
}

void DrawBillboard(const BillboardComponent& billboard) {
    const glm::mat4 rotation = RotationMatrix(billboard.orientation);
    const glm::vec3 c0(rotation[0]), c1(rotation[1]);
    const glm::vec3 right(c0.x, c0.y, -c0.z), up(c1.x, c1.y, -c1.z);
    const glm::vec3 s(billboard.scale, 1.0f);
    const glm::vec3 p = PositionOf(billboard.owner) + billboard.offset;
    const glm::vec3 positions[4] = {p - s * (right + up), p + s * (right - up),
                                    p + s * (right + up), p - s * (right - up)};
    static const glm::vec2 kTexCoords[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, positions);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 0, kTexCoords);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
}

} // namespace

void DrawSpritePass(ShaderProgram& program, std::uint32_t viewportWidth,
                    std::uint32_t viewportHeight) {
    // Drawable sprites in id order; a stable sort by layer keeps that order within a
    // layer. Reused from frame to frame.
    static std::vector<const SpriteComponent*> order;
    order.clear();
    ComponentFactory<SpriteComponent>::Instance().ForEachAttached(
        [](const SpriteComponent& sprite) {
            if (sprite.visible && (IsDrawable(sprite.texture) || IsSolid(sprite)))
                order.push_back(&sprite);
        });
    if (order.empty())
        return;
    std::stable_sort(
        order.begin(), order.end(),
        [](const SpriteComponent* a, const SpriteComponent* b) { return a->z < b->z; });

    const float width = static_cast<float>(viewportWidth);
    const float height = static_cast<float>(viewportHeight);
    glm::mat4 orthographic(1.0f);
    orthographic[0][0] = 2.0f / width;
    orthographic[1][1] = 2.0f / height;
    orthographic[2][2] = -1.0f;
    orthographic[3] = glm::vec4(-1.0f, -1.0f, 0.0f, 1.0f);

    PassState state(program);
    glUniformMatrix4fv(program.GetUniformLocation("u_model_view_projection"), 1, GL_FALSE,
                       glm::value_ptr(orthographic));
    const glm::vec2 window(width, height);
    for (const SpriteComponent* sprite : order) {
        if (sprite->texture != nullptr)
            state.Use(*sprite->texture, sprite->alpha);
        else
            state.UseSolid(sprite->color);
        DrawSprite(*sprite,
                   AnchorPoint(sprite->anchor, window) + glm::vec2(PositionOf(sprite->owner)));
    }
}

void DrawBillboardPass(ShaderProgram& program, const glm::mat4& modelViewProjection) {
    PassState state(program);
    glUniformMatrix4fv(program.GetUniformLocation("u_model_view_projection"), 1, GL_FALSE,
                       glm::value_ptr(modelViewProjection));
    ComponentFactory<BillboardComponent>::Instance().ForEachAttached(
        [&state](const BillboardComponent& billboard) {
            if (!billboard.visible || !IsDrawable(billboard.texture))
                return;
            state.Use(*billboard.texture, billboard.alpha);
            DrawBillboard(billboard);
        });
}
