#version 330

// The voxel shader drawing only the camera's side of each cube: three faces, one per axis,
// instead of all six. A face on the far side is culled as a back face anyway; leaving it
// out saves its vertices and triangle set-up. Every drawn vertex is computed exactly as
// voxelShader.vs computes it, so the picture is the same.
//
// One plain (not instanced) draw of 18 vertices per voxel: a software rasteriser pays a
// fixed price for every instance of an instanced draw, more than for the vertices
// themselves. Voxel v's vertices are 18v ... 18v + 17, in three groups of six, one group
// per axis (x, y, z). Each has its corner on the face that looks along the axis and the
// same corner on the opposite face; the shader takes the one on the camera's side.

uniform mat4 modelViewMatrix;
uniform mat4 perspectiveMatrix;
uniform samplerBuffer voxelDataBuffer;
uniform vec3 cameraPosition; // world space
// Per vertex of a voxel: corner, normal, opposite corner, opposite normal.
uniform vec3 facePairs[72];

out vec4 voxelColor;
out vec3 worldNormal;

#ifdef LIT
// Lit programs link litVoxel.vs, which passes on what the lit fragment shader needs: the
// voxel's colour, the vertex's corner in the cube's own space, the face's normal there and
// in the world, and the vertex in the world and in front of the eye.
void PassLighting(int voxel, vec4 color, vec3 corner, vec3 normal, vec3 worldNormal, vec3 world,
                  vec3 eye);
#endif

vec3 Rotate(vec4 q, vec3 v)
{
    return v + 2.0 * cross(q.xyz, cross(q.xyz, v) + q.w * v);
}

const vec3 axes[3] = vec3[3](vec3(1.0, 0.0, 0.0), vec3(0.0, 1.0, 0.0), vec3(0.0, 0.0, 1.0));

void main()
{
    int voxel = gl_VertexID / 18;
    int vertex = gl_VertexID - 18 * voxel;
    int base = 3 * voxel;
    vec4 color = texelFetch(voxelDataBuffer, base);
    vec4 center = texelFetch(voxelDataBuffer, base + 1);
    vec4 orientation = texelFetch(voxelDataBuffer, base + 2);

    // The outward normal of the face along the axis as the cube is drawn: the cross product
    // of its two drawn edges, Rotate(q, e1) x Rotate(q, e2). For a unit quaternion that is
    // Rotate(q, e0); a quaternion of another length keeps lengths along q.xyz but scales
    // and turns across it (never mirroring), which adds the second term. The camera sees
    // that face only from its side of the cube's centre plane, and the opposite face only
    // from the other side; in between it sees neither, and the rasteriser culls what is
    // chosen.
    int axis = vertex / 6;
    vec3 faceNormal = Rotate(orientation, axes[axis]) +
                      4.0 * (dot(orientation, orientation) - 1.0) * orientation[axis] *
                          orientation.xyz;
    bool front = dot(cameraPosition - center.xyz, faceNormal) >= 0.0;
    vec3 corner = front ? facePairs[vertex] : facePairs[36 + vertex];

    // The position's w is the cube's size (1 for a unit cube).
    vec3 world = Rotate(orientation, corner * center.w) + center.xyz;
    vec3 normal = front ? facePairs[18 + vertex] : facePairs[54 + vertex];
#ifdef LIT
    // The eye's view of the vertex is kept for the fog, which also spares multiplying the
    // two matrices for every vertex.
    vec4 eye = modelViewMatrix * vec4(world, 1.0);
    gl_Position = perspectiveMatrix * eye;
    PassLighting(voxel, color, corner, normal, Rotate(orientation, normal), world, eye.xyz);
#else
    gl_Position = perspectiveMatrix * modelViewMatrix * vec4(world, 1.0);

    voxelColor = color;
    worldNormal = Rotate(orientation, normal);
#endif
}
