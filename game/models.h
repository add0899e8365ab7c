#pragma once
// Box models of the creatures, remote players, drops and particles, in the chunk vertex
// format, and the per-frame list of entity instances the renderer draws with them.
// Models face +x. Model slots: 0 slime, 1 pig, 2 villager, 3 player, 3 + i the drop of
// block type i, then the particle model.

#include <vector>

#include <glm/glm.hpp>

#include "game/drops.h"
#include "game/mobs.h"
#include "render/renderer.h"
#include "world/chunk_mesh.h"

inline constexpr int kModelSlotPlayer = 3;

struct ModelBox {
  glm::vec3 min, max;
  int sideTexture, frontTexture;  // the front texture goes on the +x face
  float brightness;
};

// The six faces of each box, in the chunk face order.
ChunkMesh boxesToMesh(const std::vector<ModelBox>& boxes);

ChunkMesh slimeModel();
ChunkMesh pigModel();
ChunkMesh villagerModel();
ChunkMesh playerModel();
ChunkMesh particleModel();
// The cube a dropped block of type `id` is drawn with; empty for air.
ChunkMesh dropModel(BlockId id);

// Hands every model to the renderer in slot order, the particle model last.
void registerEntityModels(Renderer& renderer);

// Another player as drawn: its eye and yaw.
struct AvatarPose {
  glm::vec3 eye{0.0f};
  float yaw = 0.0f;
};

// Drops, then mobs, then remote players.
std::vector<EntityInstance> buildEntityDrawList(const std::vector<Drop>& drops,
                                                const std::vector<Mob>& mobs,
                                                const std::vector<AvatarPose>& remotePlayers);
