#include "game/models.h"

#include <cmath>

namespace {

ModelBox box(glm::vec3 min, glm::vec3 max, int side, int front, float brightness) {
  return {min, max, side, front, brightness};
}

}  // namespace

ChunkMesh boxesToMesh(const std::vector<ModelBox>& boxes) {
  ChunkMesh mesh;
  for (const ModelBox& b : boxes) {
    const glm::vec3 c = (b.min + b.max) * 0.5f, h = (b.max - b.min) * 0.5f;
    for (int f = 0; f < 6; ++f) {
      const FaceInfo& face = kFaces[f];
      const glm::vec3 n(face.normal[0], face.normal[1], face.normal[2]);
      const glm::vec3 u(face.u[0], face.u[1], face.u[2]), v(face.v[0], face.v[1], face.v[2]);
      const float du = std::fabs(u.x) * h.x + std::fabs(u.y) * h.y + std::fabs(u.z) * h.z;
      const float dv = std::fabs(v.x) * h.x + std::fabs(v.y) * h.y + std::fabs(v.z) * h.z;
      const int layer = f == 0 ? b.frontTexture : b.sideTexture;
      const uint32_t base = static_cast<uint32_t>(mesh.vertices.size());
      for (const FaceCorner& k : kFaceCorners) {
        const glm::vec3 p =
            c + n * h + static_cast<float>(k.su) * du * u + static_cast<float>(k.sv) * dv * v;
        mesh.vertices.push_back({p.x, p.y, p.z, k.u, k.v, b.brightness * face.shade, layer});
      }
      for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) mesh.indices.push_back(base + i);
    }
  }
  return mesh;
}

ChunkMesh slimeModel() {
  return boxesToMesh(
      {box({-0.35f, -0.4f, -0.35f}, {0.35f, 0.25f, 0.35f}, kTexSlimeBody, kTexSlimeFace, 1.0f)});
}

ChunkMesh pigModel() {
  std::vector<ModelBox> boxes;
  for (float a : {-1.0f, 1.0f}) {
    for (float b : {-1.0f, 1.0f}) {
      boxes.push_back(box({0.16f * a - 0.065f, -0.4f, 0.22f * b - 0.065f},
                          {0.16f * a + 0.065f, -0.12f, 0.22f * b + 0.065f}, kTexPigBody,
                          kTexPigBody, 0.85f));
    }
  }
  boxes.push_back(
      box({-0.25f, -0.12f, -0.32f}, {0.25f, 0.2f, 0.32f}, kTexPigBody, kTexPigBody, 1.0f));
  boxes.push_back(
      box({0.2f, 0.04f, -0.18f}, {0.56f, 0.4f, 0.18f}, kTexPigBody, kTexPigFace, 1.05f));
  return boxesToMesh(boxes);
}

ChunkMesh villagerModel() {
  std::vector<ModelBox> boxes;
  for (float b : {-1.0f, 1.0f}) {
    boxes.push_back(box({-0.08f, -0.4f, 0.09f * b - 0.08f}, {0.08f, -0.05f, 0.09f * b + 0.08f},
                        kTexVillagerCoat, kTexVillagerCoat, 0.78f));
  }
  boxes.push_back(box({-0.22f, -0.06f, -0.14f}, {0.22f, 0.28f, 0.14f}, kTexVillagerCoat,
                      kTexVillagerCoat, 1.0f));
  for (float b : {-1.0f, 1.0f}) {
    boxes.push_back(box({-0.1f, -0.05f, 0.27f * b - 0.05f}, {0.1f, 0.24f, 0.27f * b + 0.05f},
                        kTexVillagerCoat, kTexVillagerCoat, 0.9f));
  }
  boxes.push_back(box({-0.13f, 0.28f, -0.13f}, {0.13f, 0.56f, 0.13f}, kTexVillagerSkin,
                      kTexVillagerFace, 1.0f));
  return boxesToMesh(boxes);
}

ChunkMesh playerModel() {
  std::vector<ModelBox> boxes;
  for (float b : {-1.0f, 1.0f}) {
    boxes.push_back(box({-0.12f, 0.0f, 0.12f * b - 0.075f}, {0.12f, 0.72f, 0.12f * b + 0.075f},
                        kTexPlayerPants, kTexPlayerPants, 0.82f));
  }
  boxes.push_back(
      box({-0.14f, 0.72f, -0.24f}, {0.14f, 1.42f, 0.24f}, kTexPlayerShirt, kTexPlayerShirt, 1.0f));
  for (float b : {-1.0f, 1.0f}) {
    boxes.push_back(box({-0.11f, 0.74f, 0.33f * b - 0.07f}, {0.11f, 1.36f, 0.33f * b + 0.07f},
                        kTexPlayerShirt, kTexPlayerShirt, 0.78f));
  }
  boxes.push_back(
      box({-0.22f, 1.42f, -0.22f}, {0.22f, 1.8f, 0.22f}, kTexVillagerSkin, kTexPlayerFace, 1.0f));
  return boxesToMesh(boxes);
}

ChunkMesh particleModel() {
  return boxesToMesh({box(glm::vec3(-0.5f), glm::vec3(0.5f), 0, 0, 1.0f)});
}

ChunkMesh dropModel(BlockId id) {
  return buildBlockItemMesh(id);
}

void registerEntityModels(Renderer& renderer) {
  renderer.setModelMesh(MobSlime, slimeModel());
  renderer.setModelMesh(MobPig, pigModel());
  renderer.setModelMesh(MobVillager, villagerModel());
  renderer.setModelMesh(kModelSlotPlayer, playerModel());
  const size_t count = blockCount();
  for (size_t id = 1; id < count; ++id) {
    renderer.setModelMesh(kModelSlotPlayer + static_cast<int>(id),
                          dropModel(static_cast<BlockId>(id)));
  }
  renderer.setParticleMesh(particleModel());
}

std::vector<EntityInstance> buildEntityDrawList(const std::vector<Drop>& drops,
                                                const std::vector<Mob>& mobs,
                                                const std::vector<AvatarPose>& remotePlayers) {
  std::vector<EntityInstance> list;
  list.reserve(drops.size() + mobs.size() + remotePlayers.size());
  for (const Drop& d : drops) {
    EntityInstance e;
    e.x = d.position.x;
    e.y = d.position.y + 0.08f + 0.04f * std::sin(3.0f * d.age);
    e.z = d.position.z;
    e.yaw = d.spin;
    e.scale = 0.3f;
    e.model = static_cast<uint32_t>(kModelSlotPlayer + d.item);
    list.push_back(e);
  }
  for (const Mob& m : mobs) {
    EntityInstance e;
    e.x = m.position.x;
    e.y = m.position.y;
    e.z = m.position.z;
    if (m.type == MobSlime) e.y += 0.035f * std::sin(5.0f * m.animationTime);
    if (m.type == MobVillager && m.moving)
      e.y += 0.02f * std::fabs(std::sin(7.0f * m.animationTime));
    e.yaw = m.displayedYaw;
    e.model = m.type;
    e.flash = m.damageFlash > 0.0f ? 1.0f : 0.0f;
    list.push_back(e);
  }
  for (const AvatarPose& p : remotePlayers) {
    EntityInstance e;
    e.x = p.eye.x;
    e.y = p.eye.y - 1.62f;
    e.z = p.eye.z;
    e.yaw = p.yaw;
    e.model = kModelSlotPlayer;
    list.push_back(e);
  }
  return list;
}
