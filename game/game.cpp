#include "game/game.h"

#include <algorithm>

#include "game/game_mod_context.h"
#include "render/renderer.h"
#include "save/world_folders.h"
#include "world/chunk_mesh.h"

Game::Game() : savesFolder(::savesFolder()), modContext(std::make_unique<GameModContext>(*this)) {}

Game::~Game() {
  mods.unloadMods();
  meshScheduler.stop();
  if (net.session) net.session->shutdown();
}

void assignEntityIds(Game& game) {
  for (Mob& mob : game.entities.mobs) {
    if (mob.id == 0) mob.id = game.entities.nextEntityId++;
  }
  for (Drop& drop : game.entities.drops) {
    if (drop.id == 0) drop.id = game.entities.nextEntityId++;
  }
}

void remeshSection(Game& game, ChunkKey key) {
  if (!game.world || !game.world->chunkLoaded(key) || !drawsWorld(game)) return;
  const ChunkMeshPair meshes = buildChunkMesh(*game.world, key);
  game.renderer->setChunkMesh(key, meshes.opaque);
  game.renderer->setChunkTranslucentMesh(key, meshes.translucent);
}

void remeshAround(Game& game, int x, int y, int z) {
  // Faces and corner shading of a block reach into the sections of its 26 neighbours.
  ChunkKey done[8];
  int count = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    if (y + dy < 0 || y + dy >= kWorldHeight) continue;
    for (int dz = -1; dz <= 1; ++dz) {
      for (int dx = -1; dx <= 1; ++dx) {
        const ChunkKey key = chunkKeyOf(x + dx, y + dy, z + dz);
        if (std::find(done, done + count, key) != done + count) continue;
        done[count++] = key;
        remeshSection(game, key);
      }
    }
  }
}
