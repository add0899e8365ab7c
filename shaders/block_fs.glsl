#version 450
#extension GL_GOOGLE_include_directive : require
// Block shading: texture-array texel, baked face shade and occlusion, sun and ambient
// light, the cascaded shadow lookup, fog towards the sky colour, and the water setting on
// see-through texels.

#include "scene_inputs.glsl"

layout(set = 0, binding = 0) uniform sampler2DArray blockTextures;
layout(set = 0, binding = 3) uniform sampler2DArray shadowMap;

layout(location = 0) in vec2 inUv;
layout(location = 1) in float inShade;
layout(location = 2) flat in uint inLayer;
layout(location = 3) in vec3 inWorld;
layout(location = 4) in float inFlash;

layout(location = 0) out vec4 outColour;

// 1 when lit, 0 when something nearer the sun covers this point, in between along a
// shadow's edge. The cascade is chosen by the point's depth along the view direction, the
// distance the splits are measured in. The point is looked up a little way out along its
// face normal (about two shadow texels, which grow with the cascade), so that a surface
// never shadows itself where the map's texels cut across it at a slant; the four texels
// around it are compared and blended, so edges are smooth rather than stepped.
float sunVisibility(vec3 world, vec3 normal) {
  float depth = dot(world - pc.camera.xyz, frame.forward.xyz);
  if (depth > frame.splits.z) return 1.0;
  int cascade = depth < frame.splits.x ? 0 : (depth < frame.splits.y ? 1 : 2);
  mat4 m = frame.cascades[cascade];
  // The projection's x scale is 2 / (map width in world units).
  float texelWorld = 2.0 * frame.shadowParams.w / length(vec3(m[0][0], m[1][0], m[2][0]));
  vec4 light = m * vec4(world + normal * (2.0 * texelWorld), 1.0);
  vec3 ndc = light.xyz / light.w;
  vec2 uv = ndc.xy * 0.5 + 0.5;
  if (any(lessThan(uv, vec2(0.0))) || any(greaterThan(uv, vec2(1.0)))) return 1.0;
  float lightDepth = ndc.z * 0.5 + 0.5 - frame.shadowParams.x;
  float size = 1.0 / frame.shadowParams.w;
  vec2 texel = uv * size - 0.5;
  ivec2 base = ivec2(floor(texel));
  vec2 blend = fract(texel);
  vec4 lit;
  for (int i = 0; i < 4; ++i) {
    ivec2 at = clamp(base + ivec2(i & 1, i >> 1), ivec2(0), ivec2(int(size) - 1));
    lit[i] = lightDepth > texelFetch(shadowMap, ivec3(at, cascade), 0).r ? 0.0 : 1.0;
  }
  return mix(mix(lit.x, lit.y, blend.x), mix(lit.z, lit.w, blend.x), blend.y);
}

void main() {
  vec4 texel = texture(blockTextures, vec3(inUv, float(inLayer)));
  if (texel.a < 0.1) discard;

  // Face normal from the screen-space derivatives, turned towards the camera.
  vec3 normal = normalize(cross(dFdx(inWorld), dFdy(inWorld)));
  if (dot(normal, pc.camera.xyz - inWorld) < 0.0) normal = -normal;
  float daylight = pc.camera.w;
  float sun = max(dot(normal, frame.sun.xyz), 0.0);
  // Shadow takes away most of the daylight, never the ambient part.
  float shadowFactor = frame.sun.w;
  float shade = 1.0;
  if (shadowFactor > 0.001) shade = 1.0 - shadowFactor * (1.0 - sunVisibility(inWorld, normal));
  float light = visual.ambient + (1.0 - visual.ambient) * daylight * (0.55 + 0.45 * sun) * shade;
  vec3 colour = texel.rgb * inShade * light;
  colour = mix(colour, vec3(1.0, 0.25, 0.2), inFlash * 0.45);

  float distance = length(inWorld - pc.camera.xyz);
  float fogEnd = pc.sky.w;
  float fog = clamp((distance - visual.fogStart) / max(fogEnd - visual.fogStart, 0.001), 0.0, 1.0);
  colour = mix(colour, pc.sky.rgb, fog);

  float alpha = texel.a < 1.0 ? clamp(texel.a * visual.water, 0.0, 1.0) : 1.0;
  outColour = vec4(colour, alpha);
}
