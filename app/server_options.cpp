#include "app/server_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "save/world_folders.h"

namespace {

bool parseUnsigned(const std::string& text, unsigned long long max, unsigned long long& out) {
  if (text.empty() || text.size() > 20) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  errno = 0;
  out = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0 && out <= max;
}

ServerOptionsResult usageError(const std::string& why) {
  return {std::nullopt, 2, why};
}

ServerOptionsResult badValue(const std::string& why) {
  return {std::nullopt, 1, why};
}

}  // namespace

const char* serverUsage() {
  return "usage: orvane --server <world name> [--port N] [--seed S] [--max-players N] "
         "[--autosave SECONDS] [--saves FOLDER] [--mods FOLDER]";
}

ServerOptionsResult parseServerOptions(const std::vector<std::string>& args) {
  ServerOptions options;
  if (args.empty() || args[0].rfind("--", 0) == 0) return usageError("missing world name");
  options.worldName = args[0];
  if (!isValidWorldName(options.worldName)) {
    return badValue("invalid world name \"" + options.worldName + "\"");
  }
  for (size_t i = 1; i < args.size(); i += 2) {
    const std::string& option = args[i];
    const bool known = option == "--port" || option == "--seed" || option == "--max-players" ||
                       option == "--autosave" || option == "--saves" || option == "--mods";
    if (!known) return usageError("unknown option " + option);
    if (i + 1 >= args.size()) return usageError(option + " needs a value");
    const std::string& value = args[i + 1];
    unsigned long long number = 0;
    if (option == "--port") {
      if (!parseUnsigned(value, 65535, number)) {
        return badValue("port must be 0 (any free port) to 65535: " + value);
      }
      options.port = static_cast<uint16_t>(number);
    } else if (option == "--seed") {
      if (!parseUnsigned(value, 0xFFFFFFFFull, number)) {
        return badValue("seed must be 0 to 4294967295: " + value);
      }
      options.seed = static_cast<uint32_t>(number);
    } else if (option == "--max-players") {
      if (!parseUnsigned(value, 1000, number) || number == 0) {
        return badValue("max players must be 1 to 1000: " + value);
      }
      options.maxPlayers = static_cast<int>(number);
    } else if (option == "--autosave") {
      char* end = nullptr;
      const double seconds = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0.05 ||
          seconds > 86400.0) {
        return badValue("autosave must be 0.05 to 86400 seconds: " + value);
      }
      options.autosaveSeconds = seconds;
    } else if (option == "--mods") {
      if (value.empty()) return badValue("the mods folder is empty");
      options.modsFolder = value;
    } else {
      if (value.empty()) return badValue("the saves folder is empty");
      options.savesFolder = value;
    }
  }
  return {options, 0, {}};
}
