#pragma once
// Shared helpers of the mod tests: a temporary mods folder filled with real zip packages
// and a manager that loads them against a recording TestModContext.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mods/mod_context.h"
#include "mods/mod_manager.h"
#include "mods/package.h"

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvane-mods-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string readText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A mods folder in a temporary place; packages are added, then loaded.
class ModFolderTest : public ::testing::Test {
 protected:
  // Writes "<name>.mod.orvac" holding `entries`.
  void addPackage(const std::string& file, const std::vector<ZipEntry>& entries) {
    std::string error;
    ASSERT_TRUE(writeZip((folder.path() / file).string(), entries, error)) << error;
  }
  void addMod(const std::string& name, const std::string& mainLua) {
    addPackage(name + ".mod.orvac", {{"main.lua", mainLua}});
  }
  // Loads the folder and returns what the mods printed to standard error.
  std::string load() {
    ::testing::internal::CaptureStderr();
    manager.loadMods(folder.path().string(), &context);
    return ::testing::internal::GetCapturedStderr();
  }

  TempFolder folder;
  TestModContext context;
  ModManager manager;

  void SetUp() override {
    ASSERT_FALSE(folder.path().empty());
    context.printLog = false;
  }
};
