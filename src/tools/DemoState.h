#pragma once

#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "logic/GameState.h"
#include "objects/GameObject.h"

// A small state for trying out voxel models and physics: a panel adds test models in a
// column, places a cube, and breaks that cube into physics voxels that fall, settle and
// fade away. WASD-style keys (and the arrows) move its camera.
class DemoState : public GameState {
  public:
    static DemoState& Instance();

    static constexpr const char* kBarName = "DemoState";
    static constexpr const char* kTestModelFile = "..\\resource\\Models\\testVoxels2.vxm";
    static constexpr const char* kCubeModelFile = "..\\resource\\Models\\voxelCube.vxm";

    void Initialize() override;
    void Cleanup() override;
    void Update(float dt) override;

    // What the panel's three buttons do.
    void AddTestVoxelModel();
    void CreateCrumbleTest();
    void CrumbleTest();

    const GameObject& GetCameraObject() const { return cameraObject; }
    const GameObject& GetCrumbleObject() const { return crumbleObject; }
    const GameObject& GetFloorObject() const { return floorObject; }
    const std::vector<GameObject>& GetCrumblePieces() const { return crumblePieces; }
    const glm::vec3& GetNextModelPosition() const { return nextModelPosition; }
    bool ArePiecesSettled() const { return piecesSettled; }

  private:
    void CreateCamera();
    void CreateFloor();
    void CreatePiece(const glm::vec3& position, const glm::vec4& color, const glm::vec3& velocity);
    void FadePieces(float dt);
    void DeletePieces();

    GameObject cameraObject;
    glm::vec3 nextModelPosition{0.0f, -0.5f, -25.0f};
    GameObject crumbleObject;
    std::vector<GameObject> crumblePieces;
    bool piecesSettled = false;
    // Stands in for the physics system's ground plane when the game runs without one,
    // so that the pieces have something to come to rest on.
    GameObject floorObject;
};
