#version 450
// Opaque chunks and entity models seen from the sun, depth only. The cascade's depth
// range -1..1 becomes 0..1, and casters nearer than the light's near plane are flattened
// onto it so that they still shade what lies behind them.

layout(push_constant) uniform ShadowPush {
  mat4 matrix;    // cascade view-projection
  vec4 camera;    // camera position, daylight
  vec4 position;  // entity position (chunks: 0)
  vec4 params;    // yaw (radians), flash, reserved, scale
  vec4 sky;       // sky colour, fog end
} pc;

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec2 inUv;
layout(location = 2) in float inShade;
layout(location = 3) in uint inLayer;

void main() {
  float c = cos(pc.params.x), s = sin(pc.params.x);
  vec3 p = inPosition * pc.params.w;
  vec3 world = vec3(c * p.x - s * p.z, p.y, s * p.x + c * p.z) + pc.position.xyz;
  vec4 clip = pc.matrix * vec4(world, 1.0);
  clip.z = max((clip.z + clip.w) * 0.5, 0.0);
  // Every attribute of the chunk vertex layout is consumed (and contributes nothing), so
  // the pipeline's vertex input matches this stage exactly.
  clip.x += 0.0 * (inUv.x + inShade + float(inLayer));
  gl_Position = clip;
}
