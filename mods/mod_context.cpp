#include "mods/mod_context.h"

#include <algorithm>
#include <cstdio>

bool TestModContext::getBlock(int32_t, int32_t, int32_t, std::string& id) {
  id = "orvane:stone";
  return true;
}

bool TestModContext::setBlock(int32_t, int32_t, int32_t, const std::string& id) {
  lastSetBlock = id;
  return true;
}

void TestModContext::message(const std::string& text) {
  messages.push_back(text);
  if (!eventPlayer.empty()) playerMessages.push_back(eventPlayer + ": " + text);
}

bool TestModContext::give(const std::string&, int32_t) {
  return true;
}

glm::vec3 TestModContext::playerPosition() {
  return {1.0f, 2.0f, 3.0f};
}

bool TestModContext::teleport(glm::vec3) {
  return true;
}

bool TestModContext::spawnDrop(int32_t, int32_t, int32_t, const std::string&, int32_t) {
  return true;
}

bool TestModContext::isHost() {
  return true;
}

void TestModContext::log(const std::string& text) {
  logLines.push_back(text);
  if (printLog) std::printf("[test-mod] %s\n", text.c_str());
}

void TestModContext::setEventPlayer(uint32_t, const std::string& name) {
  eventPlayer = name;
}

void TestModContext::broadcast(const std::string& text) {
  broadcasts.push_back(text);
}

void TestModContext::notice(const char* format, const std::string& modName) {
  std::string line(format);
  const size_t at = line.find("%s");
  if (at != std::string::npos) line.replace(at, 2, modName);
  notices.push_back(line);
}

bool TestModContext::isBuiltinCommand(const std::string& word) {
  return std::find(builtinCommands.begin(), builtinCommands.end(), word) != builtinCommands.end();
}
