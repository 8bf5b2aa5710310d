#include "tools/DemoState.h"

#include <algorithm>
#include <memory>
#include <string>

#include <btBulletDynamicsCommon.h>
#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>

#include "base/Random.h"
#include "core/Core.h"
#include "graphics/CameraComponent.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "logic/FrameUpdateComponent.h"
#include "messaging/Message.h"
#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "physics/PhysicsSystem.h"
#include "physics/Shape.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"
#include "window/KeyCodes.h"
#include "window/WindowSystem.h"

namespace {

constexpr float kCameraTiltDegrees = 30.0f;
constexpr float kCameraHeight = 15.0f;
constexpr float kCameraSpeed = 50.0f;
constexpr float kModelSpacing = 2.0f;
const glm::vec3 kCubePosition{0.0f, 0.48f, -20.0f};

constexpr float kPieceMass = 3.0f;
constexpr float kPieceRestitution = 0.8f;
constexpr float kPieceFriction = 1.0f;
constexpr float kPieceHalfExtent = 0.48f;
constexpr float kPieceSpeed = 5.0f;
constexpr float kDriftSpeed = 2.5f;
// Pieces are their own group and meet the ground and the world's group-1 bodies (and
// each other), while the mouse pick, which asks for everything, still finds them.
constexpr std::uint16_t kPieceGroup = 2;
constexpr std::uint16_t kPieceMask = 3;
constexpr float kFadePerSecond = 2.0f;

void Broadcast(Message* message) {
    Core::Instance().BroadcastMessage(message);
}

GameObject NewObject() {
    ObjectManager* objects = Core::Instance().objectManager;
    return objects ? objects->NewObject() : GameObject();
}

void DeleteObject(const GameObject& obj) {
    if (ObjectManager* objects = Core::Instance().objectManager)
        objects->DeleteObject(obj);
}

// A random direction in the x-z plane from two uniform draws in [-1000, 1000]. Both
// draws can be 0, which has no direction: that case points along x.
glm::vec3 RandomHorizontalDirection() {
    const auto draw = [] {
        return static_cast<float>(RandomDraw15()) * 2000.0f / 32767.0f - 1000.0f;
    };
    const glm::vec3 v(draw(), 0.0f, draw());
    const float length = glm::length(v);
    return length > 0.0f ? v / length : glm::vec3(1.0f, 0.0f, 0.0f);
}

bool IsAsleep(const GameObject& piece) {
    const BodyComponent* body = ObjectManager::GetComponent<BodyComponent>(piece);
    if (body == nullptr || body->GetBody() == nullptr)
        return false;
    const int state = body->GetBody()->getActivationState();
    return state == ISLAND_SLEEPING || state == DISABLE_SIMULATION;
}

// Keys held while the console or a text field has the keyboard are down for no
// one: the window answers false.
void MoveCamera(float dt, const GameObject& camera) {
    const WindowSystem* window = Core::Instance().WindowSystem_;
    TransformComponent* transform = ObjectManager::GetComponent<TransformComponent>(camera);
    if (window == nullptr || transform == nullptr || !ObjectManager::IsValid(camera))
        return;
    const auto down = [window](std::uint32_t letter, sf::Keyboard::Key arrow) {
        return window->IsKeyDown(letter) || window->IsKeyDown(KeyCodeFromSfml(arrow));
    };
    const float step = kCameraSpeed * dt;
    if (down('w', sf::Keyboard::Up))
        transform->position.z -= step;
    if (down('r', sf::Keyboard::Down))
        transform->position.z += step;
    if (down('a', sf::Keyboard::Left))
        transform->position.x -= step;
    if (down('s', sf::Keyboard::Right))
        transform->position.x += step;
}

void PressAddTestVoxelModel(void* state) {
    static_cast<DemoState*>(state)->AddTestVoxelModel();
}
void PressCreateCrumbleTest(void* state) {
    static_cast<DemoState*>(state)->CreateCrumbleTest();
}
void PressCrumbleTest(void* state) {
    static_cast<DemoState*>(state)->CrumbleTest();
}

} // namespace

DemoState& DemoState::Instance() {
    static DemoState instance;
    return instance;
}

void DemoState::Initialize() {
    // Handles from an earlier run name nothing now (objects are cleared between states)
    // but their ids come back: kept, they would fade and delete someone else's objects.
    crumbleObject = GameObject();
    crumblePieces.clear();
    piecesSettled = false;

    const std::string bar = kBarName;
    Broadcast(TryCreateMessage<RegisterAntBarMessage>(bar, 200u, 400u, 200u, 10u));
    Broadcast(TryCreateMessage<AddButtonMessage>(bar, &PressAddTestVoxelModel, this,
                                                 std::string("AddTestVoxelModel"), std::string()));
    Broadcast(TryCreateMessage<AddButtonMessage>(bar, &PressCreateCrumbleTest, this,
                                                 std::string("CreateCrumbleTest"), std::string()));
    Broadcast(TryCreateMessage<AddButtonMessage>(bar, &PressCrumbleTest, this,
                                                 std::string("CrumbleTest"), std::string()));
    CreateCamera();
    CreateFloor();
    nextModelPosition = glm::vec3(0.0f, -0.5f, -25.0f);
}

void DemoState::CreateCamera() {
    cameraObject = NewObject();
    TransformComponent* transform = ObjectManager::AddComponent<TransformComponent>(cameraObject);
    CameraComponent* camera = ObjectManager::AddComponent<CameraComponent>(cameraObject);
    FrameUpdateComponent* mover = ObjectManager::AddComponent<FrameUpdateComponent>(cameraObject);
    if (transform == nullptr || camera == nullptr || mover == nullptr)
        return;
    mover->updateCallback = &MoveCamera;
    camera->SetActive(true);
    // The orientation turns the world into the camera's view: turning the world up
    // about the camera's sideways axis (its x axis, taken back into the world) makes the
    // camera look down on it.
    const glm::vec3 sideways = glm::conjugate(transform->orientation) * glm::vec3(1.0f, 0.0f, 0.0f);
    transform->orientation =
        transform->orientation * glm::angleAxis(glm::radians(kCameraTiltDegrees), sideways);
    transform->position.y += kCameraHeight;
    ObjectManager::InitializeObj(cameraObject);
}

void DemoState::CreateFloor() {
    floorObject = GameObject();
    const PhysicsSystem* physics = Core::Instance().PhysicsSystem_;
    if (physics == nullptr || physics->GetGroundBody() != nullptr)
        return;
    floorObject = NewObject();
    TransformComponent* transform = ObjectManager::AddComponent<TransformComponent>(floorObject);
    BodyComponent* body = ObjectManager::AddComponent<BodyComponent>(floorObject);
    if (transform == nullptr || body == nullptr)
        return;
    // Its top is where the ground plane would be, y = 0.
    transform->position = glm::vec3(0.0f, -0.5f, 0.0f);
    body->pendingShape =
        Shape::Add(ShapeKind::Box, std::make_unique<btBoxShape>(btVector3(200.0f, 0.5f, 200.0f)));
    body->collisionType = PhysicsSystem::kRayGroup;
    body->collidesWith = PhysicsSystem::kAllGroups;
    ObjectManager::InitializeObj(floorObject);
}

void DemoState::AddTestVoxelModel() {
    GraphicsSystem* graphics = Core::Instance().GraphicsSystem_;
    const GameObject obj = NewObject();
    VoxelModelComponent* shown = ObjectManager::AddComponent<VoxelModelComponent>(obj);
    TransformComponent* transform = ObjectManager::AddComponent<TransformComponent>(obj);
    if (shown == nullptr || transform == nullptr)
        return;
    shown->model = graphics ? graphics->GetModel(kTestModelFile) : nullptr;
    shown->alpha = 1.0f;
    transform->position = nextModelPosition;
    nextModelPosition.y -= kModelSpacing;
    ObjectManager::InitializeObj(obj);
}

void DemoState::CreateCrumbleTest() {
    if (ObjectManager::IsValid(crumbleObject))
        return;
    GraphicsSystem* graphics = Core::Instance().GraphicsSystem_;
    crumbleObject = NewObject();
    VoxelModelComponent* shown = ObjectManager::AddComponent<VoxelModelComponent>(crumbleObject);
    TransformComponent* transform = ObjectManager::AddComponent<TransformComponent>(crumbleObject);
    if (shown == nullptr || transform == nullptr)
        return;
    shown->model = graphics ? graphics->GetModel(kCubeModelFile) : nullptr;
    shown->alpha = 1.0f;
    transform->position = kCubePosition;
    ObjectManager::InitializeObj(crumbleObject);
}

void DemoState::CrumbleTest() {
    if (!ObjectManager::IsValid(crumbleObject))
        return;
    const VoxelModelComponent* shown =
        ObjectManager::GetComponent<VoxelModelComponent>(crumbleObject);
    const TransformComponent* transform =
        ObjectManager::GetComponent<TransformComponent>(crumbleObject);
    if (shown == nullptr || transform == nullptr)
        return;
    const glm::vec3 drift = RandomHorizontalDirection() * kDriftSpeed;
    const glm::vec3 origin = transform->position;
    // A copy: creating pieces grows the component stores the model's owner lives in.
    const std::vector<VoxelInstance> voxels =
        shown->model ? shown->model->voxels : std::vector<VoxelInstance>();
    for (const VoxelInstance& voxel : voxels)
        CreatePiece(glm::vec3(voxel.position) + origin, voxel.color,
                    RandomHorizontalDirection() * kPieceSpeed + drift);
    DeleteObject(crumbleObject);
}

void DemoState::CreatePiece(const glm::vec3& position, const glm::vec4& color,
                            const glm::vec3& velocity) {
    const GameObject piece = NewObject();
    TransformComponent* transform = ObjectManager::AddComponent<TransformComponent>(piece);
    BodyComponent* body = ObjectManager::AddComponent<BodyComponent>(piece);
    VoxelComponent* voxel = ObjectManager::AddComponent<VoxelComponent>(piece);
    if (transform == nullptr || body == nullptr || voxel == nullptr)
        return;
    transform->position = position;
    voxel->color = color;
    body->isKinematic = false;
    body->initialMass = kPieceMass;
    body->initialRestitution = kPieceRestitution;
    body->initialFriction = kPieceFriction;
    body->pendingShape =
        Shape::Add(ShapeKind::Box, std::make_unique<btBoxShape>(btVector3(
                                       kPieceHalfExtent, kPieceHalfExtent, kPieceHalfExtent)));
    body->collisionType = kPieceGroup;
    body->collidesWith = kPieceMask;
    body->initialVelocity = velocity;
    ObjectManager::InitializeObj(piece);
    crumblePieces.push_back(piece);
}

void DemoState::Update(float dt) {
    // Pieces deleted from elsewhere (a script, a clear) leave nothing to wait for.
    if (std::none_of(crumblePieces.begin(), crumblePieces.end(), &ObjectManager::IsValid)) {
        crumblePieces.clear();
        piecesSettled = false;
        return;
    }
    if (!piecesSettled) {
        for (const GameObject& piece : crumblePieces)
            if (ObjectManager::IsValid(piece) && IsAsleep(piece)) {
                piecesSettled = true;
                break;
            }
        return;
    }
    FadePieces(dt);
}

void DemoState::FadePieces(float dt) {
    bool faded = false;
    for (const GameObject& piece : crumblePieces) {
        VoxelComponent* voxel = ObjectManager::GetComponent<VoxelComponent>(piece);
        if (voxel == nullptr || !ObjectManager::IsValid(piece))
            continue;
        voxel->color.a = std::max(voxel->color.a - kFadePerSecond * dt, 0.0f);
        faded = faded || voxel->color.a == 0.0f;
    }
    if (faded)
        DeletePieces();
}

void DemoState::DeletePieces() {
    for (const GameObject& piece : crumblePieces)
        if (ObjectManager::IsValid(piece))
            DeleteObject(piece);
    crumblePieces.clear();
    piecesSettled = false;
}

void DemoState::Cleanup() {
    Broadcast(TryCreateMessage<DeleteBarMessage>(std::string(kBarName)));
    crumbleObject = GameObject();
    crumblePieces.clear();
    piecesSettled = false;
}
