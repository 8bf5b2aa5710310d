#include "debugger/PauseScreen.h"

#include <GL/glew.h>

#include <cmath>

#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/Graphics/Text.hpp>

#include "audio/SoundSystem.h"
#include "base/Path.h"
#include "core/Core.h"
#include "window/WindowSystem.h"

namespace {
constexpr unsigned kCharacterSize = 18;
constexpr float kStripHeight = 30.0f;
constexpr const char* kFontFile = "Fonts/courierNew.ttf";
} // namespace

void PauseScreen::Begin(const std::string& text, SoundSystem* sound) {
    where = text;
    if (sound)
        sound->SuspendPlaying();
}

void PauseScreen::End(SoundSystem* sound) {
    if (sound)
        sound->ResumeSuspended();
}

void PauseScreen::Draw(sf::RenderWindow& window) {
    WindowSystem* windows = Core::Instance().WindowSystem_;
    // The renderer's vertex array would keep the windowing library from drawing.
    if (glBindVertexArray != nullptr)
        glBindVertexArray(0);
    window.resetGLStates();
    const sf::Vector2u size = window.getSize();
    window.setView(sf::View(sf::FloatRect(0.0f, 0.0f, float(size.x), float(size.y))));
    window.clear();
    if (const sf::Texture* frame = windows ? windows->GetLastFrame() : nullptr)
        window.draw(sf::Sprite(*frame));

    sf::RectangleShape strip(sf::Vector2f(float(size.x), kStripHeight));
    strip.setFillColor(sf::Color(20, 20, 60, 220));
    window.draw(strip);
    if (windows) {
        std::string font = std::string(kDefaultResourceFolder) + kFontFile;
        std::string problem;
        if (!IsRegularFile(ResolvePath(font), problem))
            font = std::string(GetEngineResourceFolder()) + kFontFile;
        sf::Text text(where, windows->GetFont(kCharacterSize, font), kCharacterSize);
        text.setFillColor(sf::Color(255, 220, 90));
        const sf::FloatRect bounds = text.getLocalBounds();
        text.setPosition(std::floor((float(size.x) - bounds.width) * 0.5f), 4.0f);
        window.draw(text);
    }
}
