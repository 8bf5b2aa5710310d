#pragma once

#include <glm/vec3.hpp>

#include "objects/GameObject.h"

// Where the editor camera stands and how it is turned.
struct CameraView {
    glm::vec3 position{0.0f};
    float yaw = 0.0f;
    float pitch = 0.0f;
};

// The model editor's camera: an object with a transform, a camera and a frame-update
// component that flies it with W, A, S, D or the arrow keys; the right mouse button turns
// it. Its yaw and pitch live as long as the program, so the view is kept between editor
// sessions.
class EditorCamera {
  public:
    // Makes the camera object, 15 above and 23 in front of the origin, and makes it the
    // active camera.
    void Create();
    // Degrees from mouse pixels; a pitch that would pass 45 degrees up or down is not taken.
    void Turn(int dx, int dy);
    // Moves along the view for the keys held, unless the keys are typing elsewhere.
    void Move(float dt);

    const GameObject& GetObject() const { return object; }
    // The view now; the default view when the camera object is gone.
    CameraView GetView() const;
    // Puts the camera there; a pitch past the limit is brought back within it.
    void SetView(const CameraView& view);
    static float GetYaw();
    static float GetPitch();

  private:
    void ApplyTurn();

    GameObject object;
};

// False while the window's keyboard is captured (the developer console is open or a
// panel's text field has the focus): keys held then are typing, not steering. For the
// key messages the editor reads; IsKeyDown already answers false then.
bool AreKeysSteering();
