#version 450
#extension GL_GOOGLE_include_directive : require
// Chunk, model and particle vertices. Models are turned by yaw about +y, scaled, and
// moved to their position; chunk vertices arrive in world space (yaw 0, scale 1).
// Particles share one cube mesh on layer 0 and take their texture layer from the
// instance's reserved value (0 for everything else).

#include "scene_inputs.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec2 inUv;
layout(location = 2) in float inShade;
layout(location = 3) in uint inLayer;

layout(location = 0) out vec2 outUv;
layout(location = 1) out float outShade;
layout(location = 2) flat out uint outLayer;
layout(location = 3) out vec3 outWorld;
layout(location = 4) out float outFlash;

void main() {
  float c = cos(pc.params.x), s = sin(pc.params.x);
  vec3 p = inPosition * pc.params.w;
  vec3 world = vec3(c * p.x - s * p.z, p.y, s * p.x + c * p.z) + pc.position.xyz;
  gl_Position = pc.matrix * vec4(world, 1.0);
  outUv = inUv;
  outShade = inShade;
  outLayer = inLayer + uint(max(pc.params.z, 0.0) + 0.5);
  outWorld = world;
  outFlash = pc.params.y;
}
