// Self-test checks of the entity and particle models.

#include <algorithm>
#include <cmath>

#include "app/selftest.h"
#include "game/models.h"

namespace {

float height(const ChunkMesh& mesh) {
  if (mesh.vertices.empty()) return 0.0f;
  auto [lo, hi] =
      std::minmax_element(mesh.vertices.begin(), mesh.vertices.end(),
                          [](const ChunkVertex& a, const ChunkVertex& b) { return a.y < b.y; });
  return hi->y - lo->y;
}

void runModelChecks(SelfTestRun& run) {
  const ChunkMesh slime = slimeModel(), pig = pigModel(), villager = villagerModel(),
                  player = playerModel();
  run.check(!slime.empty() && !pig.empty() && !villager.empty() && !player.empty(),
            "mob meshes built");
  run.check(std::fabs(height(pig) - 0.8f) < 0.01f, "pig mesh is 0.8 units tall");
  run.check(std::fabs(height(slime) - 0.65f) < 0.01f, "slime mesh is 0.65 units tall");
  run.check(std::fabs(height(villager) - 0.96f) < 0.01f, "villager mesh is 0.96 units tall");
  run.check(std::fabs(height(player) - 1.8f) < 0.01f, "player mesh is 1.8 units tall");
  run.check(particleModel().vertices.size() == 24, "particle mesh is a cube");
}

const SelfTestArea kModelArea(540, "models", &runModelChecks);

}  // namespace
