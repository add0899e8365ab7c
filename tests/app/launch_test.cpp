#include <gtest/gtest.h>

#include "app/launch.h"

namespace {

LaunchOptions parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv{"orvane"};
  argv.insert(argv.end(), args);
  return parseLaunchOptions(static_cast<int>(argv.size()), argv.data());
}

}  // namespace

TEST(Launch, FirstArgumentSelectsTheMode) {
  EXPECT_EQ(parse({}).mode, RunMode::Play);
  EXPECT_EQ(parse({"--selftest"}).mode, RunMode::SelfTest);
  EXPECT_EQ(parse({"--nettest"}).mode, RunMode::NetTest);
  EXPECT_EQ(parse({"--modtest"}).mode, RunMode::ModTest);
  EXPECT_EQ(parse({"--hosttest"}).mode, RunMode::HostTest);
  EXPECT_EQ(parse({"--benchmark", "extra"}).mode, RunMode::Benchmark);
  EXPECT_EQ(parse({"--selftest", "--nettest"}).mode, RunMode::SelfTest);
}

TEST(Launch, UnknownOrMisspelledArgumentsStartTheGame) {
  EXPECT_EQ(parse({"--SELFTEST"}).mode, RunMode::Play);
  EXPECT_EQ(parse({"--selftest "}).mode, RunMode::Play);
  EXPECT_EQ(parse({"selftest"}).mode, RunMode::Play);
  EXPECT_EQ(parse({""}).mode, RunMode::Play);
  EXPECT_EQ(parse({"world", "--selftest"}).mode, RunMode::Play) << "only the first counts";
}

TEST(Launch, ScreenshotNeedsAPath) {
  EXPECT_EQ(parse({"--screenshot"}).mode, RunMode::Play);
  const LaunchOptions plain = parse({"--screenshot", "out.png"});
  EXPECT_EQ(plain.mode, RunMode::Screenshot);
  EXPECT_EQ(plain.screenshotPath, "out.png");
  EXPECT_EQ(plain.screenshotScene, "");
  const LaunchOptions scene = parse({"--screenshot", "/tmp/a b.png", "village"});
  EXPECT_EQ(scene.screenshotPath, "/tmp/a b.png");
  EXPECT_EQ(scene.screenshotScene, "village");
}

TEST(Launch, OnlyTheTestModesAreHeadless) {
  EXPECT_TRUE(isHeadless(RunMode::SelfTest));
  EXPECT_TRUE(isHeadless(RunMode::NetTest));
  EXPECT_TRUE(isHeadless(RunMode::ModTest));
  EXPECT_FALSE(isHeadless(RunMode::HostTest));
  EXPECT_FALSE(isHeadless(RunMode::Screenshot));
  EXPECT_FALSE(isHeadless(RunMode::Play));
}
