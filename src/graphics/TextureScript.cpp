#include "graphics/Texture.h"

#include "script/ScriptClass.h"

// Wrappers point at entries of the graphics system's cache, which live as long as the
// system; they never own them.
namespace {

std::uint32_t GetWidth(const Texture& texture) {
    return texture.width;
}
std::uint32_t GetHeight(const Texture& texture) {
    return texture.height;
}
std::string GetName(const Texture& texture) {
    return texture.fileName;
}

using S = script::ScriptClass<Texture>;
const S textureClass("Texture", {
                                    S::Method<&GetWidth>("GetWidth"),
                                    S::Method<&GetHeight>("GetHeight"),
                                    S::Method<&GetName>("GetName"),
                                });

} // namespace
