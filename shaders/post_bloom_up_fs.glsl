#version 450
// One step up the bloom chain: a tent-filtered sample of the smaller level, added onto
// the larger one by the pipeline's blending. The level read (LEVEL, 2 or 1) is fixed at
// build time, one module each, so a module never mentions the target it draws into.

#ifndef LEVEL
#define LEVEL 2
#endif

#if LEVEL == 2
layout(set = 0, binding = 5) uniform sampler2D sourceLevel;  // bloom 2
#else
layout(set = 0, binding = 4) uniform sampler2D sourceLevel;  // bloom 1
#endif

layout(push_constant) uniform Push {
  vec4 params;  // 1 / source width, 1 / source height, intensity, source level
} pc;

layout(location = 0) in vec2 inUv;
layout(location = 0) out vec4 outColour;

vec3 source(vec2 uv) {
  return texture(sourceLevel, uv).rgb;
}

void main() {
  vec2 texel = pc.params.xy;
  vec3 sum = 4.0 * source(inUv);
  sum += 2.0 * (source(inUv + vec2(texel.x, 0.0)) + source(inUv - vec2(texel.x, 0.0)) +
                source(inUv + vec2(0.0, texel.y)) + source(inUv - vec2(0.0, texel.y)));
  sum += source(inUv + texel) + source(inUv - texel) + source(inUv + vec2(texel.x, -texel.y)) +
         source(inUv + vec2(-texel.x, texel.y));
  outColour = vec4(sum / 16.0 * pc.params.z, 0.0);
}
