#include "tools/EditorCamera.h"

#include <glm/common.hpp>
#include <glm/gtc/quaternion.hpp>

#include "core/Core.h"
#include "graphics/CameraComponent.h"
#include "graphics/TransformComponent.h"
#include "logic/FrameUpdateComponent.h"
#include "objects/ObjectManager.h"
#include "window/KeyCodes.h"
#include "window/WindowSystem.h"

namespace {

constexpr float kTurnDegreesPerPixel = 0.6f;
constexpr float kPitchLimit = 45.0f;
constexpr float kSpeed = 30.0f; // units per second
// Looking level from 15 above and 23 in front, the origin would lie just below the
// picture; tilted down this far it is in view from the start.
constexpr float kStartPitch = 30.0f;
const glm::vec3 kStartPosition(0.0f, 15.0f, 23.0f);

float yaw = 0.0f;
float pitch = kStartPitch;

// The camera's own turn (camera to world): yaw about the world's up axis, then pitch about
// the camera's sideways axis. Positive yaw turns right, positive pitch looks down.
glm::quat CameraTurn() {
    return glm::angleAxis(glm::radians(-yaw), glm::vec3(0.0f, 1.0f, 0.0f)) *
           glm::angleAxis(glm::radians(-pitch), glm::vec3(1.0f, 0.0f, 0.0f));
}

bool IsHeld(std::uint32_t key, sf::Keyboard::Key arrow) {
    const WindowSystem* window = Core::Instance().WindowSystem_;
    return window != nullptr &&
           (window->IsKeyDown(key) || window->IsKeyDown(KeyCodeFromSfml(arrow)));
}

} // namespace

bool AreKeysSteering() {
    const WindowSystem* window = Core::Instance().WindowSystem_;
    return window == nullptr || !window->IsKeyboardCaptured();
}

float EditorCamera::GetYaw() {
    return yaw;
}

float EditorCamera::GetPitch() {
    return pitch;
}

void EditorCamera::Create() {
    object = Core::Instance().objectManager->NewObject();
    auto* transform = ObjectManager::AddComponent<TransformComponent>(object);
    auto* camera = ObjectManager::AddComponent<CameraComponent>(object);
    auto* mover = ObjectManager::AddComponent<FrameUpdateComponent>(object);
    if (transform == nullptr || camera == nullptr || mover == nullptr)
        return; // the world was cleared under us; there is nothing to look through
    mover->updateCallback = [this](float dt, const GameObject&) { Move(dt); };
    camera->SetActive(true);
    transform->position += kStartPosition;
    ApplyTurn();
    ObjectManager::InitializeObj(object);
}

void EditorCamera::ApplyTurn() {
    if (!ObjectManager::IsValid(object))
        return;
    if (auto* transform = ObjectManager::GetComponent<TransformComponent>(object))
        transform->orientation = glm::conjugate(CameraTurn()); // world to camera
}

CameraView EditorCamera::GetView() const {
    CameraView view{kStartPosition, yaw, pitch};
    if (ObjectManager::IsValid(object))
        if (const auto* transform = ObjectManager::GetComponent<TransformComponent>(object))
            view.position = transform->position;
    return view;
}

void EditorCamera::SetView(const CameraView& view) {
    yaw = view.yaw;
    pitch = glm::clamp(view.pitch, -kPitchLimit, kPitchLimit);
    if (ObjectManager::IsValid(object))
        if (auto* transform = ObjectManager::GetComponent<TransformComponent>(object))
            transform->position = view.position;
    ApplyTurn();
}

void EditorCamera::Turn(int dx, int dy) {
    yaw += static_cast<float>(dx) * kTurnDegreesPerPixel;
    const float turned = pitch + static_cast<float>(dy) * kTurnDegreesPerPixel;
    if (turned >= -kPitchLimit && turned <= kPitchLimit)
        pitch = turned;
    ApplyTurn();
}

void EditorCamera::Move(float dt) {
    if (!AreKeysSteering())
        return;
    auto* transform = ObjectManager::GetComponent<TransformComponent>(object);
    if (transform == nullptr)
        return;
    const glm::quat turn = CameraTurn();
    const glm::vec3 forward = turn * glm::vec3(0.0f, 0.0f, -1.0f);
    const glm::vec3 right = turn * glm::vec3(1.0f, 0.0f, 0.0f);
    glm::vec3 step(0.0f);
    if (IsHeld('w', sf::Keyboard::Up))
        step += forward;
    if (IsHeld('s', sf::Keyboard::Down))
        step -= forward;
    if (IsHeld('a', sf::Keyboard::Left))
        step -= right;
    if (IsHeld('d', sf::Keyboard::Right))
        step += right;
    transform->position += step * (kSpeed * dt);
}
