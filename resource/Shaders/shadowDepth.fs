#version 330

// The sun's shadow map keeps only depth.

void main()
{
}
