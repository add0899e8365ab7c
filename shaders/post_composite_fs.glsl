#version 450
// Scene colour to display colour: ambient occlusion, bloom, exposure (the visual
// setting, scaled by the measured brightness when auto exposure is on), saturation and a
// tone curve that leaves the normal range alone and rolls highlights off smoothly.
// The adaptation's key and limits follow the daylight, so it evens out what the view
// holds (sky, trees, a cave mouth) without turning night or rain back into a clear noon.

layout(set = 0, binding = 0) uniform sampler2D sceneColour;
layout(set = 0, binding = 2) uniform sampler2D occlusion;
layout(set = 0, binding = 3) uniform sampler2D bloom;
layout(set = 0, binding = 6) uniform sampler2D measuredLuminance;

layout(push_constant) uniform Push {
  vec4 amounts;  // exposure x bias, bloom, occlusion, saturation
  vec4 flags;    // auto exposure, bloom, occlusion on (1) or off (0); daylight
} pc;

layout(location = 0) in vec2 inUv;
layout(location = 0) out vec4 outColour;

vec3 toneCurve(vec3 c) {
  const float knee = 0.8;
  vec3 over = max(c - knee, 0.0);
  return min(c, vec3(knee)) + (1.0 - knee) * (1.0 - exp(-over / (1.0 - knee)));
}

void main() {
  vec3 colour = texture(sceneColour, inUv).rgb;
  if (pc.flags.z > 0.5) colour *= texture(occlusion, inUv).r;
  if (pc.flags.y > 0.5) colour += texture(bloom, inUv).rgb * pc.amounts.y;
  float exposure = pc.amounts.x;
  if (pc.flags.x > 0.5) {
    // Brings an average scene towards a mid-grey key, within limits; key and limits
    // shrink with the daylight (to under a tenth at midnight, about 0.6 in rain at noon).
    float average = texelFetch(measuredLuminance, ivec2(0), 0).r;
    // The game's darkest daylight is a rainy midnight's 0.13; darker asks give that.
    float daylight = clamp(pc.flags.w, 0.13, 1.0);
    exposure *= clamp(0.22 / max(average, 1e-4), 0.5, 1.6) * pow(daylight, 1.5);
  }
  colour *= exposure;
  float luma = dot(colour, vec3(0.2126, 0.7152, 0.0722));
  colour = max(mix(vec3(luma), colour, pc.amounts.w), 0.0);
  outColour = vec4(toneCurve(colour), 1.0);
}
