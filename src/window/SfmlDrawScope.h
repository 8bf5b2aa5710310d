#pragma once

// Drawing with SFML's 2D graphics after the renderer's raw OpenGL: for its
// lifetime the target draws in window pixels from the top left, and the
// renderer's state is kept or simply left behind, as the caller chooses.

#include <SFML/Graphics/View.hpp>
#include <SFML/System/Vector2.hpp>

namespace sf {
class RenderTarget;
}

class SfmlDrawScope {
  public:
    // `preserveOpenGLStates` saves the renderer's OpenGL state and gives it back
    // at the end; without it the state is reset for SFML and left so. `size` is
    // what the view spans, the target's size in pixels unless given.
    SfmlDrawScope(sf::RenderTarget& target, bool preserveOpenGLStates);
    SfmlDrawScope(sf::RenderTarget& target, bool preserveOpenGLStates, sf::Vector2f size);
    ~SfmlDrawScope();
    SfmlDrawScope(const SfmlDrawScope&) = delete;
    SfmlDrawScope& operator=(const SfmlDrawScope&) = delete;

  private:
    sf::RenderTarget& target;
    bool preserveOpenGLStates;
    sf::View previousView;
};
