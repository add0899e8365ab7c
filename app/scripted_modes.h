#pragma once
// The windowed modes that run without a player: "--hosttest" starts and stops a host,
// "--benchmark" renders a fixed number of frames and reports the frame rate.

struct GLFWwindow;

// Exit status 0 when the host started, else 1. The test world is deleted either way.
int runHostTest(GLFWwindow* window);
// Exit status 0, or 1 when the renderer cannot start.
int runBenchmark(GLFWwindow* window);
