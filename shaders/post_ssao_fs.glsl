#version 450
// Ambient occlusion at half resolution. Points on a hemisphere above each surface point
// are projected back into the depth buffer; a point that lies behind the surface the
// camera sees there (and not too far behind it) counts as covered.

layout(set = 0, binding = 1) uniform sampler2D depthMap;
layout(set = 0, binding = 8) uniform FrameData {
  mat4 cascades[3];
  vec4 splits;
  vec4 sun;
  vec4 cameraTime;  // camera position, seconds
  vec4 forward;
  vec4 target;
  vec4 shadowParams;
  mat4 inverseViewProjection;
  mat4 viewProjection;
} frame;

layout(push_constant) uniform Push {
  vec4 params;  // 1 / width, 1 / height, radius (world units), strength
  vec4 extra;   // depth bias (world units)
} pc;

layout(location = 0) in vec2 inUv;
layout(location = 0) out float outVisibility;

const int kSamples = 12;
const vec3 kKernel[kSamples] = vec3[](
    vec3(0.35, 0.10, 0.20), vec3(-0.30, 0.25, 0.30), vec3(0.05, -0.40, 0.25),
    vec3(0.55, 0.45, 0.35), vec3(-0.60, -0.35, 0.30), vec3(0.20, 0.70, 0.45),
    vec3(-0.15, -0.75, 0.50), vec3(0.80, -0.20, 0.40), vec3(-0.85, 0.10, 0.45),
    vec3(0.30, 0.30, 0.85), vec3(-0.35, 0.40, 0.80), vec3(0.10, -0.45, 0.85));

// Depth is fetched, never filtered: depth formats need not support linear filtering.
float depthAt(vec2 uv) {
  ivec2 size = textureSize(depthMap, 0);
  return texelFetch(depthMap, clamp(ivec2(uv * vec2(size)), ivec2(0), size - 1), 0).r;
}

vec3 worldAt(vec2 uv, float depth) {
  vec4 p = frame.inverseViewProjection * vec4(uv * 2.0 - 1.0, depth, 1.0);
  return p.xyz / p.w;
}

void main() {
  float depth = depthAt(inUv);
  if (depth >= 1.0) {
    outVisibility = 1.0;
    return;
  }
  vec3 camera = frame.cameraTime.xyz;
  vec3 p = worldAt(inUv, depth);
  vec3 normal = normalize(cross(dFdx(p), dFdy(p)));
  if (dot(normal, camera - p) < 0.0) normal = -normal;
  // A per-pixel turn of the kernel; the blur pass smooths the resulting noise.
  float angle = fract(sin(dot(gl_FragCoord.xy, vec2(12.9898, 78.233))) * 43758.5453) * 6.2831853;
  vec3 helper = abs(normal.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
  vec3 tangent = normalize(cross(helper, normal));
  vec3 bitangent = cross(normal, tangent);
  float ca = cos(angle), sa = sin(angle);
  vec3 t = ca * tangent + sa * bitangent, b = -sa * tangent + ca * bitangent;

  float radius = pc.params.z, bias = pc.extra.x;
  float covered = 0.0;
  for (int i = 0; i < kSamples; ++i) {
    vec3 k = kKernel[i];
    vec3 s = p + (t * k.x + b * k.y + normal * k.z) * radius;
    vec4 clip = frame.viewProjection * vec4(s, 1.0);
    if (clip.w <= 0.0) continue;
    vec2 uv = clip.xy / clip.w * 0.5 + 0.5;
    if (any(lessThan(uv, vec2(0.0))) || any(greaterThan(uv, vec2(1.0)))) continue;
    vec3 seen = worldAt(uv, depthAt(uv));
    float behind = distance(camera, s) - distance(camera, seen);
    if (behind > bias && behind < radius * 2.0) covered += 1.0;
  }
  outVisibility = clamp(1.0 - pc.params.w * covered / float(kSamples), 0.0, 1.0);
}
