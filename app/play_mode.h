#pragma once
// The interactive game: the frame loop in the visible window until it closes.

struct GLFWwindow;

// Runs the game in `window` (created visible). Returns the exit status: 1 when the
// renderer cannot start, else 0.
int runPlayMode(GLFWwindow* window);
