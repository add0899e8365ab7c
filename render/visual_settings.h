#pragma once
// The look of the game that resource packs may tune ("visual.json") and the shader
// programs they may replace ("shaders/<name>.spv"). Both are read once at renderer
// start-up from the sorted pack list; a later pack overrides an earlier one key by key
// and shader by shader.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct VisualSettings {
  float fogStart = -1.0f;  // negative: fog end - 50
  float exposure = 1.0f;
  float saturation = 1.0f;
  float ambient = 0.22f;
  float water = 1.0f;
  float shadowStrength = 0.75f;  // at or below 0.001 the shadow pass is skipped
  float shadowDistance = 0.0f;   // above 0: far end of the cascades (at most 600)
  float bloom = 0.35f;
  float bloomThreshold = 1.0f;
  float ssao = 0.6f;
  float autoExposure = 1.0f;
  float exposureBias = 1.0f;
  float fxaa = 1.0f;
};

// The first `"key"` in `text` (quotes included, so "bloom" never matches
// "bloom_threshold"), then the first ':' after it, then a strtof number. True and `value`
// set when strtof consumed something; otherwise `value` is untouched.
bool findNumber(const std::string& text, const std::string& key, float& value);

// Applies every key `text` mentions to `settings`, leaving the others alone.
void applyVisualJson(const std::string& text, VisualSettings& settings);

// The defaults, tuned by each pack's non-empty "visual.json" in list order; prints
// "visual settings: <pack>" for each pack that has one.
VisualSettings loadVisualSettings(const std::string& packFolder);

// Override name -> SPIR-V bytes. The names, in order: block_vs, block_fs, shadow_vs,
// composite_fs, final_fs.
using ShaderOverrides = std::map<std::string, std::vector<uint8_t>>;
extern const char* const kShaderOverrideNames[5];

// Every non-empty "shaders/<name>.spv" of every pack (a later pack replaces an earlier
// one); prints "shader override: <name> from <pack>" for each.
ShaderOverrides loadShaderOverrides(const std::string& packFolder);

// The words of an override that looks like SPIR-V; empty after printing why not
// ("invalid size" below 20 bytes or not a multiple of 4, "not SPIR-V" on a wrong magic).
std::vector<uint32_t> overrideWords(const std::string& name, const std::vector<uint8_t>& bytes);
