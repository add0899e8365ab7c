#pragma once
// Chunk meshing: one section (with the one-block border of its snapshot) becomes an
// opaque mesh (opaque blocks with ambient occlusion, and lava) and a translucent mesh
// (water). Pure functions of the snapshot and the block registry, safe on any thread.

#include <cstdint>
#include <vector>

#include "world/chunk.h"
#include "world/world.h"

// The vertex of every chunk, item and model mesh: 28 bytes, tightly packed.
struct ChunkVertex {
  float x, y, z;  // world position (model space for item and model meshes)
  float u, v;     // texture coordinates, 0 or 1
  float shade;    // face shade x ambient occlusion
  int32_t layer;  // texture index, which is the texture-array layer
};
static_assert(sizeof(ChunkVertex) == 28, "ChunkVertex must stay 28 bytes: the pipelines read it");

// Triangles: three indices each, two per quad.
struct ChunkMesh {
  std::vector<ChunkVertex> vertices;
  std::vector<uint32_t> indices;
  bool empty() const { return indices.empty(); }
};

struct ChunkMeshPair {
  ChunkMesh opaque;       // opaque blocks and lava
  ChunkMesh translucent;  // water
  // The opaque mesh's surface for depth-only drawing (shadow maps): the same depth, with
  // the coplanar block faces merged into rectangles and no texture, shade or occlusion.
  ChunkMesh shadow;
};

// The faces in their fixed order: +x, -x, +y, -y, +z, -z.
struct FaceInfo {
  int normal[3];
  int u[3];  // U axis
  int v[3];  // V axis
  float shade;
  int texture;  // 0 side, 1 top, 2 bottom
};
extern const FaceInfo kFaces[6];

// A quad's corners in vertex order: signs along the face's U and V axes and the texture
// coordinates there.
struct FaceCorner {
  int su, sv;
  float u, v;
};
extern const FaceCorner kFaceCorners[4];

// Ambient occlusion by the number of occluding neighbours of a corner (3 - count).
inline constexpr float kAmbientOcclusion[4] = {0.42f, 0.62f, 0.81f, 1.0f};

ChunkMeshPair meshChunk(const ChunkSnapshot& snapshot);

// Generates the section's column when needed, then meshes the section (main thread).
ChunkMeshPair buildChunkMesh(World& world, ChunkKey key);

// The unit cube of a block type centred on the origin, for held items and drops; empty
// for air and unknown ids.
ChunkMesh buildBlockItemMesh(BlockId id);
