#include "render/scene_math.h"

#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

namespace {

// A camera at (8, 40, 8) looking north (-z), as the game builds it (y flipped).
glm::mat4 northCamera() {
  glm::mat4 projection = glm::perspective(glm::radians(70.0f), 16.0f / 9.0f, 0.05f, 600.0f);
  projection[1][1] = -projection[1][1];
  const glm::vec3 eye(8, 40, 8);
  return projection * glm::lookAt(eye, eye + glm::vec3(0, 0, -1), glm::vec3(0, 1, 0));
}

}  // namespace

TEST(SceneMath, FrustumKeepsChunksInViewAndCullsTheRest) {
  const auto planes = frustumPlanes(northCamera());
  EXPECT_FALSE(outsideFrustum(planes, chunkBox(0, 2, -2)));  // ahead
  EXPECT_FALSE(outsideFrustum(planes, chunkBox(0, 2, 0)));   // holding the camera
  EXPECT_TRUE(outsideFrustum(planes, chunkBox(0, 2, 3)));    // behind
  EXPECT_TRUE(outsideFrustum(planes, chunkBox(10, 2, -1)));  // far off to the side
  EXPECT_TRUE(outsideFrustum(planes, chunkBox(0, 2, -40)));  // beyond the far plane
  // A box only touched by a corner of the view still counts as visible.
  EXPECT_FALSE(outsideFrustum(planes, chunkBox(2, 2, -3)));
}

TEST(SceneMath, SkyFogAndForward) {
  const glm::vec3 day = skyColour(1.0f), night = skyColour(0.0f);
  EXPECT_NEAR(day.b, std::pow(0.79f, 2.2f), 1e-6f);
  EXPECT_NEAR(night.r, std::pow(0.015f, 2.2f), 1e-7f);
  EXPECT_GT(day.g, night.g);

  EXPECT_FLOAT_EQ(fogStart(-1.0f, 128.0f), 78.0f);
  EXPECT_FLOAT_EQ(fogStart(40.0f, 128.0f), 40.0f);
  EXPECT_FLOAT_EQ(fogStart(500.0f, 128.0f), 127.0f);

  const glm::vec3 forward = cameraForward(northCamera(), glm::vec3(8, 40, 8));
  EXPECT_NEAR(forward.z, -1.0f, 1e-3f);
  EXPECT_NEAR(forward.x, 0.0f, 1e-3f);
}

namespace {

// Where a world point lands in a cascade's shadow map, in texels (x, y) and depth 0..1.
glm::vec3 shadowTexel(const glm::mat4& cascade, glm::vec3 world) {
  const glm::vec4 clip = shadowClipMatrix(cascade) * glm::vec4(world, 1.0f);
  const glm::vec3 ndc = glm::vec3(clip) / clip.w;
  return {(ndc.x * 0.5f + 0.5f) * 2048.0f, (ndc.y * 0.5f + 0.5f) * 2048.0f, ndc.z};
}

glm::mat4 cameraAt(glm::vec3 eye) {
  glm::mat4 projection = glm::perspective(glm::radians(70.0f), 16.0f / 9.0f, 0.05f, 600.0f);
  projection[1][1] = -projection[1][1];
  return projection * glm::lookAt(eye, eye + glm::vec3(0.3f, -0.5f, -1), glm::vec3(0, 1, 0));
}

const glm::vec3 kSun = glm::normalize(glm::vec3(0.4f, 0.85f, 0.35f));

}  // namespace

TEST(Cascades, SplitsAndRangeFollowTheSettings) {
  EXPECT_FLOAT_EQ(shadowFarDistance(0.0f, 128.0f), 144.0f);
  EXPECT_FLOAT_EQ(shadowFarDistance(0.0f, 20.0f), 64.0f);
  EXPECT_FLOAT_EQ(shadowFarDistance(-5.0f, 400.0f), 192.0f);
  EXPECT_FLOAT_EQ(shadowFarDistance(1000.0f, 128.0f), 600.0f);
  EXPECT_FLOAT_EQ(shadowFarDistance(80.0f, 128.0f), 80.0f);

  const CascadeSet set = computeCascades(cameraAt({8, 40, 8}), kSun, 144.0f);
  const float n = 0.1f, s = 144.0f;
  EXPECT_NEAR(set.splits.x, 0.7f * n * std::pow(s / n, 1 / 3.0f) + 0.3f * (n + (s - n) / 3), 1e-3f);
  EXPECT_NEAR(set.splits.y, 0.7f * n * std::pow(s / n, 2 / 3.0f) + 0.3f * (n + (s - n) * 2 / 3),
              1e-3f);
  EXPECT_FLOAT_EQ(set.splits.z, s);
  EXPECT_LT(set.radii[0], set.radii[1]);
  EXPECT_LT(set.radii[1], set.radii[2]);
}

TEST(Cascades, EachSliceFitsInsideItsShadowMap) {
  const glm::vec3 eye(8, 40, 8);
  const glm::mat4 camera = cameraAt(eye);
  const CascadeSet set = computeCascades(camera, kSun, 144.0f);
  const glm::mat4 inverse = glm::inverse(camera);
  const float bounds[4] = {0.1f, set.splits.x, set.splits.y, set.splits.z};
  for (int c = 0; c < 3; ++c) {
    for (int corner = 0; corner < 8; ++corner) {
      const glm::vec4 nearPoint =
          inverse * glm::vec4(corner & 1 ? 1 : -1, corner & 2 ? 1 : -1, 0, 1);
      const glm::vec4 farPoint =
          inverse * glm::vec4(corner & 1 ? 1 : -1, corner & 2 ? 1 : -1, 1, 1);
      const float f = (bounds[c + (corner >> 2)] - 0.1f) / 599.9f;
      const glm::vec3 a = glm::vec3(nearPoint) / nearPoint.w, b = glm::vec3(farPoint) / farPoint.w;
      const glm::vec3 texel = shadowTexel(set.matrices[c], a + (b - a) * f);
      EXPECT_GE(texel.x, 0.0f) << c;
      EXPECT_LE(texel.x, 2048.0f) << c;
      EXPECT_GE(texel.y, 0.0f) << c;
      EXPECT_LE(texel.y, 2048.0f) << c;
      EXPECT_GT(texel.z, 0.0f) << c;
      EXPECT_LT(texel.z, 1.0f) << c;
    }
  }
  // Looking straight down with the sun overhead picks the other up vector.
  const CascadeSet overhead = computeCascades(camera, glm::vec3(0, 1, 0), 144.0f);
  EXPECT_FALSE(std::isnan(overhead.matrices[0][0][0]));
}

TEST(Cascades, TexelSnappingKeepsStillShadowsStill) {
  // Points of a still scene near the camera, one per cascade.
  const glm::vec3 eye(8.3f, 40.2f, 8.1f);
  const glm::vec3 points[3] = {{9.0f, 38.5f, 6.0f}, {20.0f, 30.0f, -20.0f}, {40.0f, 20.0f, -80.0f}};
  const CascadeSet before = computeCascades(cameraAt(eye), kSun, 144.0f);
  for (const glm::vec3 step : {glm::vec3(0.01f, 0, 0), glm::vec3(0, 0.02f, -0.015f),
                               glm::vec3(-0.03f, 0.01f, 0.02f), glm::vec3(0.004f, 0, 0.004f)}) {
    const CascadeSet after = computeCascades(cameraAt(eye + step), kSun, 144.0f);
    for (int c = 0; c < 3; ++c) {
      // The map may shift by whole texels, never by a fraction of one: each point keeps
      // its place inside its texel, so the shadow's edge does not crawl.
      const glm::vec3 a = shadowTexel(before.matrices[c], points[c]);
      const glm::vec3 b = shadowTexel(after.matrices[c], points[c]);
      const glm::vec2 shift = glm::vec2(b) - glm::vec2(a);
      EXPECT_NEAR(shift.x, std::round(shift.x), 0.02f) << "cascade " << c;
      EXPECT_NEAR(shift.y, std::round(shift.y), 0.02f) << "cascade " << c;
      EXPECT_LE(std::abs(shift.x) + std::abs(shift.y), 2.5f) << "cascade " << c;
    }
  }
}

TEST(Cascades, ShadowCullingKeepsCastersAndDropsTheRest) {
  const glm::vec3 eye(8, 40, 8);
  const CascadeSet set = computeCascades(cameraAt(eye), kSun, 144.0f);
  int total = 0;
  int drawn[3] = {0, 0, 0};
  for (int c = 0; c < 3; ++c) {
    auto planes = frustumPlanes(shadowClipMatrix(set.matrices[c]));
    planes[4] = glm::vec4(0, 0, 0, 1);  // casters before the near plane are flattened onto it
    total = 0;
    for (int cx = -12; cx <= 12; ++cx) {
      for (int cz = -12; cz <= 12; ++cz) {
        for (int sy = 0; sy < 4; ++sy, ++total) {
          if (!outsideFrustum(planes, chunkBox(cx, sy, cz))) ++drawn[c];
        }
      }
    }
    // A chunk a long way towards the sun from the nearest slice still casts into it.
    if (c == 0) {
      EXPECT_FALSE(outsideFrustum(planes, Box{eye + kSun * 60.0f, eye + kSun * 60.0f + 1.0f}));
    }
  }
  EXPECT_FALSE(outsideFrustum(frustumPlanes(shadowClipMatrix(set.matrices[0])),
                              chunkBox(0, 2, 0)));  // the camera's own chunk
  for (int c = 0; c < 3; ++c) {
    EXPECT_GT(drawn[c], 0) << c;
    EXPECT_LT(drawn[c], total) << c;
  }
  EXPECT_LT(drawn[0], drawn[2]);
}

TEST(SceneMath, HalfSizesNeverReachZero) {
  EXPECT_EQ(halfSize(1280), 640u);
  EXPECT_EQ(halfSize(721), 360u);
  EXPECT_EQ(halfSize(4), 2u);
  EXPECT_EQ(halfSize(3), 1u);
  EXPECT_EQ(halfSize(1), 1u);
}
