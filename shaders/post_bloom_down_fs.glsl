#version 450
// One step down the bloom chain. Level 0 reads the scene and keeps only what is brighter
// than the threshold; levels 1 and 2 halve the level before them. Each level is its own
// module (LEVEL defined at build time): a module must not even mention the target it
// draws into, or its descriptor would name an image that is being rendered to.

#ifndef LEVEL
#define LEVEL 0
#endif

#if LEVEL == 0
layout(set = 0, binding = 0) uniform sampler2D sourceLevel;  // scene colour
#elif LEVEL == 1
layout(set = 0, binding = 3) uniform sampler2D sourceLevel;  // bloom 0
#else
layout(set = 0, binding = 4) uniform sampler2D sourceLevel;  // bloom 1
#endif

layout(push_constant) uniform Push {
  vec4 params;  // 1 / source width, 1 / source height, threshold, level
  vec4 extra;   // first level (1) or not (0)
} pc;

layout(location = 0) in vec2 inUv;
layout(location = 0) out vec4 outColour;

vec3 source(vec2 uv) {
  return texture(sourceLevel, uv).rgb;
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
