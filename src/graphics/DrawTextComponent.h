#pragma once

#include <cstdint>
#include <string>

#include <SFML/Graphics/Text.hpp>
#include <glm/vec2.hpp>
#include <glm/vec4.hpp>

#include "graphics/ScreenAnchor.h"
#include "objects/Component.h"

namespace sf {
class Font;
class RenderTarget;
} // namespace sf

// A line of TrueType text drawn over the frame at the point a sprite with the same transform
// and anchor would be centred on: the anchor's point of the window (its centre by default)
// moved by the transform position (x right, y up). `align` says whether the text starts,
// is centred or ends there; it is centred there vertically. The window system draws every
// attached one after the graphics frame.
class DrawTextComponent : public Component {
  public:
    // Character size of a new text, and the size a font is asked for with.
    static constexpr float kDefaultFontSize = 30.0f;
    // 0: glyphs are rasterised at the drawn size, fontSize.
    static constexpr std::uint32_t kDefaultFontDetail = 0;
    // Glyphs are rasterised at the drawn size; far larger ones would exhaust texture memory.
    static constexpr float kMaxFontSize = 512.0f;
    // Used while `fontFile` is empty, taken from the game's resource folder or the engine's.
    static constexpr const char* kDefaultFontFile = "Fonts/courierNew.ttf";

    // A new text, also on a reused slot, starts from the defaults below: it shows once a
    // script sets `text` and a visible `color`.
    void OnAdd() override;
    void OnRemove() override;
    // Takes the font named by `fontFile` (the default font while it is empty).
    void Initialize() override;

    // Uses the font cached under `file`, loading it at `fontDetail` on first use;
    // `fontFile` is left as it is.
    void SetNewFont(const std::string& file);
    // Half width and half height of the rectangle the drawn glyphs cover at `fontSize`.
    glm::vec2 GetHalfExtents();
    // Where character `index` starts relative to the text's origin (the end of the text
    // for an index past it).
    glm::vec2 CharPosAt(std::uint32_t index);

    // Draws the text aligned on window pixel `point` (origin top left, y down).
    void Draw(sf::RenderTarget& target, sf::Vector2f point);

    std::string text;     // one byte per character (Latin-1)
    std::string fontFile; // path as given; "" for the default font
    float fontSize = kDefaultFontSize;
    // The character size glyphs are rasterised at; the text is scaled from it to
    // fontSize. Below fontSize it draws coarse, blocky glyphs; above it, smoother ones.
    std::uint32_t fontDetail = kDefaultFontDetail;
    glm::vec4 color{0.0f, 0.0f, 0.0f, 0.0f}; // r, g, b, a in [0, 1]
    bool visible = true;
    ScreenAnchor anchor = ScreenAnchor::Center;
    TextAlign align = TextAlign::Center;
    // Owned by the window system's font cache; null until the first initialize, draw or
    // measurement, and after removal.
    const sf::Font* font = nullptr;

  private:
    // Puts font, size and text into the drawable, at the origin.
    void Prepare();

    sf::Text drawable;
    std::string shownText; // what the drawable holds, so unchanged text is not converted again
};

// Draws every attached, visible text component into `target` in object-id order, placed
// as above and moved by `offset` (window pixels). With `preserveGlState` the GL state is
// saved and restored around the drawing; otherwise the windowing library's is reset first.
void DrawTextComponents(sf::RenderTarget& target, sf::Vector2f offset, bool preserveGlState);
