#include "platform/open_folder.h"

#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <thread>

extern char** environ;

bool openFolder(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  std::string program = "xdg-open";
  std::string argument = path;
  char* argv[] = {program.data(), argument.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) != 0) return false;
  // Reaped in the background so that no zombie is left behind.
  std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  return true;
}
