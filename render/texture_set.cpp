#include "render/texture_set.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

#include "render/resource_pack.h"
#include "world/block_registry.h"

namespace {

struct OutsideName {
  const char* name;
  std::vector<const char*> paths;
};

const std::vector<OutsideName>& outsideNames() {
  static const std::vector<OutsideName> table = {
      {"grass_top",
       {"assets/minecraft/textures/block/grass_block_top.png",
        "assets/minecraft/textures/block/grass_top.png"}},
      {"grass_side",
       {"assets/minecraft/textures/block/grass_block_side.png",
        "assets/minecraft/textures/block/grass_side.png"}},
      {"dirt", {"assets/minecraft/textures/block/dirt.png"}},
      {"stone", {"assets/minecraft/textures/block/stone.png"}},
      {"sand", {"assets/minecraft/textures/block/sand.png"}},
      {"wood_side",
       {"assets/minecraft/textures/block/oak_log.png",
        "assets/minecraft/textures/block/log_oak.png"}},
      {"wood_top",
       {"assets/minecraft/textures/block/oak_log_top.png",
        "assets/minecraft/textures/block/log_oak_top.png"}},
      {"leaves",
       {"assets/minecraft/textures/block/oak_leaves.png",
        "assets/minecraft/textures/block/leaves_oak.png"}},
      {"snow", {"assets/minecraft/textures/block/snow.png"}},
      {"water", {"assets/minecraft/textures/block/water_still.png"}},
      {"lava", {"assets/minecraft/textures/block/lava_still.png"}},
      {"planks",
       {"assets/minecraft/textures/block/oak_planks.png",
        "assets/minecraft/textures/block/planks_oak.png"}},
      {"cobblestone", {"assets/minecraft/textures/block/cobblestone.png"}},
      {"bricks", {"assets/minecraft/textures/block/bricks.png"}},
      {"bookshelf", {"assets/minecraft/textures/block/bookshelf.png"}},
      {"gravel", {"assets/minecraft/textures/block/gravel.png"}},
      {"heart_full", {"assets/minecraft/textures/gui/sprites/hud/heart/full.png"}},
      {"heart_empty", {"assets/minecraft/textures/gui/sprites/hud/heart/container.png"}},
  };
  return table;
}

// A mod's texture file: only a regular file within the pack entry limit is read. The
// open does not wait (a FIFO would block it), and the size is checked before reading,
// so a device such as /dev/zero reads as empty.
std::vector<uint8_t> readTextureFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return {};
  std::vector<uint8_t> bytes;
  struct stat info {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<uint64_t>(info.st_size) <= kMaxPackEntryBytes) {
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    bytes.resize(got);
  }
  close(fd);
  return bytes;
}

}  // namespace

std::optional<DecodedImage> decodeImage(const std::vector<uint8_t>& bytes) {
  if (bytes.empty() || bytes.size() > static_cast<size_t>(INT32_MAX)) return std::nullopt;
  const auto* data = bytes.data();
  const int length = static_cast<int>(bytes.size());
  int width = 0, height = 0, channels = 0;
  // Check the size before decoding, so a tiny file cannot demand a huge allocation.
  if (!stbi_info_from_memory(data, length, &width, &height, &channels) || width < 1 || height < 1 ||
      static_cast<uint32_t>(width) > kMaxTextureSide ||
      static_cast<uint32_t>(height) > kMaxTextureSide) {
    return std::nullopt;
  }
  stbi_uc* pixels = stbi_load_from_memory(data, length, &width, &height, &channels, 4);
  if (pixels == nullptr) return std::nullopt;
  DecodedImage image;
  image.width = static_cast<uint32_t>(width);
  image.height = static_cast<uint32_t>(height);
  if (image.height > image.width && image.height % image.width == 0) {
    image.height = image.width;  // first frame of an animation strip
  }
  image.rgba.assign(pixels, pixels + size_t{image.width} * image.height * 4);
  stbi_image_free(pixels);
  return image;
}

std::vector<std::string> textureCandidates(const std::string& name, bool outsideLayout) {
  std::vector<std::string> candidates;
  if (outsideLayout) {
    for (const OutsideName& row : outsideNames()) {
      if (name == row.name) candidates.assign(row.paths.begin(), row.paths.end());
    }
  }
  candidates.push_back("textures/" + name + ".png");
  candidates.push_back("textures/" + name + ".jpg");
  candidates.push_back("textures/block/" + name + ".png");
  candidates.push_back(name + ".png");
  return candidates;
}

uint32_t tileSizeFor(uint32_t largestSide) {
  const uint32_t wanted = std::min<uint32_t>(std::max<uint32_t>(largestSide, 16), 256);
  uint32_t tile = 16;
  while (tile < wanted) tile *= 2;
  return tile;
}

uint32_t mipLevelCount(uint32_t tileSize) {
  uint32_t levels = 1;
  while ((tileSize >> levels) > 0) ++levels;
  return levels;
}

TextureSet loadTextureSet(const std::string& packFolder, const BlockRegistry& registry) {
  TextureSet set;
  const int layers = static_cast<int>(registry.textureCount());
  // 1. Textures registered by mods with their own files.
  for (int layer = 0; layer < layers; ++layer) {
    const std::string& source = registry.textureSource(layer);
    if (source.empty()) continue;
    if (auto image = decodeImage(readTextureFile(source))) set.images[layer] = std::move(*image);
  }
  // 2. Packs in order; a later pack replaces what an earlier one supplied.
  for (const std::string& packPath : listPacks(packFolder)) {
    const auto pack = openPack(packPath);
    const bool outside = pack->exists("pack.mcmeta");
    int supplied = 0;
    for (int layer = 0; layer < layers; ++layer) {
      const std::string& name = registry.textureName(layer);
      if (name.empty()) continue;
      for (const std::string& candidate : textureCandidates(name, outside)) {
        if (!pack->exists(candidate)) continue;
        const std::vector<uint8_t> bytes = pack->read(candidate);
        if (bytes.empty()) continue;
        if (auto image = decodeImage(bytes)) {
          set.images[layer] = std::move(*image);
          ++supplied;
          break;
        }
        std::fprintf(stderr, "resourcepack: failed to decode %s\n", candidate.c_str());
      }
    }
    std::printf("resourcepack: %s -> %d layers\n", packDisplayName(packPath).c_str(), supplied);
  }
  uint32_t largest = 16;
  for (const auto& [layer, image] : set.images) {
    largest = std::max({largest, image.width, image.height});
  }
  set.tileSize = tileSizeFor(largest);
  return set;
}

TextureSet loadTextureSet(const std::string& packFolder) {
  return loadTextureSet(packFolder, blocks());
}

std::vector<uint8_t> buildTextureLevels(const TextureSet& set, uint32_t layerCount) {
  const uint32_t tile = set.tileSize;
  const size_t layerBytes = size_t{tile} * tile * 4;
  std::vector<uint8_t> out(layerBytes * layerCount);
  // Level 0: the chosen image or the procedural design, nearest neighbour.
  for (uint32_t layer = 0; layer < layerCount; ++layer) {
    const auto found = set.images.find(static_cast<int>(layer));
    const DecodedImage* image = found == set.images.end() ? nullptr : &found->second;
    uint8_t* dst = out.data() + layer * layerBytes;
    for (uint32_t y = 0; y < tile; ++y) {
      for (uint32_t x = 0; x < tile; ++x, dst += 4) {
        if (image != nullptr) {
          const uint64_t row = uint64_t{y} * image->height / tile;
          const uint64_t column = uint64_t{x} * image->width / tile;
          const uint8_t* src = image->rgba.data() + (row * image->width + column) * 4;
          std::copy(src, src + 4, dst);
        } else {
          const auto texel = builtinTexel(static_cast<int>(layer), static_cast<int>(x * 16 / tile),
                                          static_cast<int>(y * 16 / tile));
          std::copy(texel.begin(), texel.end(), dst);
        }
      }
    }
  }
  // Further levels: 2 x 2 integer averages of the level before.
  size_t previousStart = 0;
  for (uint32_t size = tile / 2; size >= 1; size /= 2) {
    const uint32_t previousSize = size * 2;
    const size_t start = out.size();
    out.resize(start + size_t{size} * size * 4 * layerCount);
    for (uint32_t layer = 0; layer < layerCount; ++layer) {
      const uint8_t* src =
          out.data() + previousStart + size_t{layer} * previousSize * previousSize * 4;
      uint8_t* dst = out.data() + start + size_t{layer} * size * size * 4;
      for (uint32_t y = 0; y < size; ++y) {
        for (uint32_t x = 0; x < size; ++x) {
          for (int c = 0; c < 4; ++c) {
            const auto at = [&](uint32_t sx, uint32_t sy) {
              return uint32_t{src[(size_t{sy} * previousSize + sx) * 4 + c]};
            };
            const uint32_t sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) +
                                 at(2 * x + 1, 2 * y + 1);
            dst[(size_t{y} * size + x) * 4 + c] = static_cast<uint8_t>(sum >> 2);
          }
        }
      }
    }
    previousStart = start;
  }
  return out;
}
