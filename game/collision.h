#pragma once
// Box collision against the block grid, shared by the player, creatures and drops.

#include <algorithm>
#include <cmath>

#include <glm/glm.hpp>

#include "world/world.h"

// Whether any cell from floor(min) to floor(max) on each axis (both inclusive) holds a
// solid block, so a box whose maximum lies exactly on a cell boundary also tests the
// next cell.
bool boxHitsSolid(const World& world, glm::vec3 min, glm::vec3 max);

// Moves `position` along one axis by `distance` in sub-steps of at most `maxStep`,
// undoing the sub-step for which `blocked(position)` holds and stopping there. Returns
// whether the axis was stopped; `stepWasDown` tells the direction of that sub-step.
// Undoing restores the coordinate held before the sub-step: subtracting the step again
// can round to a position touching the block that was hit.
template <class Blocked>
bool moveAxisInSteps(glm::vec3& position, int axis, float distance, float maxStep,
                     Blocked&& blocked, bool* stepWasDown = nullptr) {
  float remaining = distance;
  while (std::fabs(remaining) > 0.00001f) {
    const float step = std::clamp(remaining, -maxStep, maxStep);
    const float before = position[axis];
    position[axis] += step;
    if (blocked(position)) {
      position[axis] = before;
      if (stepWasDown != nullptr) *stepWasDown = step < 0.0f;
      return true;
    }
    remaining -= step;
  }
  return false;
}
