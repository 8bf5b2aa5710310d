// Drawing with SFML's 2D graphics after the renderer's raw OpenGL.

#include "window/SfmlDrawScope.h"

#include <GL/glew.h>
#include <SFML/Graphics/RenderTarget.hpp>

SfmlDrawScope::SfmlDrawScope(sf::RenderTarget& target, bool preserveOpenGLStates)
    : SfmlDrawScope(target, preserveOpenGLStates,
                    sf::Vector2f(float(target.getSize().x), float(target.getSize().y))) {}

SfmlDrawScope::SfmlDrawScope(sf::RenderTarget& target, bool preserveOpenGLStates, sf::Vector2f size)
    : target(target), preserveOpenGLStates(preserveOpenGLStates) {
    // SFML draws nothing while a vertex array of the renderer is bound. The
    // function exists only once the graphics system loaded it.
    if (glBindVertexArray != nullptr)
        glBindVertexArray(0);
    if (preserveOpenGLStates)
        target.pushGLStates();
    else
        target.resetGLStates();
    // One window pixel per unit, whatever view was left behind.
    previousView = target.getView();
    target.setView(sf::View(sf::FloatRect(0.0f, 0.0f, size.x, size.y)));
}

SfmlDrawScope::~SfmlDrawScope() {
    target.setView(previousView);
    if (preserveOpenGLStates)
        target.popGLStates();
}
