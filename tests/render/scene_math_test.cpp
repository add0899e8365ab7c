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
