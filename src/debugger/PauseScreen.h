#pragma once

#include <string>

namespace sf {
class RenderWindow;
}
class SoundSystem;

// What the window shows while a script is stopped: the last frame the game
// drew, with a strip saying where it stopped. Sound and music hold still
// meanwhile and go on from where they were.
class PauseScreen {
  public:
    void Begin(const std::string& where, SoundSystem* sound);
    void Draw(sf::RenderWindow& window);
    void End(SoundSystem* sound);

  private:
    std::string where;
};
