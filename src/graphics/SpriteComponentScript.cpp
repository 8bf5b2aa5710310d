#include "graphics/SpriteComponent.h"

#include "graphics/Texture.h"
#include "objects/ComponentScript.h"

namespace {

constexpr const char* kColorNote =
    "r, g, b, a in 0-1; a sprite with no texture is a rectangle of `scale` pixels in this "
    "colour";

script::PointerOrNull<Texture> GetTexture(const SpriteComponent& sprite) {
    return {sprite.texture};
}
// Anything but a Texture object clears the texture; the sprite then draws its colour.
void SetTexture(SpriteComponent& sprite, script::PointerOrNull<Texture> texture) {
    sprite.texture = texture.object;
}

using S = script::ScriptClass<SpriteComponent>;
const S spriteComponentClass(
    "SpriteComponent",
    {
        S::Property<&GetTexture, &SetTexture>("texture"),
        S::Property<&SpriteComponent::alpha>("alpha"),
        S::Property<&SpriteComponent::angle>("angle"),
        S::Property<&SpriteComponent::z>("z"),
        S::Property<&SpriteComponent::visible>("visible"),
        S::Property<&SpriteComponent::scale>("scale"),
        S::Property<&SpriteComponent::color>("color").Noted(kColorNote),
        S::Property<&GetAnchorName<SpriteComponent>, &SetAnchorName<SpriteComponent>>("anchor")
            .Noted(kScreenAnchorNote),
        S::Method<&SpriteComponent::GetHalfExtents>("GetHalfExtents"),
        S::Method<&SpriteComponent::UpdateHalfExtents>("UpdateHalfExtents"),
    },
    ComponentScriptOptions<SpriteComponent>());

} // namespace
