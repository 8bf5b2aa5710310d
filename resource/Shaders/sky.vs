#version 330

// One triangle that covers the window: corners (-1, -1), (3, -1), (-1, 3) in clip space.
// Each corner carries the world direction it looks along as a point on the far plane; that
// point is linear across the window, so the rasteriser interpolates it exactly and the
// per-pixel work is only the division and the blend.

uniform mat4 inverseViewRotationProjection; // clip space to world directions

out vec4 far;

void main()
{
    vec2 corner = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
    far = inverseViewRotationProjection * vec4(corner, 1.0, 1.0);
    gl_Position = vec4(corner, 1.0, 1.0);
}
