#version 330

// The part of the window that looks above the horizon, as a fan of up to five corners in
// clip space on the far plane; the frame is cleared to the horizon's colour, which is the
// whole sky below it. Each corner carries the world direction it looks along as a point on
// the far plane; that point is linear across the window, so the rasteriser interpolates it
// exactly and the per-pixel work is only the division and the blend.

uniform mat4 inverseViewRotationProjection; // clip space to world directions
uniform vec2 corners[5];

out vec4 far;

void main()
{
    vec2 corner = corners[gl_VertexID];
    far = inverseViewRotationProjection * vec4(corner, 1.0, 1.0);
    gl_Position = vec4(corner, 1.0, 1.0);
}
