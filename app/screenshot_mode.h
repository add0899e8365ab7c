#pragma once
// "--screenshot <path> [scene]": renders a scripted scene and saves its third frame.

#include "app/launch.h"

struct GLFWwindow;

// Runs the screenshot mode in an already created (hidden) window. Returns the exit
// status: 0 when the picture was written, 1 when the renderer could not start or the
// file could not be written.
int runScreenshotMode(GLFWwindow* window, const LaunchOptions& options);
