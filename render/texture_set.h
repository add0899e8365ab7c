#pragma once
// Block textures: which image each layer of the texture array gets (mod files, then
// resource packs in order, later packs winning), the common tile size, and the pixel
// data of every mip level as it is uploaded.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class BlockRegistry;

// A decoded image: RGBA8, rows top to bottom.
struct DecodedImage {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;
};

// Images wider or taller than this are refused: no block texture needs them, and one
// such image would otherwise blow every layer up to the largest tile.
inline constexpr uint32_t kMaxTextureSide = 16384;

// Decodes PNG, JPEG and the other stb_image formats into RGBA8. A vertical animation
// strip (height a whole multiple of the width) keeps only its first square frame.
// nullopt for undecodable data, an empty image or a side above kMaxTextureSide.
std::optional<DecodedImage> decodeImage(const std::vector<uint8_t>& bytes);

struct TextureSet {
  uint32_t tileSize = 16;
  std::map<int, DecodedImage> images;  // layer -> chosen image; missing layers are procedural
};

// The paths a pack is searched for a texture, in order. Packs with "pack.mcmeta" at
// their root ("outside layout") try the foreign names first.
std::vector<std::string> textureCandidates(const std::string& name, bool outsideLayout);

// Chooses the images for every texture layer of `registry` from its mod files and the
// packs in `packFolder`, printing a line per pack. Never fails: anything unreadable is
// skipped and that layer stays procedural.
TextureSet loadTextureSet(const std::string& packFolder, const BlockRegistry& registry);
// The same for the game's registry.
TextureSet loadTextureSet(const std::string& packFolder);

// The tile size for a largest image side: a power of two from 16 to 256.
uint32_t tileSizeFor(uint32_t largestSide);
// Mip levels of a tile: log2(tile) + 1.
uint32_t mipLevelCount(uint32_t tileSize);

// Pixel data of all levels for `layerCount` layers: level 0 first, within a level the
// layers in order, each row by row at 4 bytes per texel. Level 0 is resampled by nearest
// neighbour; each further level averages 2 x 2 texels of the one before.
std::vector<uint8_t> buildTextureLevels(const TextureSet& set, uint32_t layerCount);

// The procedural 16 x 16 design of a layer at (x, y), both 0..15. Layers without a
// design are flat (58, 58, 64, 255).
std::array<uint8_t, 4> builtinTexel(int layer, int x, int y);
