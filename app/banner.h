#pragma once

#include <cstdio>

// Prints the start-up banner: version, controls, saves folder and the multiplayer port.
void printBanner(std::FILE* out);
