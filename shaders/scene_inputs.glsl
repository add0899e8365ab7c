// Inputs shared by the block shaders: the scene push constants (128 bytes) and the frame
// and visual uniform buffers.

layout(push_constant) uniform ScenePush {
  mat4 matrix;     // view-projection of the pass
  vec4 camera;     // camera position, daylight
  vec4 position;   // entity position (chunks: 0), time in w for chunks
  vec4 params;     // yaw (radians), flash, reserved, scale
  vec4 sky;        // sky colour (linear), fog end
} pc;

layout(set = 0, binding = 1) uniform VisualData {
  float fogStart;
  float exposure;
  float saturation;
  float ambient;
  float water;
} visual;

layout(set = 0, binding = 2) uniform FrameData {
  mat4 cascades[3];
  vec4 splits;        // split 1, split 2, far, far
  vec4 sun;           // direction, shadow factor
  vec4 cameraTime;    // camera position, seconds
  vec4 forward;
  vec4 target;        // width, height, 1 / width, 1 / height
  vec4 shadowParams;  // bias, 0, cascades, texel size
  mat4 inverseViewProjection;
  mat4 viewProjection;
} frame;
