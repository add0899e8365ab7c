#include "app/launch.h"

#include <cstring>

LaunchOptions parseLaunchOptions(int argc, const char* const* argv) {
  LaunchOptions options;
  if (argc < 2 || argv[1] == nullptr) return options;
  const char* first = argv[1];
  if (std::strcmp(first, "--selftest") == 0) {
    options.mode = RunMode::SelfTest;
  } else if (std::strcmp(first, "--nettest") == 0) {
    options.mode = RunMode::NetTest;
  } else if (std::strcmp(first, "--modtest") == 0) {
    options.mode = RunMode::ModTest;
  } else if (std::strcmp(first, "--hosttest") == 0) {
    options.mode = RunMode::HostTest;
  } else if (std::strcmp(first, "--benchmark") == 0) {
    options.mode = RunMode::Benchmark;
  } else if (std::strcmp(first, "--server") == 0) {
    options.mode = RunMode::Server;
    for (int i = 2; i < argc && argv[i] != nullptr; ++i) options.serverArguments.push_back(argv[i]);
  } else if (std::strcmp(first, "--screenshot") == 0 && argc >= 3 && argv[2] != nullptr) {
    options.mode = RunMode::Screenshot;
    options.screenshotPath = argv[2];
    if (argc >= 4 && argv[3] != nullptr) options.screenshotScene = argv[3];
  }
  return options;
}

bool isHeadless(RunMode mode) {
  return mode == RunMode::SelfTest || mode == RunMode::NetTest || mode == RunMode::ModTest ||
         mode == RunMode::Server;
}

const char* runModeName(RunMode mode) {
  switch (mode) {
    case RunMode::Play:
      return "play";
    case RunMode::SelfTest:
      return "--selftest";
    case RunMode::NetTest:
      return "--nettest";
    case RunMode::ModTest:
      return "--modtest";
    case RunMode::HostTest:
      return "--hosttest";
    case RunMode::Benchmark:
      return "--benchmark";
    case RunMode::Screenshot:
      return "--screenshot";
    case RunMode::Server:
      return "--server";
  }
  return "play";
}
