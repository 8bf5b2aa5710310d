#version 330

// Sprites feed 2-component window positions (z then reads as 0), billboards 3-component
// world positions; both come with one matrix that takes them to clip space.

layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texCoord;

uniform mat4 u_model_view_projection;

out vec2 uv;

void main()
{
    gl_Position = u_model_view_projection * vec4(position, 1.0);
    // Textures hold the image's top row at t = 0 while quads put t = 0 at their bottom
    // edge; flip so images appear upright.
    uv = vec2(texCoord.s, 1.0 - texCoord.t);
}
