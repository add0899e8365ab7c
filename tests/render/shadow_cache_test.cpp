#include "render/shadow_cache.h"

#include <gtest/gtest.h>

#include <cmath>
#include <glm/gtc/matrix_transform.hpp>

namespace {

const glm::vec3 kSun = glm::normalize(glm::vec3(0.4f, 0.85f, 0.35f));

glm::mat4 camera(glm::vec3 eye, float yawDegrees, float pitchDegrees = -15.0f) {
  glm::mat4 projection = glm::perspective(glm::radians(70.0f), 16.0f / 9.0f, 0.05f, 600.0f);
  projection[1][1] = -projection[1][1];
  const float yaw = glm::radians(yawDegrees), pitch = glm::radians(pitchDegrees);
  const glm::vec3 look(std::sin(yaw) * std::cos(pitch), std::sin(pitch),
                       -std::cos(yaw) * std::cos(pitch));
  return projection * glm::lookAt(eye, eye + look, glm::vec3(0, 1, 0));
}

// A renderer's frame as the cache sees it, and what it draws.
struct Driver {
  ShadowCache cache;
  CascadeFrame frame;
  uint64_t generation = 1;
  std::vector<EntityPose> entities;

  std::array<bool, 3> step(const glm::mat4& viewProjection, glm::vec3 eye, glm::vec3 sun = kSun) {
    frame.fresh = computeCascades(viewProjection, sun, 144.0f);
    frame.sun = sun;
    frame.camera = eye;
    frame.forward = cameraForward(viewProjection, eye);
    frame.chunkGeneration = generation;
    for (int c = 0; c < 3; ++c) {
      auto planes = frustumPlanes(shadowClipMatrix(frame.fresh.matrices[c]));
      planes[4] = glm::vec4(0, 0, 0, 1);
      frame.entityHash[c] = entityHashInside(planes, entities);
    }
    const auto redraw = planCascadeRedraws(cache, frame);
    for (int c = 0; c < 3; ++c) {
      if (redraw[c]) markCascadeDrawn(cache, c, frame, 10 + c);
    }
    return redraw;
  }
};

int count(const std::array<bool, 3>& redraw) {
  return int(redraw[0]) + int(redraw[1]) + int(redraw[2]);
}

}  // namespace

TEST(ShadowCache, MapsAreRedrawnOnlyWhenWhatTheyShowChanges) {
  Driver d;
  const glm::vec3 eye(8, 40, 8);
  const glm::mat4 view = camera(eye, 0);
  EXPECT_EQ(d.step(view, eye), (std::array<bool, 3>{true, true, true}));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(count(d.step(view, eye)), 0) << "still frame " << i;
  // The lookups use the matrices the maps were drawn with.
  const auto lookup = lookupMatrices(d.cache, d.frame.fresh);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(lookup[c], d.cache.maps[c].matrix);

  // New chunk meshes: the near map at once, the others at their turn within four frames.
  ++d.generation;
  std::array<int, 3> firstRedraw{-1, -1, -1};
  for (int i = 0; i < 4; ++i) {
    const auto redraw = d.step(view, eye);
    for (int c = 0; c < 3; ++c) {
      if (redraw[c] && firstRedraw[c] < 0) firstRedraw[c] = i;
    }
    EXPECT_FALSE(redraw[1] && redraw[2]) << "the middle and far maps share frame " << i;
  }
  EXPECT_EQ(firstRedraw[0], 0);
  EXPECT_GE(firstRedraw[1], 0);
  EXPECT_LE(firstRedraw[1], 1);
  EXPECT_GE(firstRedraw[2], 0);
  EXPECT_EQ(count(d.step(view, eye)), 0);

  // A pig walking in front of the camera dirties the maps that hold it, and only those.
  d.entities.push_back({eye + glm::vec3(0, -1, -3), 0, 1, 1});
  for (int i = 0; i < 4; ++i) d.step(view, eye);
  d.entities[0].position.x += 0.1f;
  EXPECT_TRUE(d.step(view, eye)[0]);
  d.entities[0].position = eye + glm::vec3(500, 0, 500);  // out of every cascade
  for (int i = 0; i < 4; ++i) d.step(view, eye);
  d.entities[0].position.x += 5;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(count(d.step(view, eye)), 0);
}

TEST(ShadowCache, MapsThatNoLongerFitTheViewAreRedrawnAtOnce) {
  Driver d;
  const glm::vec3 eye(8, 40, 8);
  d.step(camera(eye, 0), eye);
  d.step(camera(eye, 0), eye);  // the far map's turn has passed

  // A teleport, a resize or the shadow switch: everything.
  const glm::vec3 far = eye + glm::vec3(100, 0, 0);
  EXPECT_EQ(count(d.step(camera(far, 0), far)), 3);
  d.step(camera(far, 0), far);
  invalidateShadowCache(d.cache);
  EXPECT_EQ(count(d.step(camera(far, 0), far)), 3);

  // A turn of a degree waits for each map's turn, a turn of ten degrees does not.
  d.step(camera(far, 0), far);
  const auto small = d.step(camera(far, 1), far);
  EXPECT_TRUE(small[0]);
  EXPECT_FALSE(small[1] && small[2]);
  d.step(camera(far, 1), far);
  d.step(camera(far, 1), far);
  EXPECT_EQ(count(d.step(camera(far, 11), far)), 3);

  // The sun: a thousandth of a radian moves the far map's deepest point by more than a
  // texel, a millionth moves nothing by that much.
  for (int i = 0; i < 4; ++i) d.step(camera(far, 11), far);
  const glm::vec3 nudged = glm::normalize(kSun + glm::vec3(0.00002f, 0, 0));
  const auto slight = d.step(camera(far, 11), far, nudged);
  EXPECT_TRUE(slight[0]);
  EXPECT_FALSE(slight[1] && slight[2]);
  const glm::vec3 moved = glm::normalize(kSun + glm::vec3(0.0015f, 0, 0));
  EXPECT_TRUE(d.step(camera(far, 11), far, moved)[2]);
}

TEST(ShadowCache, ATurningCameraAlwaysFindsItsShadowsInAMap) {
  // Forty frames of a camera turning by two degrees a frame: every point of the view up to
  // the shadow distance lies inside the map its cascade holds, seen with the map's matrix.
  Driver d;
  const glm::vec3 eye(8.3f, 40.2f, 8.1f);
  int redraws = 0;
  for (int frame = 0; frame < 40; ++frame) {
    const glm::mat4 view = camera(eye, 2.0f * frame);
    redraws += count(d.step(view, eye));
    const glm::vec3 forward = cameraForward(view, eye);
    const glm::mat4 inverse = glm::inverse(view);
    for (float x : {-1.0f, 0.0f, 1.0f}) {
      for (float y : {-1.0f, 0.0f, 1.0f}) {
        const glm::vec4 a = inverse * glm::vec4(x, y, 0, 1), b = inverse * glm::vec4(x, y, 1, 1);
        const glm::vec3 nearPoint = glm::vec3(a) / a.w, direction = glm::vec3(b) / b.w - nearPoint;
        for (float depth : {2.0f, 10.0f, 30.0f, 80.0f, 140.0f}) {
          const glm::vec3 point = nearPoint + direction * (depth / glm::dot(direction, forward));
          const int c =
              depth < d.frame.fresh.splits.x ? 0 : (depth < d.frame.fresh.splits.y ? 1 : 2);
          const glm::vec4 light = d.cache.maps[c].matrix * glm::vec4(point, 1);
          EXPECT_LE(std::abs(light.x / light.w), 1.0f) << frame << " cascade " << c;
          EXPECT_LE(std::abs(light.y / light.w), 1.0f) << frame << " cascade " << c;
        }
      }
    }
  }
  EXPECT_LT(redraws, 3 * 40) << "a turning camera redraws less than every map every frame";
}

TEST(ShadowCache, CastersThatCannotReachTheViewAreCulled) {
  const glm::vec3 eye(8, 40, 8);
  const glm::mat4 view = camera(eye, 0, 0);  // looking north, level
  const glm::vec3 forward = cameraForward(view, eye);
  const auto receivers = receiverPlanes(view, eye, forward, -1e9f, 144.0f, 0.0f);
  const glm::vec3 sun = glm::normalize(glm::vec3(0, 1, 1));  // high in the south, behind
  // Ahead: casts. Behind the camera towards the sun: its shadow falls ahead, into view.
  EXPECT_TRUE(castsInto(receivers, sun, chunkBox(0, 2, -2)));
  EXPECT_TRUE(castsInto(receivers, sun, chunkBox(0, 5, 2)));
  // Behind the camera and below the sun's line: its shadow falls further behind.
  EXPECT_FALSE(castsInto(receivers, sun, chunkBox(0, 2, 3)));
  // Far off to the side, and beyond the shadow distance.
  EXPECT_FALSE(castsInto(receivers, sun, chunkBox(20, 2, -2)));
  EXPECT_FALSE(castsInto(receivers, sun, chunkBox(0, 0, -14)));
  // The middle slice does not need the casters right in front of the camera.
  const auto middle = receiverPlanes(view, eye, forward, 40.0f, 90.0f, 0.0f);
  const glm::vec3 noon = glm::normalize(glm::vec3(0, 1, 0.1f));
  EXPECT_FALSE(castsInto(middle, noon, chunkBox(0, 2, -1)));
  EXPECT_TRUE(castsInto(middle, noon, chunkBox(0, 2, -4)));
}
