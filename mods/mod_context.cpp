#include "mods/mod_context.h"

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
}

bool TestModContext::give(const std::string&, int32_t) {
  return true;
}

glm::vec3 TestModContext::playerPosition() {
  return {1.0f, 2.0f, 3.0f};
}

void TestModContext::teleport(glm::vec3) {}

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
