// Unpacks arbitrary bytes as a mod package: nothing may land outside the destination
// folder, and nothing may crash.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "mods/package.h"

namespace fs = std::filesystem;

namespace {

// A scratch folder for the whole run, removed when the fuzzer exits.
struct ScratchFolder {
  fs::path path;
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "orvane-fuzz-mods-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFolder scratch;
  const fs::path& root = scratch.path;
  const fs::path archive = root / "input.zip";
  const fs::path out = root / "box" / "out";
  {
    std::ofstream file(archive, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::string error;
  extractPackage(archive.string(), out.string(), error);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(root / "box", ec)) {
    if (entry.path() != out) std::abort();  // something escaped the destination
  }
  fs::remove_all(root / "box", ec);
  return 0;
}
