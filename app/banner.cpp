#include "app/banner.h"

#include "net/protocol_constants.h"
#include "platform/program_folder.h"
#include "platform/version.h"

void printBanner(std::FILE* out) {
  std::fprintf(out, "Orvane %s\n", kVersionText);
  std::fprintf(out, "WASD move, Space jump / swim, Shift fly down, Ctrl sprint\n");
  std::fprintf(out,
               "Double-tap Space (or F) to fly, F4 spectator, F3 debug overlay, Esc pause menu\n");
  std::fprintf(out, "Left click break/attack, right click place, 1-7 / wheel pick block\n");
  std::fprintf(out, "/ or ^ opens commands, T opens chat (try /help)\n");
  std::fprintf(out, "Saves: %s\n", dataFolder("saves").c_str());
  std::fprintf(out, "Multiplayer: UDP %u by default, share IP/domain or SRV _orvane._udp\n",
               static_cast<unsigned>(kDefaultPort));
  std::fflush(out);
}
