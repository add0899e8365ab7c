#include "render/visual_settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render/resource_pack.h"

const char* const kShaderOverrideNames[5] = {"block_vs", "block_fs", "shadow_vs", "composite_fs",
                                             "final_fs"};

bool findNumber(const std::string& text, const std::string& key, float& value) {
  const size_t at = text.find('"' + key + '"');
  if (at == std::string::npos) return false;
  const size_t colon = text.find(':', at + key.size() + 2);
  if (colon == std::string::npos) return false;
  // c_str() ends the text, so strtof never reads past it.
  const char* start = text.c_str() + colon + 1;
  char* end = nullptr;
  const float parsed = std::strtof(start, &end);
  if (end == start) return false;
  value = parsed;
  return true;
}

void applyVisualJson(const std::string& text, VisualSettings& s) {
  const std::pair<const char*, float*> keys[] = {
      {"fog_start", &s.fogStart},
      {"exposure", &s.exposure},
      {"saturation", &s.saturation},
      {"ambient", &s.ambient},
      {"water", &s.water},
      {"shadow_strength", &s.shadowStrength},
      {"shadow_distance", &s.shadowDistance},
      {"bloom", &s.bloom},
      {"bloom_threshold", &s.bloomThreshold},
      {"ssao", &s.ssao},
      {"auto_exposure", &s.autoExposure},
      {"exposure_bias", &s.exposureBias},
      {"fxaa", &s.fxaa},
  };
  for (const auto& [key, value] : keys) findNumber(text, key, *value);
}

VisualSettings loadVisualSettings(const std::string& packFolder) {
  VisualSettings settings;
  for (const std::string& packPath : listPacks(packFolder)) {
    const auto pack = openPack(packPath);
    if (!pack->exists("visual.json")) continue;
    const std::vector<uint8_t> bytes = pack->read("visual.json");
    if (bytes.empty()) continue;
    applyVisualJson(std::string(bytes.begin(), bytes.end()), settings);
    std::printf("visual settings: %s\n", packDisplayName(packPath).c_str());
  }
  return settings;
}

ShaderOverrides loadShaderOverrides(const std::string& packFolder) {
  ShaderOverrides overrides;
  for (const std::string& packPath : listPacks(packFolder)) {
    const auto pack = openPack(packPath);
    for (const char* name : kShaderOverrideNames) {
      const std::string file = std::string("shaders/") + name + ".spv";
      if (!pack->exists(file)) continue;
      std::vector<uint8_t> bytes = pack->read(file);
      if (bytes.empty()) continue;
      overrides[name] = std::move(bytes);
      std::printf("shader override: %s from %s\n", name, packDisplayName(packPath).c_str());
    }
  }
  return overrides;
}

std::vector<uint32_t> overrideWords(const std::string& name, const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 20 || bytes.size() % 4 != 0) {
    std::fprintf(stderr, "shader override %s has invalid size\n", name.c_str());
    return {};
  }
  const uint32_t magic = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                         uint32_t{bytes[3]} << 24;
  if (magic != 0x07230203u) {
    std::fprintf(stderr, "shader override %s is not SPIR-V\n", name.c_str());
    return {};
  }
  std::vector<uint32_t> words(bytes.size() / 4);
  std::memcpy(words.data(), bytes.data(), bytes.size());
  return words;
}
