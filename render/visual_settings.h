#pragma once
// The look of the game that resource packs may tune. Only the defaults exist so far;
// the renderer reads the values from here.

struct VisualSettings {
  float fogStart = -1.0f;  // negative: fog end - 50
  float exposure = 1.0f;
  float saturation = 1.0f;
  float ambient = 0.22f;
  float water = 1.0f;
  float shadowStrength = 0.75f;
  float shadowDistance = 0.0f;
  float bloom = 0.35f;
  float bloomThreshold = 1.0f;
  float ssao = 0.6f;
  float autoExposure = 1.0f;
  float exposureBias = 1.0f;
  float fxaa = 1.0f;
};
