#version 330

in vec2 uv;

uniform sampler2D u_texture;
uniform float u_alpha;

out vec4 fragColor;

void main()
{
    vec4 texel = texture(u_texture, uv);
    fragColor = vec4(texel.rgb, texel.a * u_alpha);
}
