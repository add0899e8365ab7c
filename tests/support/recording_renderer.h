#pragma once
// A renderer that draws nothing and remembers what it was given.

#include <map>
#include <tuple>

#include "render/renderer.h"

class RecordingRenderer : public Renderer {
 public:
  using Key = std::tuple<int, int, int>;
  static Key keyOf(ChunkKey k) { return {k.cx, k.sy, k.cz}; }

  bool init(GLFWwindow*, bool) override { return true; }
  void shutdown() override {}
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
  void setModelMesh(int, const ChunkMesh&) override {}
  void setParticleMesh(const ChunkMesh&) override {}
  void setLighting(float, float, glm::vec3) override {}
  void setRenderToggles(bool, bool) override {}
  void onFramebufferResized() override {}
  void beginUiFrame() override {}
  void drawFrame(const glm::mat4&, glm::vec3, const std::vector<EntityInstance>&,
                 const std::vector<EntityInstance>&) override {}

  bool has(ChunkKey k) const { return opaque.count(keyOf(k)) > 0; }

  std::map<Key, size_t> opaque, translucent;  // index counts by chunk
  std::vector<ChunkKey> removed;
  int meshCalls = 0;
};
