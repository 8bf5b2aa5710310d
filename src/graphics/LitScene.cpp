#include "graphics/LitScene.h"

#include <GL/glew.h>
#include <glm/geometric.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <glm/mat3x3.hpp>
#include <glm/matrix.hpp>

#include "graphics/SunShadowMap.h"
#include "voxels/CubeGeometry.h"

namespace {

constexpr const char* kVoxelUniforms[] = {"modelViewMatrix", "perspectiveMatrix", "voxelDataBuffer",
                                          "occlusionBuffer", "occlusionOn"};
// The instance records are on unit 0.
constexpr GLint kOcclusionUnit = 1;
constexpr const char* kLightUniforms[] = {"sunDirection", "sunColor", "skyAmbient",
                                          "groundAmbient"};
constexpr const char* kFogUniforms[] = {"viewScale", "viewportSize", "fogColor", "fogDensity"};

template <std::size_t N> void AddUniforms(ShaderProgram& program, const char* const (&names)[N]) {
    for (const char* name : names)
        program.AddUniform(name);
}

void SetVec3(const ShaderProgram& program, const char* name, const glm::vec3& value) {
    glUniform3fv(program.GetUniformLocation(name), 1, glm::value_ptr(value));
}

// The unlit program's vertex shader with the lit parts switched on, which litVoxel.vs
// completes. `shadow` is the file that says how much of the sun reaches a point.
void BuildVoxelProgram(ShaderProgram& program, const std::string& folder, const char* vertex,
                       const char* shadow = "noShadow.fs") {
    program.AddShader(folder + vertex, "#define LIT\n");
    program.AddShader(folder + "litVoxel.vs");
    program.AddShader(folder + "litVoxel.fs");
    program.AddShader(folder + "voxelFog.fs");
    program.AddShader(folder + "occlusion.fs");
    program.AddShader(folder + shadow);
    program.Link();
    AddUniforms(program, kVoxelUniforms);
    AddUniforms(program, kLightUniforms);
    AddUniforms(program, kFogUniforms);
    glUseProgram(program.GetProgram());
    glUniform1i(program.GetUniformLocation("occlusionBuffer"), kOcclusionUnit);
    glUseProgram(0);
}

struct SkyCorners {
    glm::vec2 corners[5];
    GLsizei count = 0;
};

// The window (clip space -1 ... 1) cut down to where pixels look above the horizon. A point
// on the far plane looks up by the sign of its world y over its w; w is the same all over
// the far plane of a perspective, so that is a linear function of the window position and
// one cut of the window's square by a line gives the region.
SkyCorners CornersAboveHorizon(const glm::mat4& clipToWorld) {
    const glm::vec2 square[4] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    auto up = [&](glm::vec2 p) {
        const glm::vec4 far = clipToWorld * glm::vec4(p, 1.0f, 1.0f);
        return far.y / far.w;
    };
    SkyCorners out;
    for (int i = 0; i < 4; ++i) {
        const glm::vec2 a = square[i], b = square[(i + 1) % 4];
        const float upA = up(a), upB = up(b);
        if (upA >= 0.0f)
            out.corners[out.count++] = a;
        if ((upA >= 0.0f) != (upB >= 0.0f))
            out.corners[out.count++] = a + (b - a) * (upA / (upA - upB));
    }
    return out;
}

void SetFacePairs(ShaderProgram& program) {
    program.AddUniform("cameraPosition");
    program.AddUniform("facePairs");
    const CubeFacePairs pairs = MakeCubeFacePairs();
    glUseProgram(program.GetProgram());
    glUniform3fv(program.GetUniformLocation("facePairs"), 72, &pairs.positions[0][0]);
    glUseProgram(0);
}

} // namespace

bool LitScene::Prepare(const std::string& folder) {
    if (state == State::Untried)
        Build(folder);
    return state == State::Ready;
}

void LitScene::Build(const std::string& folder) {
    const bool built = BuildOrDrawWithout("frames are drawn without lighting", [&] {
        BuildVoxelProgram(voxels, folder, "voxelShader.vs");
        BuildVoxelProgram(faces, folder, "voxelFaces.vs");
        SetFacePairs(faces);

        billboards.AddShader(folder + "sprite.vs");
        billboards.AddShader(folder + "spriteFog.fs");
        billboards.AddShader(folder + "fog.fs");
        billboards.Link();
        for (const char* name : {"u_alpha", "u_texture", "u_model_view_projection"})
            billboards.AddUniform(name);
        AddUniforms(billboards, kFogUniforms);

        sky.AddShader(folder + "sky.vs");
        sky.AddShader(folder + "sky.fs");
        sky.Link();
        for (const char* name :
             {"inverseViewRotationProjection", "skyTopColor", "skyHorizonColor", "corners"})
            sky.AddUniform(name);
    });
    state = built ? State::Ready : State::Failed;
    if (state == State::Ready)
        BuildShadowed(folder);
}

void LitScene::BuildShadowed(const std::string& folder) {
    shadowsReady = BuildOrDrawWithout("frames are drawn without shadows", [&] {
        BuildVoxelProgram(shadowedVoxels, folder, "voxelShader.vs", "shadow.fs");
        BuildVoxelProgram(shadowedFaces, folder, "voxelFaces.vs", "shadow.fs");
        SetFacePairs(shadowedFaces);
        SunShadowMap::AddUniforms(shadowedVoxels);
        SunShadowMap::AddUniforms(shadowedFaces);
    });
}

void LitScene::SetUniforms(ShaderProgram& program, const LightingSettings& settings,
                           const glm::mat4& projection, glm::uvec2 viewport) const {
    // In double: a direction of tiny or huge components still has a unit length.
    const glm::vec3 towardsSun = glm::normalize(glm::dvec3(settings.sunDirection));
    SetVec3(program, "sunDirection", towardsSun);
    SetVec3(program, "sunColor", settings.sunColor);
    SetVec3(program, "skyAmbient", settings.skyAmbient);
    SetVec3(program, "groundAmbient", settings.groundAmbient);
    glUniform2f(program.GetUniformLocation("viewScale"), 1.0f / projection[0][0],
                1.0f / projection[1][1]);
    glUniform2f(program.GetUniformLocation("viewportSize"), static_cast<float>(viewport.x),
                static_cast<float>(viewport.y));
    SetVec3(program, "fogColor", settings.fogColor);
    glUniform1f(program.GetUniformLocation("fogDensity"), settings.fogDensity);
}

void LitScene::UploadOcclusion(const std::vector<std::uint64_t>& levels) {
    if (occlusionBuffer == 0) {
        glGenBuffers(1, &occlusionBuffer);
        glBindBuffer(GL_TEXTURE_BUFFER, occlusionBuffer); // a name becomes a buffer here
        glBindBuffer(GL_TEXTURE_BUFFER, 0);
        glGenTextures(1, &occlusionTexture);
        glBindTexture(GL_TEXTURE_BUFFER, occlusionTexture);
        // A 64-bit word is two 32-bit halves, the low one first on every host GL runs on.
        glTexBuffer(GL_TEXTURE_BUFFER, GL_RG32UI, occlusionBuffer);
        glBindTexture(GL_TEXTURE_BUFFER, 0);
        occlusionCapacity = 0;
    }
    const auto bytes = static_cast<GLsizeiptr>(levels.size() * sizeof(std::uint64_t));
    glBindBuffer(GL_TEXTURE_BUFFER, occlusionBuffer);
    // Grown to the largest frame so far, so a steady scene only overwrites it.
    if (levels.size() > occlusionCapacity) {
        glBufferData(GL_TEXTURE_BUFFER, bytes, levels.data(), GL_DYNAMIC_DRAW);
        occlusionCapacity = levels.size();
    } else {
        glBufferSubData(GL_TEXTURE_BUFFER, 0, bytes, levels.data());
    }
    glBindBuffer(GL_TEXTURE_BUFFER, 0);
}

void LitScene::SetOcclusion(ShaderProgram& program, bool on) {
    glUniform1i(program.GetUniformLocation("occlusionOn"), on ? 1 : 0);
    if (!on)
        return;
    glActiveTexture(GL_TEXTURE0 + kOcclusionUnit);
    glBindTexture(GL_TEXTURE_BUFFER, occlusionTexture);
    glActiveTexture(GL_TEXTURE0);
}

void LitScene::EndOcclusion() {
    glActiveTexture(GL_TEXTURE0 + kOcclusionUnit);
    glBindTexture(GL_TEXTURE_BUFFER, 0);
    glActiveTexture(GL_TEXTURE0);
}

void LitScene::DrawSky(const LightingSettings& settings, const glm::mat4& view,
                       const glm::mat4& projection) {
    if (skyVertexArray == 0)
        glGenVertexArrays(1, &skyVertexArray);
    // Only the camera's turn matters for which way a pixel looks, not where it stands.
    const glm::mat4 turn(glm::mat3{view});
    const glm::mat4 toWorld = glm::inverse(projection * turn);
    const SkyCorners above = CornersAboveHorizon(toWorld);
    if (above.count < 3)
        return;
    glUseProgram(sky.GetProgram());
    sky.SetUniformMatrix4("inverseViewRotationProjection", toWorld);
    glUniform2fv(sky.GetUniformLocation("corners"), above.count, &above.corners[0].x);
    SetVec3(sky, "skyTopColor", settings.skyTopColor);
    SetVec3(sky, "skyHorizonColor", settings.skyHorizonColor);
    // Opaque: blending would only make the rasteriser read back every pixel. On the far
    // plane with the frame's less-or-equal test: only pixels nothing has covered yet.
    glDisable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBindVertexArray(skyVertexArray);
    glDrawArrays(GL_TRIANGLE_FAN, 0, above.count);
    glBindVertexArray(0);
    glDepthMask(GL_TRUE);
    glEnable(GL_BLEND);
    glUseProgram(0);
}

void LitScene::ReleaseGl() {
    // Deleting a name unknown to the current context is a no-op.
    glDeleteVertexArrays(1, &skyVertexArray);
    skyVertexArray = 0;
    glDeleteTextures(1, &occlusionTexture);
    glDeleteBuffers(1, &occlusionBuffer);
    occlusionTexture = occlusionBuffer = 0;
}
