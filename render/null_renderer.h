#pragma once
// A renderer that draws nothing: for headless runs, tests and benchmarks. Override the
// calls you want to watch.

#include "render/renderer.h"

class NullRenderer : public Renderer {
 public:
  bool init(GLFWwindow*, bool) override { return true; }
  void shutdown() override {}
  void setChunkMesh(ChunkKey, const ChunkMesh&) override {}
  void setChunkTranslucentMesh(ChunkKey, const ChunkMesh&) override {}
  void removeChunkMeshes(ChunkKey) override {}
  void clearChunkMeshes() override {}
  void setModelMesh(int, const ChunkMesh&) override {}
  void setParticleMesh(const ChunkMesh&) override {}
  void setLighting(float, float, glm::vec3) override {}
  void setRenderToggles(bool, bool) override {}
  void onFramebufferResized() override {}
  void beginUiFrame() override {}
  void drawFrame(const glm::mat4&, glm::vec3, const std::vector<EntityInstance>&,
                 const std::vector<EntityInstance>&) override {}
};
