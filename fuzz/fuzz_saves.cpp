// Feeds arbitrary bytes to both save-file decoders; anything decoded must encode back to
// the same record.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "save/save_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SavedWorld world;
  if (decodeWorldSave(data, size, world)) {
    const std::vector<uint8_t> again = encodeWorldSave(world);
    SavedWorld back;
    if (!decodeWorldSave(again.data(), again.size(), back)) std::abort();
  }
  SavedPlayer player;
  if (decodePlayerSave(data, size, player)) {
    const std::vector<uint8_t> again = encodePlayerSave(player);
    SavedPlayer back;
    if (!decodePlayerSave(again.data(), again.size(), back)) std::abort();
  }
  return 0;
}
