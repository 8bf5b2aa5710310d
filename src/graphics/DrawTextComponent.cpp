#include "graphics/DrawTextComponent.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/View.hpp>

#include "base/Path.h"
#include "base/Platform.h"
#include "core/Core.h"
#include "graphics/TransformComponent.h"
#include "objects/ComponentFactory.h"
#include "window/SfmlDrawScope.h"
#include "window/WindowSystem.h"

namespace {

// A channel in [0, 1] as 8 bits. Out-of-range values are clamped rather than wrapped, so
// 1.01 stays white instead of turning nearly black; NaN counts as 0.
sf::Uint8 Channel(float value) {
    if (!(value > 0.0f))
        return 0;
    return static_cast<sf::Uint8>(std::min(value, 1.0f) * 255.0f);
}

unsigned CharacterSize(float size) {
    if (!(size > 0.0f))
        return 0;
    return static_cast<unsigned>(std::lround(std::min(size, DrawTextComponent::kMaxFontSize)));
}

std::string DefaultFontPath() {
    const std::string own = Core::Instance().GetResourcePath(DrawTextComponent::kDefaultFontFile);
    std::error_code error;
    if (std::filesystem::is_regular_file(own, error))
        return own;
    return std::string(GetEngineResourceFolder()) + DrawTextComponent::kDefaultFontFile;
}

const sf::Font* LoadFont(std::uint32_t detail, const std::string& file) {
    return &Core::Instance().WindowSystem_->GetFont(detail,
                                                    file.empty() ? DefaultFontPath() : file);
}

} // namespace

void DrawTextComponent::OnAdd() {
    text.clear();
    fontFile.clear();
    fontSize = kDefaultFontSize;
    fontDetail = kDefaultFontDetail;
    color = glm::vec4(0.0f);
    visible = true;
    anchor = ScreenAnchor::Center;
    align = TextAlign::Center;
    font = nullptr;
    shownText.clear();
    drawable = sf::Text();
}

void DrawTextComponent::OnRemove() {
    font = nullptr;
}

void DrawTextComponent::Initialize() {
    font = LoadFont(fontDetail, fontFile);
}

void DrawTextComponent::SetNewFont(const std::string& file) {
    font = LoadFont(fontDetail, file);
}

void DrawTextComponent::Prepare() {
    // An object that was never initialized still shows its text: the font is taken as
    // initialize would have taken it.
    if (font == nullptr)
        font = LoadFont(fontDetail, fontFile);
    drawable.setFont(*font);
    // The font keeps glyphs per character size, so the detail picks which of them
    // are drawn, and the scale brings them to the size asked for.
    const unsigned drawn = CharacterSize(fontSize);
    const unsigned raster = fontDetail == 0 ? drawn : CharacterSize(static_cast<float>(fontDetail));
    drawable.setCharacterSize(raster);
    const float scale = raster == 0 ? 1.0f : static_cast<float>(drawn) / static_cast<float>(raster);
    drawable.setScale(scale, scale);
    if (shownText != text) {
        // Bytes are Latin-1 code points, as scripts hand them over.
        sf::String string;
        for (const char byte : text)
            string += sf::Uint32(static_cast<unsigned char>(byte));
        drawable.setString(string);
        shownText = text;
    }
    drawable.setOrigin(0.0f, 0.0f);
    drawable.setPosition(0.0f, 0.0f);
}

glm::vec2 DrawTextComponent::GetHalfExtents() {
    // Glyphs are rasterised into GL textures, and without a display the windowing library
    // ends the process rather than make a context: nothing can be measured then.
    if (!Platform::HasDisplay())
        return glm::vec2(0.0f);
    Prepare();
    const sf::FloatRect bounds = drawable.getLocalBounds();
    const float scale = drawable.getScale().x;
    return {std::fabs(bounds.width) * scale * 0.5f, std::fabs(bounds.height) * scale * 0.5f};
}

glm::vec2 DrawTextComponent::CharPosAt(std::uint32_t index) {
    if (!Platform::HasDisplay())
        return glm::vec2(0.0f);
    Prepare();
    const sf::Vector2f position = drawable.findCharacterPos(index);
    return {position.x, position.y};
}

void DrawTextComponent::Draw(sf::RenderTarget& target, sf::Vector2f point) {
    Prepare();
    drawable.setFillColor(
        sf::Color(Channel(color.r), Channel(color.g), Channel(color.b), Channel(color.a)));
    // The glyphs' rectangle starts below and right of the drawable's origin (by the
    // ascent gap and the first glyph's bearing); centring that rectangle itself puts the
    // visible text where a sprite at the same place would be.
    const sf::FloatRect bounds = drawable.getLocalBounds();
    // Nothing to show (no text, or a font that failed to load, whose empty glyphs would
    // still leave stray pixels).
    if (bounds.width <= 0.0f || bounds.height <= 0.0f)
        return;
    const float across = align == TextAlign::Left    ? 0.0f
                         : align == TextAlign::Right ? bounds.width
                                                     : bounds.width * 0.5f;
    drawable.setOrigin(bounds.left + across, bounds.top + bounds.height * 0.5f);
    drawable.setPosition(std::round(point.x), std::round(point.y));
    target.draw(drawable);
}

void DrawTextComponents(sf::RenderTarget& target, sf::Vector2f offset, bool preserveGlState) {
    static std::vector<DrawTextComponent*> shown; // reused from frame to frame
    shown.clear();
    ComponentFactory<DrawTextComponent>::Instance().ForEachAttached(
        [](DrawTextComponent& component) {
            if (component.visible)
                shown.push_back(&component);
        });
    if (shown.empty())
        return;

    // Window pixels whatever size the window had when its view was made.
    const SfmlDrawScope drawing(target, preserveGlState);
    const glm::vec2 size(static_cast<float>(target.getSize().x),
                         static_cast<float>(target.getSize().y));

    auto& transforms = ComponentFactory<TransformComponent>::Instance();
    for (DrawTextComponent* component : shown) {
        const TransformComponent* transform = transforms.At(component->owner.id);
        const glm::vec3 position = transform != nullptr ? transform->position : glm::vec3(0.0f);
        // Anchors are measured y up, as positions are; the window's pixels run y down.
        const glm::vec2 anchor = AnchorPoint(component->anchor, size);
        const sf::Vector2f point(anchor.x + position.x + offset.x,
                                 (size.y - anchor.y) - position.y + offset.y);
        component->Draw(target, point);
    }
}
