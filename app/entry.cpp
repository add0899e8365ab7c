#include "app/entry.h"

#include <cstdio>

#include "app/banner.h"
#include "app/headless_modes.h"
#include "app/launch.h"
#include "app/play_mode.h"
#include "app/screenshot_mode.h"
#include "app/scripted_modes.h"
#include "app/selftest.h"
#include "app/server_mode.h"
#include "app/sounds.h"
#include "app/window.h"
#include "lang/translations.h"
#include "platform/ui_language.h"

namespace {

// Modes that are not part of this build yet say so instead of pretending to succeed.
int notBuiltYet(RunMode mode) {
  std::fprintf(stderr, "%s: this mode is not built yet\n", runModeName(mode));
  return 1;
}

int runHeadless(const LaunchOptions& options) {
  switch (options.mode) {
    case RunMode::SelfTest:
      return runSelfTest();
    case RunMode::NetTest:
      return runNetTest();
    case RunMode::ModTest:
      return runModTest();
    case RunMode::Server:
      return runServer(options.serverArguments);
    default:
      return notBuiltYet(options.mode);
  }
}

int runWindowed(const LaunchOptions& options) {
  if (!initWindowSystem()) return 1;
  GLFWwindow* window = createGameWindow(options.mode == RunMode::Play);
  if (window == nullptr) {
    shutdownWindowSystem();
    return 1;
  }
  int status = 0;
  if (options.mode == RunMode::Play) {
    status = runPlayMode(window);
  } else if (options.mode == RunMode::Screenshot) {
    status = runScreenshotMode(window, options);
  } else if (options.mode == RunMode::HostTest) {
    status = runHostTest(window);
  } else if (options.mode == RunMode::Benchmark) {
    status = runBenchmark(window);
  } else {
    status = notBuiltYet(options.mode);
  }
  destroyGameWindow(window);
  shutdownWindowSystem();
  return status;
}

}  // namespace

int runProgram(int argc, const char* const* argv) {
  setLanguage((userDefaultUiLanguage() & 0x3FF) == 4 ? LanguageChinese : LanguageEnglish);
  const LaunchOptions options = parseLaunchOptions(argc, argv);
  return isHeadless(options.mode) ? runHeadless(options) : runWindowed(options);
}
