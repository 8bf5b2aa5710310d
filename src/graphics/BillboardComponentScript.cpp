#include "graphics/BillboardComponent.h"

#include "graphics/Texture.h"
#include "objects/ComponentScript.h"

namespace {

script::PointerOrNull<Texture> GetTexture(const BillboardComponent& billboard) {
    return {billboard.texture};
}
// Anything but a Texture object clears the texture; the billboard then draws nothing.
void SetTexture(BillboardComponent& billboard, script::PointerOrNull<Texture> texture) {
    billboard.texture = texture.object;
}

using S = script::ScriptClass<BillboardComponent>;
const S billboardComponentClass("BillboardComponent",
                                {
                                    S::Property<&GetTexture, &SetTexture>("texture"),
                                    S::Property<&BillboardComponent::alpha>("alpha"),
                                    S::Property<&BillboardComponent::visible>("visible"),
                                    S::Property<&BillboardComponent::scale>("scale"),
                                },
                                ComponentScriptOptions<BillboardComponent>());

} // namespace
