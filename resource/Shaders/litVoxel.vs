#version 330

// The lit voxel programs' second vertex shader: the parts of lighting that are the same all
// over a face, worked out once per vertex instead of for every pixel (a software rasteriser
// pays for each pixel's instructions). A face is flat and the sun is far, so its ambient and
// sun light are constant across it; fog changes so slowly over one voxel's face that the
// visibility at its corners, blended across it, is what each pixel would work out.
//
// The rasteriser also pays, for every vertex and every triangle, for each four-component
// slot passed on to the pixels, so what they need is packed into as few as it fits.

uniform vec3 sunDirection; // towards the sun, of unit length
uniform vec3 sunColor;
uniform vec3 skyAmbient;
uniform vec3 groundAmbient;
uniform float fogDensity;

// The voxel's colour in the face's ambient light (before occlusion), and its alpha.
flat out vec4 ambientColor;
// The voxel's colour in the sun's light, and how much the face's corner occlusion bends
// (occlusion.fs).
flat out vec4 sunColorAndBend;
// Where in the face the vertex lies (0 or 1 along each of its axes), the corner occlusion's
// plane part there, and the fog's visibility.
out vec4 faceOcclusionFog;

// Corner occlusion: levels per face corner for occlusion.fs to blend across the face.
uniform usamplerBuffer occlusionBuffer; // per voxel: 2 bits per face corner, 8 per face
uniform bool occlusionOn;

// The sun's shadow map (shadow.fs): where it sees the vertex, a little off the face, and
// how much the shadows have faded out there, towards the edge of their reach.
uniform mat4 sunShadowMatrix;
uniform vec4 sunShadowReach;
uniform float sunShadowOffset;
out vec4 sunShadowCoord;

// Face 2 * axis (+ 1 looking along the negative axis). Corner k = i + 2j of a face lies on
// the positive side of the next axis when i is 1 and of the one after when j is 1.
//
// The light lost at corners (0, 0), (1, 0), (0, 1), (1, 1), blended bilinearly across the
// face, is a plane in the face's coordinates plus a bend times their product. The plane
// part is exact when interpolated across any triangle of the face, so it travels with the
// vertex; the bend is the same all over the face.
void PassOcclusion(int voxel, vec3 corner, vec3 normal, out vec3 place, out float bend)
{
    // The normal is one axis, +-1: its absolute components pick the face's own axes.
    vec3 along = abs(normal);
    vec2 faceCoord = along.x * corner.yz + along.y * corner.zx + along.z * corner.xy + 0.5;
    vec4 loss = vec4(0.0);
    if (occlusionOn) {
        uvec2 words = texelFetch(occlusionBuffer, voxel).xy;
        int axis = int(dot(along, vec3(0.0, 1.0, 2.0)));
        int face = 2 * axis + (normal.x + normal.y + normal.z < 0.0 ? 1 : 0);
        uint levels = ((face < 4 ? words.x : words.y) >> uint(8 * (face & 3))) & 255u;
        // A face against an opaque neighbour of its model (bit 48 + face of the word) is
        // never seen: all its corners go beyond the far plane, where the rasteriser drops its
        // triangles before setting them up; a scene of many small voxels pays mostly per
        // triangle.
        if (((words.y >> uint(16 + face)) & 1u) != 0u)
            gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
        // Levels 0 to 3 lose 0, 0.28, 0.52 and 0.72 of the light: a formula rather than a
        // table, which a software vertex stage would look up one vertex at a time.
        vec4 level = vec4((uvec4(levels) >> uvec4(0u, 2u, 4u, 6u)) & 3u);
        loss = level * (0.3 - 0.02 * level);
    }
    // An open face loses exactly nothing anywhere: all of these are 0.
    place = vec3(faceCoord, loss.x + (loss.y - loss.x) * faceCoord.x +
                                (loss.z - loss.x) * faceCoord.y);
    bend = loss.x - loss.y - loss.z + loss.w;
}

void PassLighting(int voxel, vec4 color, vec3 corner, vec3 normal, vec3 worldNormal, vec3 world,
                  vec3 eye)
{
    // A hemisphere ambient (ground light from below, sky light from above, blended by how
    // far the face turns up) and the sun's diffuse light.
    vec3 n = normalize(worldNormal);
    ambientColor = vec4(color.rgb * mix(groundAmbient, skyAmbient, n.y * 0.5 + 0.5), color.a);
    vec3 place;
    float bend;
    PassOcclusion(voxel, corner, normal, place, bend);
    sunColorAndBend = vec4(color.rgb * sunColor * max(dot(n, sunDirection), 0.0), bend);
    // Exponential squared by the distance from the eye.
    float thickness = fogDensity * length(eye);
    faceOcclusionFog = vec4(place, exp(-thickness * thickness));
    // Faded out from 85% of the reach to its edge, by the squared distance (no root).
    vec3 fromReach = (world - sunShadowReach.xyz) / sunShadowReach.w;
    sunShadowCoord =
        vec4((sunShadowMatrix * vec4(world + worldNormal * sunShadowOffset, 1.0)).xyz,
             clamp(dot(fromReach, fromReach) * 3.6 - 2.6, 0.0, 1.0));
}
