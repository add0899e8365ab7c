#version 450
// UI fragments: vertex colour times the bound texture (font atlas or a block layer).
// Block layers are sRGB images, read back as linear light: on a plain target their texels
// are encoded again so that icons keep their stored colours (the white font is unchanged).

layout(set = 0, binding = 0) uniform sampler2D uiTexture;

layout(location = 0) in vec4 inColour;
layout(location = 1) in vec2 inUv;
layout(location = 2) flat in float inEncodeTexture;
layout(location = 0) out vec4 outColour;

vec3 toSrgb(vec3 c) {
  c = clamp(c, 0.0, 1.0);
  return mix(c * 12.92, 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055, step(vec3(0.0031308), c));
}

void main() {
  vec4 texel = texture(uiTexture, inUv);
  if (inEncodeTexture > 0.5) texel.rgb = toSrgb(texel.rgb);
  outColour = inColour * texel;
}
