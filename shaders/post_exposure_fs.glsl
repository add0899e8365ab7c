#version 450
// The scene's average brightness (geometric mean of the luminance over a 16 x 16 grid)
// into the single exposure texel; measured afresh every frame.

layout(set = 0, binding = 0) uniform sampler2D sceneColour;

layout(location = 0) in vec2 inUv;
layout(location = 0) out float outLuminance;

void main() {
  float sum = 0.0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      vec3 c = texture(sceneColour, (vec2(x, y) + 0.5) / 16.0).rgb;
      sum += log(max(dot(c, vec3(0.2126, 0.7152, 0.0722)), 1e-4));
    }
  }
  outLuminance = exp(sum / 256.0);
}
