#pragma once

#include <glm/vec2.hpp>

#include "graphics/ScreenAnchor.h"
#include "objects/ComponentMessageListener.h"
#include "picking/MouseCallbackComponent.h"

class MessageManager;
class MessagePointer;

// A rectangle on the screen, in window pixels, centred where a sprite of the
// same object with the same anchor is drawn: the anchor's point of the window
// (its centre by default) plus the transform's x and y, y up.
// It hears the mouse through a listener of its own and calls its script
// functions with the owner and the mouse position relative to its centre
// (x right, y down).
class ClickBoxComponent : public MouseCallbackComponent {
  public:
    static constexpr float kTriggerDelay = 0.03f;

    ClickBoxComponent() = default;
    // The slot owns its listener, so it cannot be copied.
    ClickBoxComponent(const ClickBoxComponent&) = delete;
    ClickBoxComponent& operator=(const ClickBoxComponent&) = delete;

    // Starts listening, then calls initFunction(owner).
    void Initialize() override;
    // Stops listening, then calls destructFunction(owner).
    void OnRemove() override;
    void OnAdd() override;
    // Called by the game logic once per frame.
    virtual void Update(float dt);
    virtual void HandleMessage(const MessagePointer& message);

    // The centre in window pixels (origin top left, y down). An object
    // without a transform has its box at the anchor's point.
    glm::vec2 GetCenter() const;
    // Strictly inside: a point on the border, or any point of a box with a
    // zero extent, misses.
    bool IsHit(glm::vec2 point) const;
    glm::vec2 GetMousePos() const { return mousePos; }

    glm::vec2 extents{0.0f, 0.0f}; // half width and half height, pixels
    bool clickableWhileInactive = false;
    ScreenAnchor anchor = ScreenAnchor::Center;

  private:
    bool Reacts() const { return active || clickableWhileInactive; }

    OwnedComponentListener<ClickBoxComponent> listener;
    glm::vec2 mousePos{0.0f, 0.0f};
};
