#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include "world/chunk_mesh.h"

namespace {

ChunkSnapshot emptySnapshot(ChunkKey key = {0, 0, 0}) {
  ChunkSnapshot s;
  s.key = key;
  return s;
}

void put(ChunkSnapshot& s, int x, int y, int z, BlockId id, uint8_t level = 0) {
  s.blocks[ChunkSnapshot::index(x, y, z)] = id;
  s.levels[ChunkSnapshot::index(x, y, z)] = level;
}

void expectWellFormed(const ChunkMesh& mesh) {
  EXPECT_EQ(mesh.indices.size() % 6, 0u);
  EXPECT_EQ(mesh.vertices.size() % 4, 0u);
  for (uint32_t i : mesh.indices) EXPECT_LT(i, mesh.vertices.size());
  for (const ChunkVertex& v : mesh.vertices) {
    EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
  }
}

// Vertices of the quads whose vertices all lie at height y, or all at x, and so on.
int quadsWhere(const ChunkMesh& mesh, auto pred) {
  int count = 0;
  for (size_t q = 0; q + 3 < mesh.vertices.size(); q += 4) {
    bool all = true;
    for (size_t i = q; i < q + 4; ++i) all = all && pred(mesh.vertices[i]);
    count += all;
  }
  return count;
}

}  // namespace

TEST(Mesher, IsolatedAndStackedBlocks) {
  ChunkSnapshot s = emptySnapshot();
  put(s, 5, 5, 5, kBlockStone);
  ChunkMeshPair one = meshChunk(s);
  EXPECT_EQ(one.opaque.vertices.size(), 24u);
  EXPECT_EQ(one.opaque.indices.size(), 36u);
  EXPECT_TRUE(one.translucent.empty());
  expectWellFormed(one.opaque);
  // Face order and shades: +x, -x, +y, -y, +z, -z with no occlusion.
  const float shades[6] = {0.76f, 0.76f, 1.0f, 0.48f, 0.88f, 0.88f};
  for (int f = 0; f < 6; ++f) {
    for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(one.opaque.vertices[f * 4 + c].shade, shades[f]);
  }
  EXPECT_EQ(std::vector<uint32_t>(one.opaque.indices.begin(), one.opaque.indices.begin() + 6),
            (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));

  put(s, 5, 6, 5, kBlockStone);
  ChunkMeshPair two = meshChunk(s);
  EXPECT_EQ(two.opaque.vertices.size(), 40u);
  EXPECT_EQ(two.opaque.indices.size(), 60u);
}

TEST(Mesher, FacePositionsTexturesAndCorners) {
  ChunkSnapshot s = emptySnapshot({-2, 1, 3});
  put(s, 0, 0, 0, kBlockGrass);
  const ChunkMesh m = meshChunk(s).opaque;
  ASSERT_EQ(m.vertices.size(), 24u);
  // +x face of the block at world (-32, 16, 48): x = -31, corners in U/V order.
  const ChunkVertex* px = &m.vertices[0];
  EXPECT_FLOAT_EQ(px[0].x, -31.0f);
  EXPECT_FLOAT_EQ(px[0].y, 16.0f);
  EXPECT_FLOAT_EQ(px[0].z, 49.0f);  // sU = -1 along U = (0, 0, -1)
  EXPECT_FLOAT_EQ(px[2].y, 17.0f);
  EXPECT_FLOAT_EQ(px[2].z, 48.0f);
  EXPECT_FLOAT_EQ(px[0].u, 0.0f);
  EXPECT_FLOAT_EQ(px[0].v, 1.0f);
  EXPECT_FLOAT_EQ(px[2].u, 1.0f);
  EXPECT_FLOAT_EQ(px[2].v, 0.0f);
  EXPECT_EQ(m.vertices[0].layer, kTexGrassSide);
  EXPECT_EQ(m.vertices[8].layer, kTexGrassTop);
  EXPECT_EQ(m.vertices[12].layer, kTexDirt);
  EXPECT_FLOAT_EQ(m.vertices[8].y, 17.0f);
}

TEST(Mesher, AmbientOcclusionDarkensCornersNextToOpaqueBlocks) {
  ChunkSnapshot s = emptySnapshot();
  put(s, 5, 5, 5, kBlockStone);
  put(s, 6, 6, 5, kBlockStone);  // beside the top face, along +x
  const ChunkMesh m = meshChunk(s).opaque;
  // The first block's top face is its third quad (+x and -x come first).
  const ChunkVertex* top = &m.vertices[8];
  EXPECT_FLOAT_EQ(top[0].shade, 1.0f);
  EXPECT_FLOAT_EQ(top[1].shade, 0.81f);
  EXPECT_FLOAT_EQ(top[2].shade, 0.81f);
  EXPECT_FLOAT_EQ(top[3].shade, 1.0f);

  // Both sides of a corner occluded: darkest, whatever the diagonal holds.
  ChunkSnapshot pit = emptySnapshot();
  put(pit, 5, 5, 5, kBlockStone);
  put(pit, 6, 6, 5, kBlockStone);
  put(pit, 5, 6, 4, kBlockStone);
  const ChunkMesh p = meshChunk(pit).opaque;
  EXPECT_FLOAT_EQ(p.vertices[8 + 2].shade, 0.42f);
}

TEST(Mesher, BordersAndLeavesHideFaces) {
  ChunkSnapshot s = emptySnapshot();
  put(s, 15, 0, 0, kBlockStone);
  put(s, 16, 0, 0, kBlockStone);  // neighbour chunk's block
  put(s, 15, -1, 0, kBlockDirt);  // the section below
  EXPECT_EQ(meshChunk(s).opaque.vertices.size(), 16u) << "+x and -y faces are hidden";

  ChunkSnapshot leaves = emptySnapshot();
  put(leaves, 3, 3, 3, kBlockLeaves);
  put(leaves, 4, 3, 3, kBlockLeaves);
  EXPECT_EQ(meshChunk(leaves).opaque.vertices.size(), 40u);

  ChunkSnapshot buried = emptySnapshot();
  buried.blocks.fill(kBlockStone);
  EXPECT_TRUE(meshChunk(buried).opaque.empty());
  EXPECT_TRUE(meshChunk(emptySnapshot()).opaque.empty());
}

TEST(Mesher, WaterSurfacesFollowLevelsAndNeighbours) {
  ChunkSnapshot s = emptySnapshot();
  put(s, 5, 5, 5, kBlockWater, 4);
  ChunkMeshPair pair = meshChunk(s);
  EXPECT_TRUE(pair.opaque.empty());
  const ChunkMesh& w = pair.translucent;
  expectWellFormed(w);
  // Top, bottom and four sides next to air.
  EXPECT_EQ(w.vertices.size(), 24u);
  EXPECT_EQ(w.vertices[0].layer, kTexWater);
  EXPECT_EQ(quadsWhere(w, [](const ChunkVertex& v) { return std::fabs(v.y - 5.52f) < 1e-5f; }), 1)
      << "level 4 puts the surface at Y + 0.52";
  EXPECT_EQ(quadsWhere(w,
                       [](const ChunkVertex& v) {
                         return v.y == 5.0f && std::fabs(v.shade - 0.456f) < 1e-6f;
                       }),
            1)
      << "bottom face over air";

  // Stone beside and water below: those faces vanish.
  put(s, 6, 5, 5, kBlockStone);
  put(s, 5, 4, 5, kBlockWater);
  const ChunkMesh w2 = meshChunk(s).translucent;
  EXPECT_EQ(quadsWhere(w2, [](const ChunkVertex& v) { return v.x == 6.0f && v.y >= 5.0f; }), 0);
  EXPECT_EQ(quadsWhere(w2, [](const ChunkVertex& v) { return v.x == 6.0f && v.y <= 5.0f; }), 1)
      << "the lower block still shows its side to the air";
  EXPECT_EQ(quadsWhere(w2, [](const ChunkVertex& v) { return v.y == 5.0f && v.shade < 0.5f; }), 0);

  // A full column: the lower block's sides reach Y + 1, no top face between the two.
  ChunkSnapshot column = emptySnapshot();
  put(column, 8, 2, 8, kBlockWater);
  put(column, 8, 3, 8, kBlockWater);
  const ChunkMesh c = meshChunk(column).translucent;
  EXPECT_EQ(quadsWhere(c, [](const ChunkVertex& v) { return v.y == 3.0f; }), 0);
  EXPECT_EQ(
      quadsWhere(c, [](const ChunkVertex& v) { return v.x == 9.0f && v.y >= 2.0f && v.y <= 3.0f; }),
      1);
  EXPECT_EQ(c.vertices.size(), (1 + 1 + 8) * 4u);
}

TEST(Mesher, FlowingWaterShowsOnlyTheStepBetweenLevels) {
  ChunkSnapshot s = emptySnapshot();
  put(s, 5, 5, 5, kBlockWater, 1);  // f = 0.88
  put(s, 6, 5, 5, kBlockWater, 3);  // g = 0.64
  const ChunkMesh w = meshChunk(s).translucent;
  // The +x face of the first block spans 5.64..5.88; the second shows no -x face.
  EXPECT_EQ(quadsWhere(w,
                       [](const ChunkVertex& v) {
                         return v.x == 6.0f &&
                                (std::fabs(v.y - 5.64f) < 1e-5f || std::fabs(v.y - 5.88f) < 1e-5f);
                       }),
            1);
  EXPECT_EQ(quadsWhere(w, [](const ChunkVertex& v) { return v.x == 6.0f; }), 1);
}

TEST(Mesher, LavaIsOpaqueAndHidesWaterSides) {
  ChunkSnapshot s = emptySnapshot();
  put(s, 5, 5, 5, kBlockLava, 2);
  put(s, 4, 5, 5, kBlockWater);
  const ChunkMeshPair pair = meshChunk(s);
  ASSERT_FALSE(pair.opaque.empty());
  EXPECT_EQ(pair.opaque.vertices[0].layer, kTexLava);
  EXPECT_EQ(
      quadsWhere(pair.opaque, [](const ChunkVertex& v) { return std::fabs(v.y - 5.5f) < 1e-5f; }),
      1)
      << "level 2 of lava: surface at Y + 0.5";
  EXPECT_EQ(quadsWhere(pair.translucent, [](const ChunkVertex& v) { return v.x == 5.0f; }), 0);
  EXPECT_EQ(quadsWhere(pair.opaque, [](const ChunkVertex& v) { return v.x == 5.0f; }), 1)
      << "lava shows its side to non-opaque water";
}

TEST(Mesher, ItemCubes) {
  EXPECT_TRUE(buildBlockItemMesh(kBlockAir).empty());
  EXPECT_TRUE(buildBlockItemMesh(kNoBlock).empty());
  const ChunkMesh cube = buildBlockItemMesh(kBlockBookshelf);
  ASSERT_EQ(cube.vertices.size(), 24u);
  EXPECT_EQ(cube.indices.size(), 36u);
  for (const ChunkVertex& v : cube.vertices) {
    EXPECT_FLOAT_EQ(std::fabs(v.x), 0.5f);
    EXPECT_FLOAT_EQ(std::fabs(v.y), 0.5f);
    EXPECT_FLOAT_EQ(std::fabs(v.z), 0.5f);
  }
  EXPECT_EQ(cube.vertices[0].layer, kTexBookshelf);
  EXPECT_EQ(cube.vertices[8].layer, kTexPlanks);
  EXPECT_FLOAT_EQ(cube.vertices[12].shade, 0.48f);
}

TEST(Mesher, GeneratedTerrainMeshesConsistently) {
  World w(20261018);
  for (int sy = 0; sy < 4; ++sy) {
    const ChunkMeshPair pair = buildChunkMesh(w, {0, sy, 0});
    expectWellFormed(pair.opaque);
    expectWellFormed(pair.translucent);
  }
  EXPECT_TRUE(w.isColumnLoaded(0, 0));
  EXPECT_FALSE(buildChunkMesh(w, {0, 2, 0}).opaque.empty()) << "the spawn village stands at y 36";
}

namespace {

// The unit block faces a mesh's quads cover, as (axis, plane, a, b) cells: a multiset, so
// that overlapping rectangles show up as counts above one.
std::map<std::array<int, 4>, int> faceCells(const ChunkMesh& mesh, bool skipLava) {
  std::map<std::array<int, 4>, int> cells;
  for (size_t q = 0; q + 3 < mesh.vertices.size(); q += 4) {
    if (skipLava && mesh.vertices[q].layer == kTexLava) continue;
    float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
    for (size_t i = q; i < q + 4; ++i) {
      const float p[3] = {mesh.vertices[i].x, mesh.vertices[i].y, mesh.vertices[i].z};
      for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
    }
    int axis = 0;
    while (axis < 3 && hi[axis] != lo[axis]) ++axis;
    if (axis == 3) {
      ADD_FAILURE() << "a quad that is not flat";
      continue;
    }
    const int a = (axis + 1) % 3, b = (axis + 2) % 3;
    for (int i = int(lo[a]); i < int(hi[a]); ++i) {
      for (int j = int(lo[b]); j < int(hi[b]); ++j) ++cells[{axis, int(lo[axis]), i, j}];
    }
  }
  return cells;
}

void expectSameSurface(const ChunkMeshPair& pair, const char* what) {
  expectWellFormed(pair.shadow);
  const auto blocks = faceCells(pair.opaque, true);
  const auto merged = faceCells(pair.shadow, true);
  EXPECT_EQ(blocks, merged) << what;
  for (const ChunkVertex& v : pair.shadow.vertices) {
    if (v.layer != kTexLava) {
      EXPECT_EQ(v.x, std::floor(v.x)) << what;
    }
  }
}

}  // namespace

TEST(Mesher, ShadowSurfaceMergesFacesAndCoversExactlyTheBlockFaces) {
  // A floor of 16 x 16 stone with a step on it: the floor's top is three rectangles.
  ChunkSnapshot s = emptySnapshot({1, 2, -3});
  for (int x = 0; x < 16; ++x) {
    for (int z = 0; z < 16; ++z) put(s, x, 0, z, kBlockStone);
  }
  put(s, 4, 1, 4, kBlockPlanks);
  const ChunkMeshPair floor = meshChunk(s);
  expectSameSurface(floor, "floor");
  EXPECT_LE(floor.shadow.vertices.size(), 4u * 14) << "floor: top, bottom, four sides, step";
  EXPECT_GT(floor.opaque.vertices.size(), 4u * 256);

  // Generated terrain (hills, caves, trees, the spawn village): the same faces with a
  // fraction of the vertices.
  World w(20261018);
  size_t blockVertices = 0, shadowVertices = 0;
  for (int cx = -1; cx <= 1; ++cx) {
    for (int sy = 0; sy < 4; ++sy) {
      const ChunkMeshPair pair = buildChunkMesh(w, {cx, sy, 0});
      expectSameSurface(pair, "terrain");
      blockVertices += pair.opaque.vertices.size();
      shadowVertices += pair.shadow.vertices.size();
    }
  }
  EXPECT_LT(shadowVertices * 2, blockVertices);

  // Lava casts its shadow with its own lowered surface.
  ChunkSnapshot pool = emptySnapshot();
  put(pool, 5, 5, 5, kBlockLava, 2);
  put(pool, 6, 5, 5, kBlockStone);
  const ChunkMeshPair lava = meshChunk(pool);
  expectSameSurface(lava, "lava");
  EXPECT_EQ(
      quadsWhere(lava.shadow, [](const ChunkVertex& v) { return std::fabs(v.y - 5.5f) < 1e-5f; }),
      1);
  EXPECT_TRUE(meshChunk(emptySnapshot()).shadow.empty());
}
