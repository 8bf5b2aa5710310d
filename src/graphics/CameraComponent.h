#pragma once

#include <glm/mat4x4.hpp>

#include "objects/Component.h"
#include "objects/ComponentMessageListener.h"

class MessageManager;
class MessagePointer;

// A viewpoint. The graphics system takes the view of the attached, active camera with the
// highest object id; a new camera is inactive until a script chooses it.
class CameraComponent : public Component {
  public:
    CameraComponent() = default;
    // The slot owns its listener, so it cannot be copied.
    CameraComponent(const CameraComponent&) = delete;
    CameraComponent& operator=(const CameraComponent&) = delete;

    void OnAdd() override;
    void OnRemove() override;
    // Cameras take no messages yet; the listener is there so they can.
    virtual void HandleMessage(const MessagePointer& message);

    // View matrix R * T from the transform with the camera's object id: translate by
    // -position, then rotate by the orientation used as the world-to-camera rotation
    // itself. Identity when that transform slot does not exist.
    glm::mat4 GetMatrix() const;
    glm::mat4 GetMatrixInverse() const { return glm::mat4(1.0f); }

    // true deactivates every other attached camera first; false only this one.
    void SetActive(bool value);
    bool IsActive() const { return active; }
    // The camera the frame is seen and heard from: the attached, active one with the
    // highest object id; null when there is none (the view is then the identity).
    static CameraComponent* FindActive();

    OwnedComponentListener<CameraComponent> listener;
    bool active = false;

  private:
};
