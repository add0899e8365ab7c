#include "game/game.h"

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
  game.renderer->setChunkShadowMesh(key, meshes.shadow);
  game.renderer->setChunkTranslucentMesh(key, meshes.translucent);
}

void remeshChangedSections(Game& game) {
  if (!game.world) return;
  for (const ChunkKey& key : game.world->takeDirtyChunks()) remeshSection(game, key);
}
