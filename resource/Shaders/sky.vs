#version 330

// One triangle that covers the window: corners (-1, -1), (3, -1), (-1, 3) in clip space.

out vec2 ndc;

void main()
{
    ndc = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
    gl_Position = vec4(ndc, 1.0, 1.0);
}
