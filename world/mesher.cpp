// The mesher works row by row: for each row of 16 blocks along x it keeps bit masks of
// the opaque cells of the row and of its four neighbouring rows, so whole rows of
// hidden faces (buried stone, open air) cost a few mask operations.

#include <array>
#include <cmath>
#include <cstring>

#include "world/chunk_mesh.h"

const FaceInfo kFaces[6] = {
    {{1, 0, 0}, {0, 0, -1}, {0, 1, 0}, 0.76f, 0}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}, 0.76f, 0},
    {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}, 1.0f, 1},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}, 0.48f, 2},
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, 0.88f, 0},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}, 0.88f, 0},
};

const FaceCorner kFaceCorners[4] = {
    {-1, -1, 0.0f, 1.0f}, {1, -1, 1.0f, 1.0f}, {1, 1, 1.0f, 0.0f}, {-1, 1, 0.0f, 0.0f}};

namespace {

constexpr int kSide = ChunkSnapshot::kSide;

int textureFor(const BlockDef& def, int faceTexture) {
  return faceTexture == 1 ? def.textureTop
                          : (faceTexture == 2 ? def.textureBottom : def.textureSide);
}

void appendQuadIndices(ChunkMesh& mesh) {
  const uint32_t base = static_cast<uint32_t>(mesh.vertices.size()) - 4;
  for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) mesh.indices.push_back(base + i);
}

// Per-snapshot facts the passes need, as masks: bit x + 1 of a row stands for local x.
struct Masks {
  // Opaque cells of every row, y and z from -1 to 16.
  std::array<std::array<uint32_t, kSide>, kSide> opaque{};
  // Interior rows: opaque blocks that are not fluids (opaque pass), and fluids.
  std::array<std::array<uint32_t, 16>, 16> solid{};
  std::array<std::array<uint32_t, 16>, 16> fluid{};

  bool opaqueAt(int x, int y, int z) const { return (opaque[y + 1][z + 1] >> (x + 1)) & 1u; }
};

class Mesher {
 public:
  explicit Mesher(const ChunkSnapshot& snap) : snap_(snap), registry_(blocks()) {
    originX_ = snap.key.cx * 16;
    originY_ = snap.key.sy * 16;
    originZ_ = snap.key.cz * 16;
  }

  ChunkMeshPair run() {
    ChunkMeshPair out;
    if (!buildMasks()) return out;
    opaquePass(out.opaque);
    const size_t blockVertices = out.opaque.vertices.size();
    const size_t blockIndices = out.opaque.indices.size();
    fluidPass(out);
    shadowPass(out.shadow);
    // Lava keeps its own faces: its surface is not a whole block.
    const uint32_t base = static_cast<uint32_t>(out.shadow.vertices.size() - blockVertices);
    out.shadow.vertices.insert(out.shadow.vertices.end(),
                               out.opaque.vertices.begin() + static_cast<long>(blockVertices),
                               out.opaque.vertices.end());
    for (size_t i = blockIndices; i < out.opaque.indices.size(); ++i) {
      out.shadow.indices.push_back(out.opaque.indices[i] + base);
    }
    return out;
  }

 private:
  BlockId block(int x, int y, int z) const { return snap_.blockAt(x, y, z); }

  // False when the section holds no block at all (nothing to draw).
  bool buildMasks() {
    const size_t count = registry_.blockCount();
    opaqueById_.assign(count, 0);
    fluidById_.assign(count, 0);
    for (size_t id = 0; id < count; ++id) {
      const BlockDef& def = registry_.blockDef(static_cast<BlockId>(id));
      opaqueById_[id] = def.opaque;
      fluidById_[id] = def.fluid;
    }
    bool any = false;
    for (int y = 0; y < 16 && !any; ++y) {
      for (int z = 0; z < 16 && !any; ++z) {
        const BlockId* row = &snap_.blocks[ChunkSnapshot::index(0, y, z)];
        for (int x = 0; x < 16; ++x) any |= row[x] != kBlockAir;
      }
    }
    if (!any) return false;
    constexpr uint32_t kAllCells = (1u << kSide) - 1, kInterior = 0x1FFFEu;
    for (int y = -1; y <= 16; ++y) {
      for (int z = -1; z <= 16; ++z) {
        const BlockId* row = &snap_.blocks[ChunkSnapshot::index(-1, y, z)];
        // Rows of one block type (air, buried stone) are common: decide them at once.
        const bool uniform = std::memcmp(row, row + 1, (kSide - 1) * sizeof(BlockId)) == 0;
        uint32_t opaque = 0, fluid = 0;
        if (uniform) {
          opaque = isOpaque(row[0]) ? kAllCells : 0;
          fluid = isFluid(row[0]) ? kInterior : 0;
        } else {
          for (int i = 0; i < kSide; ++i) {
            opaque |= static_cast<uint32_t>(isOpaque(row[i])) << i;
            fluid |= static_cast<uint32_t>(isFluid(row[i])) << i;
          }
          fluid &= kInterior;
        }
        masks_.opaque[y + 1][z + 1] = opaque;
        if (y < 0 || y > 15 || z < 0 || z > 15) continue;
        masks_.fluid[y][z] = fluid;
        masks_.solid[y][z] = opaque & ~fluid & kInterior;
      }
    }
    return true;
  }

  bool isOpaque(BlockId id) const { return id < opaqueById_.size() && opaqueById_[id]; }
  bool isFluid(BlockId id) const { return id < fluidById_.size() && fluidById_[id]; }

  void opaquePass(ChunkMesh& mesh) {
    for (int y = 0; y < 16; ++y) {
      for (int z = 0; z < 16; ++z) {
        const uint32_t row = masks_.solid[y][z];
        if (row == 0) continue;
        // Exposed faces per direction, in face order.
        const uint32_t exposed[6] = {
            row & ~(masks_.opaque[y + 1][z + 1] >> 1), row & ~(masks_.opaque[y + 1][z + 1] << 1),
            row & ~masks_.opaque[y + 2][z + 1],        row & ~masks_.opaque[y][z + 1],
            row & ~masks_.opaque[y + 1][z + 2],        row & ~masks_.opaque[y + 1][z]};
        const uint32_t any =
            exposed[0] | exposed[1] | exposed[2] | exposed[3] | exposed[4] | exposed[5];
        for (uint32_t bits = any; bits != 0; bits &= bits - 1) {
          const int bit = __builtin_ctz(bits);
          const int x = bit - 1;
          const BlockDef& def = registry_.blockDef(block(x, y, z));
          for (int f = 0; f < 6; ++f) {
            if ((exposed[f] >> bit) & 1u) emitBlockFace(mesh, def, f, x, y, z);
          }
        }
      }
    }
  }

  void emitBlockFace(ChunkMesh& mesh, const BlockDef& def, int f, int x, int y, int z) {
    const FaceInfo& face = kFaces[f];
    const int nx = x + face.normal[0], ny = y + face.normal[1], nz = z + face.normal[2];
    const float cx = static_cast<float>(originX_ + x) + 0.5f + 0.5f * face.normal[0];
    const float cy = static_cast<float>(originY_ + y) + 0.5f + 0.5f * face.normal[1];
    const float cz = static_cast<float>(originZ_ + z) + 0.5f + 0.5f * face.normal[2];
    const int layer = textureFor(def, face.texture);
    for (const FaceCorner& c : kFaceCorners) {
      const int ux = c.su * face.u[0], uy = c.su * face.u[1], uz = c.su * face.u[2];
      const int vx = c.sv * face.v[0], vy = c.sv * face.v[1], vz = c.sv * face.v[2];
      const int s1 = masks_.opaqueAt(nx + ux, ny + uy, nz + uz);
      const int s2 = masks_.opaqueAt(nx + vx, ny + vy, nz + vz);
      const int corner = masks_.opaqueAt(nx + ux + vx, ny + uy + vy, nz + uz + vz);
      const float ao = (s1 && s2) ? kAmbientOcclusion[0] : kAmbientOcclusion[3 - s1 - s2 - corner];
      mesh.vertices.push_back(
          {cx + 0.5f * static_cast<float>(ux + vx), cy + 0.5f * static_cast<float>(uy + vy),
           cz + 0.5f * static_cast<float>(uz + vz), c.u, c.v, ao * face.shade, layer});
    }
    appendQuadIndices(mesh);
  }

  // --- Depth-only surface ---

  // The exposed block faces of each direction, slice by slice, merged greedily into
  // rectangles: a run of faces along a row grows over the following rows while they hold
  // the same run.
  void shadowPass(ChunkMesh& mesh) {
    std::array<std::array<std::array<uint16_t, 16>, 16>, 6> exposed{};  // [face][y][z], x bits
    uint32_t xs[6] = {}, ys[6] = {}, zs[6] = {};  // per face: the x, y and z that hold one
    for (int y = 0; y < 16; ++y) {
      for (int z = 0; z < 16; ++z) {
        const uint32_t row = masks_.solid[y][z];
        if (row == 0) continue;
        const uint32_t bits[6] = {
            row & ~(masks_.opaque[y + 1][z + 1] >> 1), row & ~(masks_.opaque[y + 1][z + 1] << 1),
            row & ~masks_.opaque[y + 2][z + 1],        row & ~masks_.opaque[y][z + 1],
            row & ~masks_.opaque[y + 1][z + 2],        row & ~masks_.opaque[y + 1][z]};
        for (int f = 0; f < 6; ++f) {
          exposed[f][y][z] = static_cast<uint16_t>(bits[f] >> 1);
          xs[f] |= exposed[f][y][z];
          ys[f] |= exposed[f][y][z] != 0 ? 1u << y : 0u;
          zs[f] |= exposed[f][y][z] != 0 ? 1u << z : 0u;
        }
      }
    }
    std::array<uint16_t, 16> plane{};
    for (int f = 0; f < 6; ++f) {
      // Only the slices that hold an exposed face.
      const uint32_t slices = f < 2 ? xs[f] : (f < 4 ? ys[f] : zs[f]);
      for (uint32_t left = slices; left != 0; left &= left - 1) {
        const int slice = __builtin_ctz(left);
        // Rows of the plane and the axis of their bits: +-x faces: rows y, bits z; +-y:
        // rows z, bits x; +-z: rows y, bits x.
        bool any = false;
        for (int r = 0; r < 16; ++r) {
          uint16_t bits = 0;
          if (f < 2) {
            for (int z = 0; z < 16; ++z) bits |= ((exposed[f][r][z] >> slice) & 1u) << z;
          } else if (f < 4) {
            bits = exposed[f][slice][r];
          } else {
            bits = exposed[f][r][slice];
          }
          plane[r] = bits;
          any |= bits != 0;
        }
        if (any) mergePlane(mesh, f, slice, plane);
      }
    }
  }

  void mergePlane(ChunkMesh& mesh, int f, int slice, std::array<uint16_t, 16>& plane) {
    for (int r = 0; r < 16; ++r) {
      while (plane[r] != 0) {
        const int start = __builtin_ctz(plane[r]);
        const int length = __builtin_ctz(~(static_cast<uint32_t>(plane[r]) >> start));
        const uint16_t run = static_cast<uint16_t>(((1u << length) - 1u) << start);
        int end = r + 1;
        while (end < 16 && (plane[end] & run) == run) plane[end++] &= static_cast<uint16_t>(~run);
        plane[r] &= static_cast<uint16_t>(~run);
        emitShadowRectangle(mesh, f, slice, start, start + length, r, end);
      }
    }
  }

  // A rectangle of face direction f in its slice: bits [a0, a1) by rows [b0, b1).
  void emitShadowRectangle(ChunkMesh& mesh, int f, int slice, int a0, int a1, int b0, int b1) {
    const float level = static_cast<float>(
        slice + (kFaces[f].normal[0] + kFaces[f].normal[1] + kFaces[f].normal[2] > 0 ? 1 : 0));
    const int as[4] = {a0, a1, a1, a0}, bs[4] = {b0, b0, b1, b1};
    for (int i = 0; i < 4; ++i) {
      const float a = static_cast<float>(as[i]), b = static_cast<float>(bs[i]);
      float x, y, z;
      if (f < 2) {
        x = level, y = b, z = a;
      } else if (f < 4) {
        x = a, y = level, z = b;
      } else {
        x = a, y = b, z = level;
      }
      mesh.vertices.push_back({static_cast<float>(originX_) + x, static_cast<float>(originY_) + y,
                               static_cast<float>(originZ_) + z, 0.0f, 0.0f, 1.0f, 0});
    }
    appendQuadIndices(mesh);
  }

  // --- Fluids ---

  struct FluidStyle {
    int layer;
    float baseShade;
    float levelStep;
  };

  float fraction(int x, int y, int z, BlockId fluid, const FluidStyle& style) const {
    if (block(x, y + 1, z) == fluid) return 1.0f;
    const uint8_t level = snap_.levelAt(x, y, z);
    return level > 0 ? 1.0f - static_cast<float>(level) * style.levelStep : 1.0f;
  }

  void fluidPass(ChunkMeshPair& out) {
    for (int y = 0; y < 16; ++y) {
      for (int z = 0; z < 16; ++z) {
        for (uint32_t bits = masks_.fluid[y][z]; bits != 0; bits &= bits - 1) {
          const int x = __builtin_ctz(bits) - 1;
          const BlockId b = block(x, y, z);
          const bool water = b == kBlockWater;
          const FluidStyle style =
              water ? FluidStyle{kTexWater, 0.95f, 0.12f} : FluidStyle{kTexLava, 1.0f, 0.25f};
          emitFluidBlock(water ? out.translucent : out.opaque, b, style, x, y, z);
        }
      }
    }
  }

  void emitFluidBlock(ChunkMesh& mesh, BlockId b, const FluidStyle& style, int x, int y, int z) {
    const float baseY = static_cast<float>(originY_ + y);
    const float f = fraction(x, y, z, b, style);
    const float top = baseY + f;
    const BlockId above = block(x, y + 1, z);
    if (above != b && !isOpaque(above))
      emitFluidQuad(mesh, 2, x, z, top, top, style.layer, style.baseShade);
    if (block(x, y - 1, z) == kBlockAir) {
      emitFluidQuad(mesh, 3, x, z, baseY, baseY, style.layer, style.baseShade * 0.48f);
    }
    for (int f2 : {0, 1, 4, 5}) {
      const FaceInfo& face = kFaces[f2];
      const int nx = x + face.normal[0], nz = z + face.normal[2];
      const BlockId n = block(nx, y, nz);
      const float shade = style.baseShade * face.shade;
      if (n == b) {
        const float g = fraction(nx, y, nz, b, style);
        if (f > g + 0.001f) emitFluidQuad(mesh, f2, x, z, baseY + g, top, style.layer, shade);
      } else if (!isOpaque(n)) {
        emitFluidQuad(mesh, f2, x, z, baseY, top, style.layer, shade);
      }
    }
  }

  // A fluid face of cell (x, z) spanning heights lower..upper; no ambient occlusion.
  void emitFluidQuad(ChunkMesh& mesh, int f, int x, int z, float lower, float upper, int layer,
                     float shade) {
    const FaceInfo& face = kFaces[f];
    const float ox = static_cast<float>(originX_ + x), oz = static_cast<float>(originZ_ + z);
    for (const FaceCorner& c : kFaceCorners) {
      const float px = ox + 0.5f + 0.5f * face.normal[0] +
                       0.5f * static_cast<float>(c.su * face.u[0] + c.sv * face.v[0]);
      const float pz = oz + 0.5f + 0.5f * face.normal[2] +
                       0.5f * static_cast<float>(c.su * face.u[2] + c.sv * face.v[2]);
      float py;
      if (face.normal[1] != 0) {
        py = face.normal[1] < 0 ? lower : upper;
      } else {
        py = c.sv <= 0 ? lower : upper;
      }
      mesh.vertices.push_back({px, py, pz, c.u, c.v, shade, layer});
    }
    appendQuadIndices(mesh);
  }

  const ChunkSnapshot& snap_;
  const BlockRegistry& registry_;
  int originX_, originY_, originZ_;
  std::vector<uint8_t> opaqueById_, fluidById_;
  Masks masks_;
};

}  // namespace

ChunkMeshPair meshChunk(const ChunkSnapshot& snapshot) {
  return Mesher(snapshot).run();
}

ChunkMeshPair buildChunkMesh(World& world, ChunkKey key) {
  world.ensureColumn(key.cx, key.cz);
  return meshChunk(world.snapshot(key));
}

ChunkMesh buildBlockItemMesh(BlockId id) {
  ChunkMesh mesh;
  if (id == kBlockAir || id >= blockCount()) return mesh;
  const BlockDef& def = blockDef(id);
  for (const FaceInfo& face : kFaces) {
    const int layer = textureFor(def, face.texture);
    for (const FaceCorner& c : kFaceCorners) {
      float p[3];
      for (int a = 0; a < 3; ++a) {
        p[a] =
            0.5f * static_cast<float>(c.su * face.u[a] + c.sv * face.v[a]) + 0.5f * face.normal[a];
      }
      mesh.vertices.push_back({p[0], p[1], p[2], c.u, c.v, face.shade, layer});
    }
    appendQuadIndices(mesh);
  }
  return mesh;
}
