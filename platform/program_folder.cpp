#include "platform/program_folder.h"

#include <limits.h>
#include <unistd.h>

#include <vector>

std::optional<std::string> executablePath() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return std::nullopt;
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);  // truncated: try again with room to spare
  }
}

std::string currentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return ".";
  return buffer.data();
}

std::optional<std::string> folderOfModulePath(const std::string& modulePath) {
  auto isSeparator = [](char c) { return c == '/' || c == '\\'; };
  size_t end = modulePath.size();
  while (end > 0 && !isSeparator(modulePath[end - 1])) --end;  // drop the last component
  if (end == 0) return std::nullopt;
  while (end > 0 && isSeparator(modulePath[end - 1])) --end;  // and the separators before it
  return modulePath.substr(0, end);
}

std::string programFolder() {
  if (auto exe = executablePath()) {
    if (auto folder = folderOfModulePath(*exe)) return *folder;
  }
  return currentDirectory();
}

std::string dataFolder(const std::string& name) {
  return programFolder() + "/" + name;
}
