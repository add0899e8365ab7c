#version 450
// UI vertices: display-space positions mapped to clip space; vertex colours are sRGB and
// are made linear when the target stores sRGB (it converts them back on writing).

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

vec3 toLinear(vec3 c) {
  return mix(c / 12.92, pow((c + 0.055) / 1.055, vec3(2.4)), step(vec3(0.04045), c));
}

void main() {
  outColour = push.srgbTarget > 0.5 ? vec4(toLinear(inColour.rgb), inColour.a) : inColour;
  outUv = inUv;
  gl_Position = vec4(inPosition * push.scale + push.translate, 0.0, 1.0);
}
