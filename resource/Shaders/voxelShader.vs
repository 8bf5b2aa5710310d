#version 330

// One unit cube per voxel instance. The instance's 48-byte record is three RGBA32F texels
// of the buffer texture: colour, position, orientation quaternion (x, y, z, w). The
// position's w is the cube's size (1 for a unit cube).

layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;

uniform mat4 modelViewMatrix;
uniform mat4 perspectiveMatrix;
uniform samplerBuffer voxelDataBuffer;

out vec4 voxelColor;
out vec3 worldNormal;
// The sun's shadow map (shadow.fs): where it sees the vertex, a little off the face, and
// how much the shadows have faded out there, towards the edge of their reach.
uniform mat4 sunShadowMatrix;
uniform vec4 sunShadowReach;
uniform float sunShadowOffset;
out vec4 sunShadowCoord;

// Rotation by q applied as it is, the same matrix the engine builds on the CPU (a
// quaternion that is not of unit length also scales).
vec3 Rotate(vec4 q, vec3 v)
{
    return v + 2.0 * cross(q.xyz, cross(q.xyz, v) + q.w * v);
}

void main()
{
    int base = 3 * gl_InstanceID;
    vec4 color = texelFetch(voxelDataBuffer, base);
    vec4 center = texelFetch(voxelDataBuffer, base + 1);
    vec4 orientation = texelFetch(voxelDataBuffer, base + 2);

    vec3 world = Rotate(orientation, position * center.w) + center.xyz;
    gl_Position = perspectiveMatrix * modelViewMatrix * vec4(world, 1.0);

    voxelColor = color;
    worldNormal = Rotate(orientation, normal);
    // Faded out from 85% of the reach to its edge, by the squared distance (no root).
    vec3 fromReach = (world - sunShadowReach.xyz) / sunShadowReach.w;
    sunShadowCoord =
        vec4((sunShadowMatrix * vec4(world + worldNormal * sunShadowOffset, 1.0)).xyz,
             clamp(dot(fromReach, fromReach) * 3.6 - 2.6, 0.0, 1.0));
}
