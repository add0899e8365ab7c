#version 450
// UI fragments: vertex colour times the bound texture (font atlas or a block layer).

layout(set = 0, binding = 0) uniform sampler2D uiTexture;

layout(location = 0) in vec4 inColour;
layout(location = 1) in vec2 inUv;
layout(location = 0) out vec4 outColour;

void main() {
  outColour = inColour * texture(uiTexture, inUv);
}
