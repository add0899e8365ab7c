// Self-test checks of chunk meshing: the sections around the spawn village (whose
// vertex and index totals go into the summary line) and a few hand-built sections.

#include <cmath>

#include "app/selftest.h"
#include "world/chunk_mesh.h"

namespace {

bool wellFormed(const ChunkMesh& mesh) {
  if (mesh.indices.size() % 6 != 0 || mesh.vertices.size() % 4 != 0) return false;
  for (uint32_t i : mesh.indices) {
    if (i >= mesh.vertices.size()) return false;
  }
  for (const ChunkVertex& v : mesh.vertices) {
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return false;
  }
  return true;
}

ChunkSnapshot airSnapshot() {
  ChunkSnapshot s;
  s.key = {0, 0, 0};
  return s;
}

bool blockCounts() {
  ChunkSnapshot s = airSnapshot();
  s.blocks[ChunkSnapshot::index(3, 3, 3)] = kBlockStone;
  const ChunkMesh one = meshChunk(s).opaque;
  s.blocks[ChunkSnapshot::index(3, 4, 3)] = kBlockPlanks;
  const ChunkMesh two = meshChunk(s).opaque;
  return one.vertices.size() == 24 && one.indices.size() == 36 && two.vertices.size() == 40 &&
         two.indices.size() == 60;
}

bool waterSurface() {
  ChunkSnapshot s = airSnapshot();
  s.blocks[ChunkSnapshot::index(3, 3, 3)] = kBlockWater;
  s.levels[ChunkSnapshot::index(3, 3, 3)] = 4;
  const ChunkMesh water = meshChunk(s).translucent;
  if (water.vertices.size() != 24) return false;
  bool surface = false, bottom = false;
  for (size_t q = 0; q < water.vertices.size(); q += 4) {
    const ChunkVertex& v = water.vertices[q];
    surface |= std::fabs(v.y - 3.52f) < 1e-5f && water.vertices[q + 2].y == v.y;
    bottom |= v.y == 3.0f && water.vertices[q + 2].y == 3.0f && std::fabs(v.shade - 0.456f) < 1e-6f;
  }
  return surface && bottom;
}

void runMeshingChecks(SelfTestRun& run) {
  World& w = run.world;
  const Village spawn = w.villages().front();
  const int cx = floorDiv16(spawn.x), cz = floorDiv16(spawn.z);
  bool formed = true;
  for (int dz = -1; dz <= 1; ++dz) {
    for (int dx = -1; dx <= 1; ++dx) {
      for (int sy = 0; sy < kSectionsPerColumn; ++sy) {
        const ChunkMeshPair pair = buildChunkMesh(w, {cx + dx, sy, cz + dz});
        formed = formed && wellFormed(pair.opaque) && wellFormed(pair.translucent);
        run.vertices += pair.opaque.vertices.size() + pair.translucent.vertices.size();
        run.indices += pair.opaque.indices.size() + pair.translucent.indices.size();
      }
    }
  }
  run.check(formed && run.indices > 0, "section meshes are whole quads with finite vertices");
  run.check(blockCounts(), "single and stacked blocks give 24/36 and 40/60 vertices/indices");
  run.check(waterSurface(), "water surface follows its level and shows its underside");
  run.check(buildBlockItemMesh(kBlockGrass).indices.size() == 36 &&
                buildBlockItemMesh(kBlockAir).indices.empty(),
            "item cubes have six faces");
}

const SelfTestArea kMeshingArea(400, "meshing", &runMeshingChecks);

}  // namespace
