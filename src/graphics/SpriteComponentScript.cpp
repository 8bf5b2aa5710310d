#include "graphics/SpriteComponent.h"

#include "graphics/Texture.h"
#include "objects/ComponentScript.h"

namespace {

script::PointerOrNull<Texture> GetTexture(const SpriteComponent& sprite) {
    return {sprite.texture};
}
// Anything but a Texture object clears the texture; the sprite then draws nothing.
void SetTexture(SpriteComponent& sprite, script::PointerOrNull<Texture> texture) {
    sprite.texture = texture.object;
}

using S = script::ScriptClass<SpriteComponent>;
const S
    spriteComponentClass("SpriteComponent",
                         {
                             S::Property<&GetTexture, &SetTexture>("texture"),
                             S::Property<&SpriteComponent::alpha>("alpha"),
                             S::Property<&SpriteComponent::angle>("angle"),
                             S::Property<&SpriteComponent::z>("z"),
                             S::Property<&SpriteComponent::visible>("visible"),
                             S::Property<&SpriteComponent::scale>("scale"),
                             S::Method<&SpriteComponent::GetHalfExtents>("GetHalfExtents"),
                             S::Method<&SpriteComponent::UpdateHalfExtents>("UpdateHalfExtents"),
                         },
                         ComponentScriptOptions<SpriteComponent>());

} // namespace
