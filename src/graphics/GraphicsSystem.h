#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec4.hpp>

#include "core/System.h"
#include "graphics/DebugLineBatch.h"
#include "graphics/LightingSettings.h"
#include "graphics/LitScene.h"
#include "graphics/MatrixStack.h"
#include "graphics/NearFirstOrder.h"
#include "graphics/ParticleSimulation.h"
#include "graphics/Projection.h"
#include "graphics/ShaderProgram.h"
#include "graphics/SunShadowMap.h"
#include "graphics/Texture.h"
#include "messaging/MessageListener.h"
#include "voxels/SeeThroughVoxels.h"
#include "voxels/VisibleVoxelCache.h"
#include "voxels/VoxelInstance.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelOcclusionCache.h"

class CameraComponent;
class MessageManager;

// The renderer. Owns every GL object the engine draws with and the texture and model
// caches, and draws one frame per main-loop pass: all voxels in one instanced draw, then
// sprites and billboards, then whatever listens to the debug-draw message. The game's text
// and the developer tools go over it in the window system, which presents the frame.
// The lighting settings are its own script properties, so they live on it.
class GraphicsSystem : public Core::System, public MessageListener, public LightingSettings {
  public:
    // Bytes of the voxel instance buffer, and the records it holds.
    static constexpr std::size_t kVoxelBufferBytes = 0x2000000;
    static constexpr std::size_t kVoxelCapacity = kVoxelBufferBytes / sizeof(VoxelInstance);

    explicit GraphicsSystem(MessageManager& messages);
    ~GraphicsSystem() override;

    // Needs the window's GL context current. Without OpenGL 3.3, or when the shaders do
    // not build, shows the error box and quits the engine.
    void Initialize() override;
    void Update(float dt) override;
    JSObject* GetJSInstance() override;
    virtual void HandleMessage(const MessagePointer& message);

    // Cache look-ups by the name exactly as given; the file is read from ResolvePath of
    // it. A file that fails to load is cached as it is (an empty model, a texture named
    // 0), reported once and never retried. Entries live as long as the system.
    VoxelModel* GetModel(const std::string& name);
    Texture* GetTexture(const std::string& name);

    // The view and projection of the last frame drawn (identity before the first).
    glm::mat4 GetCameraMatrix() const { return modelViewStack.Top(); }
    glm::mat4 GetProjectionMatrix() const { return projectionStack.Top(); }
    // World-space ray under a window pixel (origin top left) through that frame's view.
    MouseRay GetMouseClickRay(int x, int y) const;

    // Adds a burst of particles (ParticleSimulation): gravity, where the burst sets none,
    // and the ground plane are the physics world's. Returns how many were emitted.
    std::size_t EmitParticles(const ParticleBurst& burst);
    // Live particles; they are let go when the objects are cleared (a state switch).
    std::size_t ParticleCount();

    // How many voxel records the buffer texture can address on this GL (at most
    // kVoxelCapacity). A frame with more draws no voxels.
    std::size_t VoxelCapacity() const { return voxelCapacity; }

    // Whether the tweak panels are drawn over the frame (they draw through the window).
    bool drawTweakBar = true;
    bool drawing = true;
    // What the frame is cleared to before anything is drawn: r, g, b, a in [0, 1].
    glm::vec4 clearColor{0.0f, 0.0f, 0.0f, 0.0f};
    // Draws voxels the plain way: every voxel of every model, all six faces of each cube,
    // see-through voxels ordered by a tree. The picture is the same; the switch is there to
    // prove it and to measure the difference. Set at start-up by the environment variable
    // MARROWVALE_PLAIN_VOXELS=1.
    bool plainVoxels = false;
    std::uint32_t viewportWidth = 1280;
    std::uint32_t viewportHeight = 800;
    ShaderProgram voxelProgram;
    ShaderProgram spriteProgram;
    // voxelFaces.vs + constAmbient.fs: only the faces towards the camera.
    ShaderProgram voxelFacesProgram;
    std::vector<VoxelInstance> voxelInstances;
    SeeThroughVoxels transparentVoxels;
    VisibleVoxelCache visibleVoxels;
    // Lit frames with ambient occlusion: the corner levels of each model and, per record of
    // voxelInstances, those of this frame (empty in other frames).
    VoxelOcclusionCache voxelOcclusion;
    std::vector<std::uint64_t> occlusionLevels;
    std::uint32_t voxelDataBuffer = 0;
    std::uint32_t voxelDataTexture = 0;
    std::uint32_t cubeVertexArray = 0;
    std::uint32_t cubeVertexBuffer = 0;
    std::uint32_t facePairsVertexArray = 0;
    std::map<std::string, Texture> textureCache;
    std::map<std::string, VoxelModel> modelCache;
    MatrixStack modelViewStack;
    MatrixStack projectionStack;
    CameraComponent* activeCamera = nullptr;
    // Lines given while the debug-draw message is handled; drawn right after it.
    DebugLineBatch debugLines;
    // GL 3.3 entry points are loaded, so GL calls are safe from here on.
    bool glReady = false;

    // How often the sun's shadow map has been drawn: still frames reuse it.
    std::uint64_t ShadowMapDrawCount() const { return sunShadows.DrawCount(); }

    // The game's own Shaders/ folder when it has one, else the engine's.
    static std::string GetShaderFolder();

  private:
    // On failure `missingFile` names a shader file that could not be opened, if any.
    bool BuildPrograms(std::string& missingFile);
    void BuildFacesProgram(const std::string& folder);
    void ApplyState();
    void CreateVoxelStore();
    void CreateCube();
    void DeleteBuffers();
    void ChooseCamera();
    // With lighting, the sky too: it goes behind the opaque voxels.
    void DrawVoxels(bool lit, bool shadowed);
    void UseVoxelProgram(ShaderProgram& program, bool lit, bool shadowed, bool facesOnly,
                         const glm::dvec4& eye);
    void EndVoxelProgram(bool lit, bool shadowed);
    void DrawSprites();
    void DrawBillboards(bool lit);
    void LoadTexture(Texture& texture, bool upload);
    void NoteOverCapacity(std::size_t count);

    MessageManager* messages;
    // Programs and buffers exist: the scene passes can run.
    bool sceneReady = false;
    std::size_t voxelCapacity = kVoxelCapacity;
    bool overCapacityNoted = false;
    // The camera-facing shader built; a game's own shader folder may not have it.
    bool facesReady = false;
    // This frame's records before this index need no blending.
    std::size_t firstBlendedVoxel = 0;
    // This frame's records before this index are opaque; the rest are see-through.
    std::size_t opaqueVoxels = 0;
    // Lighting's programs and sky, made on the first lit frame.
    LitScene litScene;
    // The sun's shadow map, made on the first frame with lighting and shadows on.
    SunShadowMap sunShadows;
    // Lit frames' records as drawn: the opaque ones nearest the eye first.
    NearFirstOrder nearFirstOrder;
    // Particles are stepped with the frame's time and drawn among the voxels.
    ParticleSimulation particles;
    // The object manager's clear count the particles belong to: a clear since lets them go.
    std::uint64_t particleClears = 0;
    void ForgetClearedParticles();
    // Textures asked for before GL was up; uploaded by Initialize.
    std::vector<Texture*> pendingUploads;
};
