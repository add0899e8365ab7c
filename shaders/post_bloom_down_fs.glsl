#version 450
// One step down the bloom chain. Level 0 reads the scene and keeps only what is brighter
// than the threshold; levels 1 and 2 halve the level before them. The level is a
// specialisation constant, so no pipeline ever reads the target it draws into.

layout(constant_id = 0) const int kLevel = 0;

layout(set = 0, binding = 0) uniform sampler2D sceneColour;
layout(set = 0, binding = 3) uniform sampler2D bloom0;
layout(set = 0, binding = 4) uniform sampler2D bloom1;

layout(push_constant) uniform Push {
  vec4 params;  // 1 / source width, 1 / source height, threshold, level
  vec4 extra;   // first level (1) or not (0)
} pc;

layout(location = 0) in vec2 inUv;
layout(location = 0) out vec4 outColour;

vec3 source(vec2 uv) {
  if (kLevel == 0) return texture(sceneColour, uv).rgb;
  if (kLevel == 1) return texture(bloom0, uv).rgb;
  return texture(bloom1, uv).rgb;
}

void main() {
  vec2 texel = pc.params.xy;
  // Four bilinear taps cover the 4 x 4 source texels under this texel.
  vec3 colour = 0.25 * (source(inUv + vec2(-1.0, -1.0) * texel) +
                        source(inUv + vec2(1.0, -1.0) * texel) +
                        source(inUv + vec2(-1.0, 1.0) * texel) +
                        source(inUv + vec2(1.0, 1.0) * texel));
  if (pc.extra.x > 0.5) {
    float brightness = max(colour.r, max(colour.g, colour.b));
    colour *= max(brightness - pc.params.z, 0.0) / max(brightness, 1e-4);
  }
  outColour = vec4(colour, 1.0);
}
