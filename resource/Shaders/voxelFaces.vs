#version 330

// The voxel shader drawing only the camera's side of each cube: three faces, one per axis,
// instead of all six. A face on the far side is culled as a back face anyway; leaving it
// out saves its vertices and triangle set-up. Every drawn vertex is computed exactly as
// voxelShader.vs computes it, so the picture is the same.
//
// Vertices come in three groups of six, one group per axis (x, y, z). Each vertex carries
// its corner on the face that looks along the axis and the same corner on the opposite
// face; the shader takes the one on the camera's side.

layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec3 backPosition;
layout(location = 3) in vec3 backNormal;

uniform mat4 modelViewMatrix;
uniform mat4 perspectiveMatrix;
uniform samplerBuffer voxelDataBuffer;
uniform vec3 cameraPosition; // world space

out vec4 voxelColor;
out vec3 worldNormal;

vec3 Rotate(vec4 q, vec3 v)
{
    return v + 2.0 * cross(q.xyz, cross(q.xyz, v) + q.w * v);
}

const vec3 axes[3] = vec3[3](vec3(1.0, 0.0, 0.0), vec3(0.0, 1.0, 0.0), vec3(0.0, 0.0, 1.0));

void main()
{
    int base = 3 * gl_InstanceID;
    vec4 color = texelFetch(voxelDataBuffer, base);
    vec4 center = texelFetch(voxelDataBuffer, base + 1);
    vec4 orientation = texelFetch(voxelDataBuffer, base + 2);

    // The outward normal of the face along the axis as the cube is drawn: the cross product
    // of the other two drawn edges, right for any quaternion (one not of unit length scales
    // the cube but never mirrors it). The camera sees that face only from its side of the
    // cube's centre plane, and the opposite face only from the other side; in between it
    // sees neither, and the rasteriser culls what is chosen.
    int axis = gl_VertexID / 6;
    vec3 faceNormal = cross(Rotate(orientation, axes[(axis + 1) % 3]),
                            Rotate(orientation, axes[(axis + 2) % 3]));
    bool front = dot(cameraPosition - center.xyz, faceNormal) >= 0.0;
    vec3 corner = front ? position : backPosition;

    vec3 world = Rotate(orientation, corner) + center.xyz;
    gl_Position = perspectiveMatrix * modelViewMatrix * vec4(world, 1.0);

    voxelColor = color;
    worldNormal = Rotate(orientation, front ? normal : backNormal);
}
