#include "graphics/SunShadowMap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <GL/glew.h>
#include <glm/geometric.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>
#include <glm/mat3x3.hpp>
#include <glm/matrix.hpp>

#include "voxels/CubeGeometry.h"

namespace {

constexpr int kFacePairVertices = 18;
// The depth range moves in steps of this part of the ball's radius, so a camera moving
// along the sun's rays does not redraw the map for every small step.
constexpr float kDepthSteps = 8.0f;
// Receivers look up the map this many texels out along their normal: enough to clear the
// texel steps of a face seen at a grazing angle, too little to open a gap at a foot.
constexpr float kNormalOffsetTexels = 1.5f;
// Half the diagonal of a unit cube, rounded up.
constexpr float kCubeReach = 0.867f;

// World to the sun's view: its z axis points at the sun, its x axis lies level.
glm::mat4 SunView(const glm::vec3& towardsSun) {
    const glm::vec3 z = glm::normalize(glm::dvec3(towardsSun));
    const glm::vec3 up = std::abs(z.y) > 0.999f ? glm::vec3(0, 0, -1) : glm::vec3(0, 1, 0);
    const glm::vec3 x = glm::normalize(glm::cross(up, z));
    const glm::vec3 y = glm::cross(z, x);
    return glm::mat4(glm::transpose(glm::mat3(x, y, z)));
}

float Snap(float value, float step, float (*round)(float)) {
    return round(value / step) * step;
}

} // namespace

bool SunShadowMap::Prepare(const std::string& folder) {
    if (state == State::Untried)
        Build(folder);
    if (state == State::Ready && framebuffer == 0 && !CreateTargets()) {
        std::fprintf(stderr, "GraphicsSystem: no depth framebuffer for the sun's shadows; "
                             "frames are drawn without them\n");
        state = State::Failed;
    }
    return state == State::Ready;
}

void SunShadowMap::Build(const std::string& folder) {
    const bool built = BuildOrDrawWithout("frames are drawn without shadows", [&] {
        // The camera-facing voxel shader with the sun's view as the
        // camera draws three faces of each cube, and the ones turned
        // away from the sun are what the map keeps.
        depthProgram.AddShader(folder + "voxelFaces.vs");
        depthProgram.AddShader(folder + "shadowDepth.fs");
        depthProgram.Link();
        for (const char* name : {"modelViewMatrix", "perspectiveMatrix", "voxelDataBuffer",
                                 "cameraPosition", "facePairs"})
            depthProgram.AddUniform(name);
        const CubeFacePairs pairs = MakeCubeFacePairs();
        glUseProgram(depthProgram.GetProgram());
        glUniform3fv(depthProgram.GetUniformLocation("facePairs"), 72, &pairs.positions[0][0]);
        glUseProgram(0);
    });
    state = built ? State::Ready : State::Failed;
}

bool SunShadowMap::CreateTargets() {
    GLint previousTexture = 0, previousFramebuffer = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previousTexture);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previousFramebuffer);

    glGenTextures(1, &depthTexture);
    glBindTexture(GL_TEXTURE_2D, depthTexture);
    // 16 bits: half the memory the rasteriser reads for every shaded pixel, and steps of
    // hundredths of a unit over the depths a map spans, far finer than the cube's depth
    // that parts a lit face from the back face the map keeps.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT16, kSize, kSize, 0, GL_DEPTH_COMPONENT,
                 GL_UNSIGNED_SHORT, nullptr);
    // Linear filtering of a compared texture blends the results of the four nearest texels.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    // Clamped to the edge, which the rasteriser samples more cheaply than a border: every
    // point that reads the map's outer texels lies beyond the shadows' reach, where they
    // have faded out whatever the map says.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTexture, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;

    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previousFramebuffer));
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previousTexture));
    glGenVertexArrays(1, &vertexArray);
    valid = false;
    if (!complete)
        ReleaseGl();
    return complete;
}

void SunShadowMap::ReleaseGl() {
    // Deleting name 0 or a name unknown to the current context is a no-op.
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &depthTexture);
    glDeleteTextures(1, &casterTexture);
    glDeleteBuffers(1, &casterBuffer);
    glDeleteVertexArrays(1, &vertexArray);
    framebuffer = depthTexture = casterTexture = casterBuffer = vertexArray = 0;
    casterBufferRecords = 0;
    valid = false;
}

SunShadowMap::Frame SunShadowMap::FitFrame(const glm::mat4& view, const glm::mat4& projection,
                                           const LightingSettings& settings) const {
    // The camera's view out to the shadow distance is a slice of a symmetric frustum; the
    // smallest ball around it has its centre on the view axis.
    const glm::dmat4 camera = glm::inverse(glm::dmat4(view));
    const glm::dvec3 eye(camera[3]);
    const glm::dvec3 forward = -glm::normalize(glm::dvec3(camera[2]));
    const double tanX = 1.0 / projection[0][0], tanY = 1.0 / projection[1][1];
    const double spread = tanX * tanX + tanY * tanY;
    const double nearPlane = projection[3][2] / (projection[2][2] - 1.0);
    const double farPlane = projection[3][2] / (projection[2][2] + 1.0);
    const double distance = std::min(double(settings.shadowDistance), farPlane);
    const double along = std::min((1.0 + spread) * (distance + nearPlane) / 2.0, distance);
    const double radius = std::max(std::hypot(distance - along, distance * std::sqrt(spread)),
                                   std::hypot(along - nearPlane, nearPlane * std::sqrt(spread)));
    const glm::dvec3 centre = eye + forward * along;

    Frame frame;
    frame.view = SunView(settings.sunDirection);
    // One texel to spare on each side: the snapped square still holds the whole ball.
    frame.texel = static_cast<float>(2.0 * radius / (kSize - 2));
    frame.half = frame.texel * kSize / 2.0f;
    frame.reach = glm::vec4(glm::vec3(centre), static_cast<float>(radius));
    const glm::vec3 inSun = glm::mat3(frame.view) * glm::vec3(centre);
    frame.square = {Snap(inSun.x, frame.texel, std::round), Snap(inSun.y, frame.texel, std::round)};
    frame.deepest = Snap(inSun.z - frame.reach.w, frame.reach.w / kDepthSteps, std::floor);
    return frame;
}

bool SunShadowMap::GatherCasters(const std::vector<VoxelInstance>& instances,
                                 std::size_t opaqueCount, Frame& frame) {
    const float left = frame.square.x - frame.half, right = frame.square.x + frame.half;
    const float bottom = frame.square.y - frame.half, top = frame.square.y + frame.half;
    const glm::mat3 toSun(frame.view);
    const float deepest = frame.deepest;
    float highest = (toSun * glm::vec3(frame.reach)).z + frame.reach.w;

    // Rewritten in place: the map is redrawn only if a single record differs.
    bool changed = false;
    std::size_t count = 0;
    const std::size_t end = std::min(opaqueCount, instances.size());
    for (std::size_t i = 0; i < end; ++i) {
        const VoxelInstance& record = instances[i];
        if (record.color.a != 1.0f)
            continue;
        const glm::vec3 p = toSun * glm::vec3(record.position);
        const glm::vec4& q = record.orientation;
        const float reach = kCubeReach * std::abs(record.position.w) * glm::dot(q, q);
        // Negated so that a NaN anywhere leaves the record out.
        if (!(p.x + reach >= left && p.x - reach <= right && p.y + reach >= bottom &&
              p.y - reach <= top && p.z + reach >= deepest))
            continue;
        highest = std::max(highest, p.z + reach);
        // Colour plays no part in the map; a recoloured caster needs no redraw.
        VoxelInstance caster = record;
        caster.color = glm::vec4(1.0f);
        if (count == casters.size()) {
            casters.push_back(caster);
            changed = true;
        } else if (std::memcmp(&casters[count], &caster, sizeof caster) != 0) {
            casters[count] = caster;
            changed = true;
        }
        ++count;
    }
    if (count != casters.size()) {
        casters.resize(count);
        changed = true;
    }
    // Towards the sun the range reaches the highest caster, which may stand outside the
    // ball and still throw its shadow into it.
    highest = Snap(highest, frame.reach.w / kDepthSteps, std::ceil);
    // The sun's view looks down its -z: depth 0 at the highest caster, 1 at the ball's far
    // side.
    frame.projection = glm::ortho(left, right, bottom, top, -highest, -deepest);
    return changed;
}

bool SunShadowMap::Update(const std::vector<VoxelInstance>& instances, std::size_t opaqueCount,
                          const glm::mat4& view, const glm::mat4& projection,
                          const LightingSettings& settings, std::size_t capacity) {
    if (!(settings.shadowDistance > 0.0f) || framebuffer == 0)
        return false;
    Frame frame = FitFrame(view, projection, settings);
    if (!std::isfinite(frame.reach.x + frame.reach.y + frame.reach.z + frame.reach.w))
        return false;
    const bool castersChanged = GatherCasters(instances, opaqueCount, frame);
    const bool redraw = !valid || castersChanged || !frame.SameMap(drawn);
    drawn = frame;
    if (redraw)
        Draw(capacity);
    return true;
}

void SunShadowMap::Draw(std::size_t capacity) {
    GLint previousFramebuffer = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &previousFramebuffer);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, kSize, kSize);
    glClear(GL_DEPTH_BUFFER_BIT);
    const std::size_t count = casters.size();
    if (count != 0 && count <= capacity) {
        glBindBuffer(GL_TEXTURE_BUFFER, casterBuffer);
        if (casterBuffer == 0 || count > casterBufferRecords) {
            // Grows by half again, so a growing scene does not reallocate every frame.
            casterBufferRecords = std::min(capacity, count + count / 2);
            if (casterBuffer == 0) {
                glGenBuffers(1, &casterBuffer);
                glGenTextures(1, &casterTexture);
            }
            glBindBuffer(GL_TEXTURE_BUFFER, casterBuffer);
            glBufferData(GL_TEXTURE_BUFFER,
                         static_cast<GLsizeiptr>(casterBufferRecords * sizeof(VoxelInstance)),
                         nullptr, GL_DYNAMIC_DRAW);
            glBindTexture(GL_TEXTURE_BUFFER, casterTexture);
            glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, casterBuffer);
        }
        glBufferSubData(GL_TEXTURE_BUFFER, 0,
                        static_cast<GLsizeiptr>(count * sizeof(VoxelInstance)), casters.data());
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_BUFFER, casterTexture);

        glUseProgram(depthProgram.GetProgram());
        depthProgram.SetUniformMatrix4("modelViewMatrix", drawn.view);
        depthProgram.SetUniformMatrix4("perspectiveMatrix", drawn.projection);
        depthProgram.SetTextureUnit("voxelDataBuffer");
        // Far out on the side away from the sun, so each cube's faces turned away from it
        // are drawn. They lie behind the lit faces, so a lit face never shadows itself;
        // faces turned away from the sun get no sunlight to lose.
        const glm::vec3 away = glm::vec3(drawn.reach) -
                               glm::transpose(glm::mat3(drawn.view))[2] * (1.0e5f + drawn.reach.w);
        glUniform3fv(depthProgram.GetUniformLocation("cameraPosition"), 1, glm::value_ptr(away));
        // Seen from the sun those faces are back faces.
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        glBindVertexArray(vertexArray);
        glDrawArrays(GL_TRIANGLES, 0, kFacePairVertices * static_cast<GLsizei>(count));
        glBindVertexArray(0);
        glEnable(GL_BLEND);
        glEnable(GL_CULL_FACE);
        glUseProgram(0);
        glBindTexture(GL_TEXTURE_BUFFER, 0);
        glBindBuffer(GL_TEXTURE_BUFFER, 0);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previousFramebuffer));
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    valid = true;
    ++drawCount;
}

void SunShadowMap::AddUniforms(ShaderProgram& program) {
    for (const char* name :
         {"sunShadowMap", "sunShadowMatrix", "sunShadowReach", "sunShadowOffset"})
        program.AddUniform(name);
}

void SunShadowMap::Bind(const ShaderProgram& program) const {
    // From the sun's clip space to the map's 0..1 coordinates and depth.
    const glm::mat4 toMap = glm::translate(glm::mat4(1.0f), glm::vec3(0.5f)) *
                            glm::scale(glm::mat4(1.0f), glm::vec3(0.5f));
    const glm::mat4 worldToMap = toMap * drawn.projection * drawn.view;
    glUniformMatrix4fv(program.GetUniformLocation("sunShadowMatrix"), 1, GL_FALSE,
                       glm::value_ptr(worldToMap));
    glUniform4fv(program.GetUniformLocation("sunShadowReach"), 1, glm::value_ptr(drawn.reach));
    glUniform1f(program.GetUniformLocation("sunShadowOffset"), kNormalOffsetTexels * drawn.texel);
    // Unit 0 holds the instance records and unit 1 the corner occlusion.
    glUniform1i(program.GetUniformLocation("sunShadowMap"), 2);
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, depthTexture);
    glActiveTexture(GL_TEXTURE0);
}

void SunShadowMap::Unbind() {
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, 0);
    glActiveTexture(GL_TEXTURE0);
}
