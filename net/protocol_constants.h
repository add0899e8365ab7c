#pragma once
// Constants that the multiplayer protocol shares with the rest of the program.

#include <cstdint>

inline constexpr uint16_t kDefaultPort = 27632;
