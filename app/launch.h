#pragma once
// How the program was asked to run, decided once from the command line.

#include <string>
#include <vector>

enum class RunMode { Play, SelfTest, NetTest, ModTest, HostTest, Benchmark, Screenshot, Server };

struct LaunchOptions {
  RunMode mode = RunMode::Play;
  std::string screenshotPath;                // Screenshot only
  std::string screenshotScene;               // Screenshot only; empty for the default scene
  std::vector<std::string> serverArguments;  // Server only: the words after "--server"
};

// Only the first argument selects a mode, compared byte-exactly. "--screenshot" needs
// an output path; anything unknown (or nothing) means the interactive game.
LaunchOptions parseLaunchOptions(int argc, const char* const* argv);

// True for the modes that run without a window.
bool isHeadless(RunMode mode);

// The command-line word of a mode ("--selftest", ...; "play" for the game).
const char* runModeName(RunMode mode);
