#pragma once

// The program: chooses the interface language and run mode, runs a headless test mode
// or opens the window for a windowed one, and returns the process exit status.
int runProgram(int argc, const char* const* argv);
