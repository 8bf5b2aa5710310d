#include "graphics/GraphicsSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>

#include <BulletDynamics/Dynamics/btDiscreteDynamicsWorld.h>
#include <GL/glew.h>
#include <SFML/Graphics/Image.hpp>
#include <glm/common.hpp>
#include <glm/mat4x4.hpp>
#include <glm/matrix.hpp>

#include "base/Path.h"
#include "base/Platform.h"
#include "base/SfmlErrorCapture.h"
#include "core/Core.h"
#include "core/ListeningSystem.h"
#include "graphics/CameraComponent.h"
#include "graphics/SpritePasses.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "objects/ComponentFactory.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "script/SavedProperties.h"
#include "voxels/CubeGeometry.h"
#include "voxels/VoxelGatherer.h"

namespace {

constexpr GLsizei kCubeVertices = 36;
constexpr GLsizei kFacePairVertices = 18;
// Each record is three RGBA32F texels.
constexpr std::size_t kTexelsPerVoxel = 3;

// GL bindings the frame changes that the attribute stacks do not cover. Other code drawing
// into the same context (the windowing library, the tweak panels) caches some of them.
class SavedBindings {
  public:
    SavedBindings() {
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_BUFFER, &bufferTexture);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
        glGetIntegerv(GL_TEXTURE_BUFFER, &textureBuffer);
    }

    void Restore() const {
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_BUFFER, static_cast<GLuint>(bufferTexture));
        glActiveTexture(static_cast<GLenum>(activeTexture));
        glUseProgram(static_cast<GLuint>(program));
        glBindVertexArray(static_cast<GLuint>(vertexArray));
        glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer));
        glBindBuffer(GL_TEXTURE_BUFFER, static_cast<GLuint>(textureBuffer));
    }

  private:
    GLint activeTexture = GL_TEXTURE0;
    GLint bufferTexture = 0;
    GLint program = 0;
    GLint vertexArray = 0;
    GLint arrayBuffer = 0;
    GLint textureBuffer = 0;
};

} // namespace

GraphicsSystem::GraphicsSystem(MessageManager& messages) : messages(&messages) {
    StartListening(messages, this);
    const char* plain = std::getenv("MARROWVALE_PLAIN_VOXELS");
    plainVoxels = plain != nullptr && std::strcmp(plain, "1") == 0;
    // Scene files keep textures and models by the name they were cached under.
    script::RegisterAsset(
        {&typeid(Texture),
         [](const void* texture) { return static_cast<const Texture*>(texture)->fileName; },
         [this](const std::string& file) -> void* { return GetTexture(file); }});
    script::RegisterAsset({&typeid(VoxelModel),
                           [this](const void* model) {
                               for (const auto& [name, cached] : modelCache)
                                   if (&cached == model)
                                       return name;
                               return std::string();
                           },
                           [this](const std::string& file) -> void* { return GetModel(file); }});
}

GraphicsSystem::~GraphicsSystem() {
    script::UnregisterAsset(typeid(Texture));
    script::UnregisterAsset(typeid(VoxelModel));
    messages->RemoveListener(listener);
    if (glReady)
        DeleteBuffers();
}

void GraphicsSystem::Initialize() {
    // GL 3.3 is checked before any state is set: without its entry points loaded no GL
    // call may be made at all.
    glewExperimental = GL_TRUE;
    const GLenum loaded = glewInit();
    if (loaded != GLEW_OK || !GLEW_VERSION_3_3) {
        Core::ShowErrorBox(0, "",
                           "OpenGL 3.3 is not supported, try updating your graphics drivers.");
        Core::Instance().FailStartup();
        return;
    }
    glReady = true;
    ApplyState();

    std::string missingShader;
    if (!BuildPrograms(missingShader)) {
        // A missing file is the game folder's problem, not the graphics driver's.
        if (!missingShader.empty())
            Core::ShowErrorBox(0, "", "Cannot find the shader file %s.", missingShader.c_str());
        else
            Core::ShowErrorBox(0, "",
                               "Failed to compile and link graphics shaders. Marrowvale requires "
                               "OpenGL 3.3. You may need to update your graphics card or "
                               "graphics drivers.");
        Core::Instance().FailStartup();
        return;
    }

    // GL 3.3 promises only 65,536 texels in a buffer texture; records past the limit would
    // read as zeros, so a smaller limit lowers the capacity instead.
    GLint maxTexels = 0;
    glGetIntegerv(GL_MAX_TEXTURE_BUFFER_SIZE, &maxTexels);
    voxelCapacity = kVoxelCapacity;
    if (maxTexels > 0 && static_cast<std::size_t>(maxTexels) / kTexelsPerVoxel < voxelCapacity)
        voxelCapacity = static_cast<std::size_t>(maxTexels) / kTexelsPerVoxel;

    CreateVoxelStore();
    CreateCube();
    sceneReady = true;

    for (Texture* texture : pendingUploads)
        LoadTexture(*texture, true);
    pendingUploads.clear();
}

std::string GraphicsSystem::GetShaderFolder() {
    // A game brings its own shaders in a Shaders/ folder or uses the engine's.
    const std::string own = Core::Instance().GetResourcePath("Shaders/");
    std::error_code error;
    if (std::filesystem::is_directory(own, error))
        return own;
    return std::string(GetEngineResourceFolder()) + "Shaders/";
}

bool GraphicsSystem::BuildPrograms(std::string& missingFile) {
    const std::string folder = GetShaderFolder();
    try {
        voxelProgram.AddShader(folder + "voxelShader.vs");
        voxelProgram.AddShader(folder + "constAmbient.fs");
        voxelProgram.Link();
        voxelProgram.AddUniform("modelViewMatrix");
        voxelProgram.AddUniform("perspectiveMatrix");
        voxelProgram.AddUniform("voxelDataBuffer");

        spriteProgram.AddShader(folder + "sprite.vs");
        spriteProgram.AddShader(folder + "sprite.fs");
        spriteProgram.Link();
        spriteProgram.AddUniform("u_alpha");
        spriteProgram.AddUniform("u_texture");
        spriteProgram.AddUniform("u_model_view_projection");
    } catch (const ShaderException& error) {
        std::fprintf(stderr, "GraphicsSystem: %s\n", error.message.c_str());
        missingFile = error.missingFile;
        return false;
    } catch (const ShaderProgramException& error) {
        std::fprintf(stderr, "GraphicsSystem: %s\n", error.message.c_str());
        return false;
    }
    BuildFacesProgram(folder);
    return true;
}

void GraphicsSystem::BuildFacesProgram(const std::string& folder) {
    // Without it every frame is drawn the plain way, which looks the same.
    facesReady = BuildOrDrawWithout("all faces of voxels are drawn", [&] {
        voxelFacesProgram.AddShader(folder + "voxelFaces.vs");
        voxelFacesProgram.AddShader(folder + "constAmbient.fs");
        voxelFacesProgram.Link();
        voxelFacesProgram.AddUniform("modelViewMatrix");
        voxelFacesProgram.AddUniform("perspectiveMatrix");
        voxelFacesProgram.AddUniform("voxelDataBuffer");
        voxelFacesProgram.AddUniform("cameraPosition");
        voxelFacesProgram.AddUniform("facePairs");
        const CubeFacePairs pairs = MakeCubeFacePairs();
        glUseProgram(voxelFacesProgram.GetProgram());
        glUniform3fv(voxelFacesProgram.GetUniformLocation("facePairs"), 72, &pairs.positions[0][0]);
        glUseProgram(0);
    });
}

void GraphicsSystem::ApplyState() {
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(clearColor.r, clearColor.g, clearColor.b, clearColor.a);
    glClearDepth(1.0);
}

void GraphicsSystem::CreateVoxelStore() {
    glGenBuffers(1, &voxelDataBuffer);
    glBindBuffer(GL_TEXTURE_BUFFER, voxelDataBuffer);
    glBufferData(GL_TEXTURE_BUFFER, kVoxelBufferBytes, nullptr, GL_DYNAMIC_DRAW);
    glGenTextures(1, &voxelDataTexture);
    glBindTexture(GL_TEXTURE_BUFFER, voxelDataTexture);
    glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, voxelDataBuffer);
    glBindTexture(GL_TEXTURE_BUFFER, 0);
    glBindBuffer(GL_TEXTURE_BUFFER, 0);
}

void GraphicsSystem::CreateCube() {
    const GLsizeiptr half = sizeof kUnitCube.positions;
    glGenBuffers(1, &cubeVertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, cubeVertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof kUnitCube, nullptr, GL_STATIC_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, half, kUnitCube.positions);
    glBufferSubData(GL_ARRAY_BUFFER, half, sizeof kUnitCube.normals, kUnitCube.normals);
    glGenVertexArrays(1, &cubeVertexArray);
    glBindVertexArray(cubeVertexArray);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 0,
                          reinterpret_cast<const void*>(static_cast<std::uintptr_t>(half)));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);

    // The camera-facing draw reads its corners from a uniform and needs no attributes, but
    // a vertex array must be bound to draw.
    glGenVertexArrays(1, &facePairsVertexArray);
}

void GraphicsSystem::DeleteBuffers() {
    // Deleting name 0 or a name unknown to the current context is a no-op, so this is safe
    // before anything was created and after the context changed.
    glDeleteVertexArrays(1, &cubeVertexArray);
    glDeleteBuffers(1, &cubeVertexBuffer);
    glDeleteVertexArrays(1, &facePairsVertexArray);
    facePairsVertexArray = 0;
    glDeleteTextures(1, &voxelDataTexture);
    glDeleteBuffers(1, &voxelDataBuffer);
    cubeVertexArray = cubeVertexBuffer = voxelDataTexture = voxelDataBuffer = 0;
    debugLines.ReleaseGl();
    litScene.ReleaseGl();
    sunShadows.ReleaseGl();
}

void GraphicsSystem::Update(float dt) {
    // The frame's time, which leaves out whatever the debugger held the game for, so
    // particles stop with everything else.
    ForgetClearedParticles();
    particles.Update(dt);

    // Everything but GL also runs without a context, so the camera, the matrices and the
    // instance array that scripts and tools read stay current.
    // A window destroyed by another program has no drawable left: the software rasteriser
    // would draw into a buffer of size 0 and damage its heap. The window system ends the
    // game once it is lost; until then frames are only computed.
    const bool drawable = glReady && Platform::CheckWatchedWindow();
    std::optional<SavedBindings> bindings;
    bool lit = false;
    if (drawable) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        bindings.emplace();
        // Re-applied every frame: whatever drew into the context since the last frame may
        // have left its own state behind.
        ApplyState();
        // Unlit frames use exactly the programs and state they always did. Lit ones start
        // from the sky's horizon colour, which is all of the sky below the horizon.
        lit = drawing && sceneReady && lighting && litScene.Prepare(GetShaderFolder());
        if (lit) {
            // As 8-bit pixels hold what the sky shader writes: the software rasteriser's
            // clear truncates where its fragments round, so the clear is given the rounded
            // level plus a quarter, which both ways store as that level.
            const glm::vec3 level = glm::round(glm::clamp(skyHorizonColor, 0.0f, 1.0f) * 255.0f);
            const glm::vec3 horizon = (level + 0.25f) / 255.0f;
            glClearColor(horizon.r, horizon.g, horizon.b, 1.0f);
        }
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glViewport(0, 0, static_cast<GLsizei>(viewportWidth), static_cast<GLsizei>(viewportHeight));
    }

    projectionStack.Reset();
    projectionStack.MultiplyPush(
        PerspectiveMatrix(static_cast<float>(viewportWidth) / static_cast<float>(viewportHeight)));
    ChooseCamera();

    transparentVoxels.useTree = plainVoxels;
    VoxelGatherer gatherer(voxelInstances, transparentVoxels,
                           plainVoxels ? nullptr : &visibleVoxels);
    occlusionLevels.clear();
    if (lighting && ambientOcclusion)
        gatherer.SetOcclusion(&voxelOcclusion, &occlusionLevels);
    gatherer.GatherScene(&particles.Records());
    firstBlendedVoxel = gatherer.FirstBlended();
    opaqueVoxels = gatherer.OpaqueCount();

    if (drawing && sceneReady && drawable) {
        // Unlit frames use exactly the programs and state they always did.
        const bool shadowed = lit && shadows && litScene.HasShadows() &&
                              sunShadows.Prepare(GetShaderFolder()) &&
                              sunShadows.Update(voxelInstances, opaqueVoxels, modelViewStack.Top(),
                                                projectionStack.Top(), *this, voxelCapacity);
        DrawVoxels(lit, shadowed);
        DrawSprites();
        if (activeCamera != nullptr)
            DrawBillboards(lit);
    }

    messages->Broadcast(MessageManager::kAllGroups,
                        MessagePointer(TryCreateMessage<DebugDrawMessage>()), 0.0f);
    if (drawable)
        debugLines.Draw(modelViewStack.Top(), projectionStack.Top());
    else
        debugLines.Clear();

    if (drawable) {
        bindings->Restore();
        glPopClientAttrib();
        glPopAttrib();
        glFinish();
    }
}

void GraphicsSystem::ChooseCamera() {
    modelViewStack.Reset();
    activeCamera = CameraComponent::FindActive();
    if (activeCamera != nullptr)
        modelViewStack.MultiplyPush(activeCamera->GetMatrix());
}

void GraphicsSystem::DrawVoxels(bool lit, bool shadowed) {
    // The camera's place in the world, for choosing the faces towards it. A view that
    // cannot be inverted gives no place, and the frame draws every face.
    const glm::dvec4 eye = glm::inverse(glm::dmat4(modelViewStack.Top()))[3];
    const bool facesOnly = !plainVoxels && facesReady && std::isfinite(eye.x) &&
                           std::isfinite(eye.y) && std::isfinite(eye.z);
    ShaderProgram& program = lit         ? litScene.VoxelProgram(facesOnly, shadowed)
                             : facesOnly ? voxelFacesProgram
                                         : voxelProgram;
    const std::size_t count = voxelInstances.size();
    if (count > voxelCapacity)
        NoteOverCapacity(count);
    const bool drawn = count != 0 && count <= voxelCapacity;
    // The sky goes behind the opaque voxels, drawn after them where the depth buffer is
    // still clear, so that the pixels they cover are never shaded twice; see-through
    // voxels blend over it. The plain way draws all voxels at once, after the sky.
    const auto solid = static_cast<GLsizei>(facesOnly ? std::min(firstBlendedVoxel, count) : 0);
    const bool skyAfterSolid = lit && drawn && solid > 0;
    if (lit && !skyAfterSolid)
        litScene.DrawSky(*this, modelViewStack.Top(), projectionStack.Top());
    if (!drawn)
        return;

    // Lit pixels cost enough that drawing the opaque voxels nearest first pays
    // (NearFirstOrder.h); unlit frames keep their order, pixel for pixel.
    const bool nearFirst = lit && solid > 1;
    if (nearFirst)
        nearFirstOrder.Arrange(voxelInstances, static_cast<std::size_t>(solid), occlusionLevels,
                               glm::vec3(eye));
    const std::vector<VoxelInstance>& records =
        nearFirst ? nearFirstOrder.Instances() : voxelInstances;
    glBindBuffer(GL_TEXTURE_BUFFER, voxelDataBuffer);
    glBufferSubData(GL_TEXTURE_BUFFER, 0, static_cast<GLsizeiptr>(count * sizeof(VoxelInstance)),
                    records.data());
    glBindBuffer(GL_TEXTURE_BUFFER, 0);
    if (lit && !occlusionLevels.empty())
        litScene.UploadOcclusion(nearFirst ? nearFirstOrder.Levels() : occlusionLevels);
    UseVoxelProgram(program, lit, shadowed, facesOnly, eye);
    if (facesOnly) {
        if (solid > 0) {
            glDisable(GL_BLEND);
            glDrawArrays(GL_TRIANGLES, 0, kFacePairVertices * solid);
            glEnable(GL_BLEND);
        }
        if (skyAfterSolid) {
            EndVoxelProgram(lit, shadowed);
            litScene.DrawSky(*this, modelViewStack.Top(), projectionStack.Top());
            if (static_cast<std::size_t>(solid) < count)
                UseVoxelProgram(program, lit, shadowed, facesOnly, eye);
            else
                return;
        }
        if (static_cast<std::size_t>(solid) < count)
            glDrawArrays(GL_TRIANGLES, kFacePairVertices * solid,
                         kFacePairVertices * (static_cast<GLsizei>(count) - solid));
    } else {
        glDrawArraysInstanced(GL_TRIANGLES, 0, kCubeVertices, static_cast<GLsizei>(count));
    }
    EndVoxelProgram(lit, shadowed);
}

void GraphicsSystem::UseVoxelProgram(ShaderProgram& program, bool lit, bool shadowed,
                                     bool facesOnly, const glm::dvec4& eye) {
    glUseProgram(program.GetProgram());
    if (lit) {
        litScene.SetUniforms(program, *this, projectionStack.Top(),
                             {viewportWidth, viewportHeight});
        litScene.SetOcclusion(program, !occlusionLevels.empty());
        if (shadowed)
            sunShadows.Bind(program);
    }
    program.SetUniformMatrix4("modelViewMatrix", modelViewStack.Top());
    program.SetUniformMatrix4("perspectiveMatrix", projectionStack.Top());
    if (facesOnly)
        glUniform3f(program.GetUniformLocation("cameraPosition"), static_cast<float>(eye.x),
                    static_cast<float>(eye.y), static_cast<float>(eye.z));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_BUFFER, voxelDataTexture);
    program.SetTextureUnit("voxelDataBuffer");
    glBindVertexArray(facesOnly ? facePairsVertexArray : cubeVertexArray);
}

void GraphicsSystem::EndVoxelProgram(bool lit, bool shadowed) {
    glBindTexture(GL_TEXTURE_BUFFER, 0);
    glBindVertexArray(0);
    if (lit)
        litScene.EndOcclusion();
    if (shadowed)
        SunShadowMap::Unbind();
    glUseProgram(0);
}

void GraphicsSystem::DrawSprites() {
    DrawSpritePass(spriteProgram, viewportWidth, viewportHeight);
}

void GraphicsSystem::DrawBillboards(bool lit) {
    ShaderProgram& program = lit ? litScene.BillboardProgram() : spriteProgram;
    if (lit) {
        glUseProgram(program.GetProgram());
        litScene.SetUniforms(program, *this, projectionStack.Top(),
                             {viewportWidth, viewportHeight});
    }
    DrawBillboardPass(program, projectionStack.Top() * modelViewStack.Top());
}

void GraphicsSystem::NoteOverCapacity(std::size_t count) {
    // Said once: a scene that stays too large would otherwise repeat it every frame.
    if (overCapacityNoted)
        return;
    overCapacityNoted = true;
    std::fprintf(stderr,
                 "GraphicsSystem: %zu voxels exceed the %zu the voxel buffer holds; no voxels "
                 "are drawn in frames with that many (reported once)\n",
                 count, voxelCapacity);
    std::fflush(stderr);
}

void GraphicsSystem::HandleMessage(const MessagePointer& message) {
    switch (message->id) {
    case MID_VideoSizeChangeMessage: {
        const auto& change = static_cast<const VideoSizeChangeMessage&>(*message);
        // A size of 0 (a script's message, a minimized window) would make the aspect
        // ratio and with it the projection and every picking ray NaN.
        if (change.width == 0 || change.height == 0)
            break;
        viewportWidth = change.width;
        viewportHeight = change.height;
        glViewport(0, 0, static_cast<GLsizei>(viewportWidth), static_cast<GLsizei>(viewportHeight));
        if (glReady) {
            // A new video mode can come with a new context. The old objects are freed
            // first, so a plain resize does not leave 32 MiB behind each time.
            ApplyState();
            if (sceneReady) {
                DeleteBuffers();
                CreateVoxelStore();
                CreateCube();
            }
        }
        break;
    }
    case MID_QuittingMessage:
        transparentVoxels.Clear();
        break;
    default:
        break;
    }
}

VoxelModel* GraphicsSystem::GetModel(const std::string& name) {
    const auto [entry, inserted] = modelCache.try_emplace(name);
    // LoadFromFile says why a model could not be read; the empty entry is what every
    // later request gets, so that is said only once.
    if (inserted && !entry->second.LoadFromFile(name))
        std::fprintf(stderr, "GraphicsSystem: model %s stays empty.\n", name.c_str());
    return &entry->second;
}

Texture* GraphicsSystem::GetTexture(const std::string& name) {
    const auto [entry, inserted] = textureCache.try_emplace(name);
    Texture& texture = entry->second;
    if (inserted) {
        texture.fileName = name;
        LoadTexture(texture, glReady);
        if (!glReady && texture.width != 0)
            pendingUploads.push_back(&texture);
    }
    return &texture;
}

void GraphicsSystem::LoadTexture(Texture& texture, bool upload) {
    const std::string path = ResolvePath(texture.fileName);
    std::string problem;
    if (!IsRegularFile(path, problem)) {
        std::fprintf(stderr, "GraphicsSystem: cannot load texture %s: %s.\n",
                     texture.fileName.c_str(), problem.c_str());
        return;
    }
    sf::Image image;
    SfmlErrorCapture capture;
    if (!image.loadFromFile(path)) {
        std::fprintf(stderr, "GraphicsSystem: cannot load texture %s: not an image file%s.\n",
                     texture.fileName.c_str(), capture.Detail().c_str());
        return;
    }
    const sf::Vector2u size = image.getSize();
    texture.width = size.x;
    texture.height = size.y;
    if (!upload)
        return;

    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // The image's first (top) row goes first, so it lies at t = 0.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, static_cast<GLsizei>(size.x),
                 static_cast<GLsizei>(size.y), 0, GL_RGBA, GL_UNSIGNED_BYTE, image.getPixelsPtr());
    glGenerateMipmap(GL_TEXTURE_2D);

    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous));
    glPopClientAttrib();
    texture.name = name;
}

std::size_t GraphicsSystem::EmitParticles(const ParticleBurst& burst) {
    ForgetClearedParticles();
    glm::vec3 gravity{0.0f, -9.8f, 0.0f};
    bool ground = false;
    if (const PhysicsSystem* physics = Core::Instance().PhysicsSystem_) {
        // The world's own, once it is built: the system's property is read only then.
        gravity = physics->gravity;
        if (const btDiscreteDynamicsWorld* world = physics->GetWorld()) {
            const btVector3 pull = world->getGravity();
            gravity = {pull.x(), pull.y(), pull.z()};
        }
        ground = physics->GetGroundBody() != nullptr;
    }
    return particles.Emit(burst, gravity, ground);
}

std::size_t GraphicsSystem::ParticleCount() {
    ForgetClearedParticles();
    return particles.Count();
}

void GraphicsSystem::ForgetClearedParticles() {
    // A state switch clears the objects between one state's cleanup and the next one's
    // initialize; bursts the new state makes right away belong to it and stay.
    const std::uint64_t clears = ObjectManager::ClearCount();
    if (clears != particleClears) {
        particles.Clear();
        particleClears = clears;
    }
}

MouseRay GraphicsSystem::GetMouseClickRay(int x, int y) const {
    const glm::ivec4 viewport(0, 0, static_cast<int>(viewportWidth),
                              static_cast<int>(viewportHeight));
    return ComputeMouseClickRay(x, y, modelViewStack.Top(), projectionStack.Top(), viewport,
                                viewportHeight);
}
