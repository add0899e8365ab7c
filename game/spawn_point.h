#pragma once
// Where a new player appears: on natural ground near the origin, away from villages.

#include <glm/glm.hpp>

#include "world/world.h"

// The eye position of the spawn point: the first point of an 8-block grid, in square
// rings of radius 0..512 around the origin, whose surface is at least 32 high, with no
// village within 32 blocks and grass, dirt or sand on top (its column is generated to
// check); else above the origin. Raised by whole blocks while the body would collide.
glm::vec3 findSpawnPoint(World& world);
