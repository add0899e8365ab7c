#pragma once
// Terrain generation: fills one freshly created, all-air column of the world from its
// seed. Every write goes through World::setBlockRaw and lands in that column only.

class World;

void generateTerrainColumn(World& world, int cx, int cz);
