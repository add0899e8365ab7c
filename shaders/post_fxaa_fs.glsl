#version 450
// Final pass: the composite image with edge anti-aliasing of strength f (0: a copy).

layout(set = 0, binding = 7) uniform sampler2D composite;

layout(push_constant) uniform Push {
  vec4 params;  // 1 / width, 1 / height, strength, 0
} pc;

layout(location = 0) in vec2 inUv;
layout(location = 0) out vec4 outColour;

float luma(vec3 c) {
  return dot(c, vec3(0.299, 0.587, 0.114));
}

void main() {
  vec3 centre = texture(composite, inUv).rgb;
  float strength = pc.params.z;
  if (strength <= 0.0) {
    outColour = vec4(centre, 1.0);
    return;
  }
  vec2 texel = pc.params.xy;
  float nw = luma(texture(composite, inUv + vec2(-1.0, -1.0) * texel).rgb);
  float ne = luma(texture(composite, inUv + vec2(1.0, -1.0) * texel).rgb);
  float sw = luma(texture(composite, inUv + vec2(-1.0, 1.0) * texel).rgb);
  float se = luma(texture(composite, inUv + vec2(1.0, 1.0) * texel).rgb);
  float m = luma(centre);
  float lumaMin = min(m, min(min(nw, ne), min(sw, se)));
  float lumaMax = max(m, max(max(nw, ne), max(sw, se)));

  // Blur along the edge direction, never across it.
  vec2 dir = vec2(-((nw + ne) - (sw + se)), (nw + sw) - (ne + se));
  float reduce = max((nw + ne + sw + se) * 0.03125, 1.0 / 128.0);
  float scale = 1.0 / (min(abs(dir.x), abs(dir.y)) + reduce);
  dir = clamp(dir * scale, vec2(-8.0), vec2(8.0)) * texel;
  vec3 a = 0.5 * (texture(composite, inUv + dir * (1.0 / 3.0 - 0.5)).rgb +
                  texture(composite, inUv + dir * (2.0 / 3.0 - 0.5)).rgb);
  vec3 b = a * 0.5 + 0.25 * (texture(composite, inUv - dir * 0.5).rgb +
                             texture(composite, inUv + dir * 0.5).rgb);
  float lumaB = luma(b);
  vec3 smoothed = (lumaB < lumaMin || lumaB > lumaMax) ? a : b;
  outColour = vec4(mix(centre, smoothed, clamp(strength, 0.0, 1.0)), 1.0);
}
