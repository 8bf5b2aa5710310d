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

#ifdef LIT
// Lit programs link litVoxel.vs, which passes on what the lit fragment shader needs: the
// voxel's colour, the vertex's corner in the cube's own space, the face's normal there and
// in the world, and the vertex in the world and in front of the eye.
void PassLighting(int voxel, vec4 color, vec3 corner, vec3 normal, vec3 worldNormal, vec3 world,
                  vec3 eye);
#endif

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
#ifdef LIT
    // The eye's view of the vertex is kept for the fog, which also spares multiplying the
    // two matrices for every vertex.
    vec4 eye = modelViewMatrix * vec4(world, 1.0);
    gl_Position = perspectiveMatrix * eye;
    PassLighting(gl_InstanceID, color, position, normal, Rotate(orientation, normal), world,
                 eye.xyz);
#else
    gl_Position = perspectiveMatrix * modelViewMatrix * vec4(world, 1.0);

    voxelColor = color;
    worldNormal = Rotate(orientation, normal);
#endif
}
