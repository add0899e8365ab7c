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

// 1 when lit, 0 when something nearer the sun covers this point. The cascade is chosen
// by the point's depth along the view direction, the distance the splits are measured in.
float sunVisibility(vec3 world) {
  float depth = dot(world - pc.camera.xyz, frame.forward.xyz);
  if (depth > frame.splits.z) return 1.0;
  int cascade = depth < frame.splits.x ? 0 : (depth < frame.splits.y ? 1 : 2);
  vec4 light = frame.cascades[cascade] * vec4(world, 1.0);
  vec3 ndc = light.xyz / light.w;
  vec2 uv = ndc.xy * 0.5 + 0.5;
  if (any(lessThan(uv, vec2(0.0))) || any(greaterThan(uv, vec2(1.0)))) return 1.0;
  float lightDepth = ndc.z * 0.5 + 0.5;
  float nearest = texture(shadowMap, vec3(uv, float(cascade))).r;
  return lightDepth - frame.shadowParams.x > nearest ? 0.0 : 1.0;
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
  if (shadowFactor > 0.001) shade = 1.0 - shadowFactor * (1.0 - sunVisibility(inWorld));
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
