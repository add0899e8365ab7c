#version 450
// Smooths the occlusion estimate over a 4 x 4 block of its own texels.

layout(set = 0, binding = 9) uniform sampler2D occlusion;

layout(push_constant) uniform Push {
  vec4 params;  // 1 / occlusion width, 1 / occlusion height
} pc;

layout(location = 0) in vec2 inUv;
layout(location = 0) out float outVisibility;

void main() {
  float sum = 0.0;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      sum += texture(occlusion, inUv + (vec2(x, y) - 1.5) * pc.params.xy).r;
    }
  }
  outVisibility = sum / 16.0;
}
