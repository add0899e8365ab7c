#pragma once
// A renderer that draws nothing and remembers the chunk meshes it was given.

#include <map>
#include <tuple>

#include "render/null_renderer.h"

class RecordingRenderer : public NullRenderer {
 public:
  using Key = std::tuple<int, int, int>;
  static Key keyOf(ChunkKey k) { return {k.cx, k.sy, k.cz}; }

  void setChunkMesh(ChunkKey chunk, const ChunkMesh& mesh) override {
    opaque[keyOf(chunk)] = mesh.indices.size();
    ++meshCalls;
  }
  void setChunkTranslucentMesh(ChunkKey chunk, const ChunkMesh& mesh) override {
    translucent[keyOf(chunk)] = mesh.indices.size();
  }
  void removeChunkMeshes(ChunkKey chunk) override {
    opaque.erase(keyOf(chunk));
    translucent.erase(keyOf(chunk));
    removed.push_back(chunk);
  }
  void clearChunkMeshes() override {
    opaque.clear();
    translucent.clear();
  }

  bool has(ChunkKey k) const { return opaque.count(keyOf(k)) > 0; }

  std::map<Key, size_t> opaque, translucent;  // index counts by chunk
  std::vector<ChunkKey> removed;
  int meshCalls = 0;
};
