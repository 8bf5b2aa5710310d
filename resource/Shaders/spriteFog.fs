#version 330

// Billboards stand in the world, so they fade into the fog like the voxels around them.

in vec2 uv;

uniform sampler2D u_texture;
uniform float u_alpha;

out vec4 fragColor;

vec3 ApplyFog(vec3 color);

void main()
{
    vec4 texel = texture(u_texture, uv);
    fragColor = vec4(ApplyFog(texel.rgb), texel.a * u_alpha);
}
