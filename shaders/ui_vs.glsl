#version 450
// UI vertices: display-space positions mapped to clip space. Vertex colours are sRGB:
// on a target that stores sRGB they are made linear (it encodes them again on writing);
// on a plain target they go through as they are, and the fragment stage encodes what it
// samples from sRGB textures.

layout(location = 0) in vec2 inPosition;
layout(location = 1) in vec2 inUv;
layout(location = 2) in vec4 inColour;

layout(push_constant) uniform UiPush {
  vec2 scale;
  vec2 translate;
  float srgbTarget;
} push;

layout(location = 0) out vec4 outColour;
layout(location = 1) out vec2 outUv;
layout(location = 2) flat out float outEncodeTexture;

vec3 toLinear(vec3 c) {
  return mix(c / 12.92, pow((c + 0.055) / 1.055, vec3(2.4)), step(vec3(0.04045), c));
}

void main() {
  const bool srgb = push.srgbTarget > 0.5;
  outColour = srgb ? vec4(toLinear(inColour.rgb), inColour.a) : inColour;
  outUv = inUv;
  outEncodeTexture = srgb ? 0.0 : 1.0;
  gl_Position = vec4(inPosition * push.scale + push.translate, 0.0, 1.0);
}
