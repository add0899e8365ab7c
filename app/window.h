#pragma once
// The game window (GLFW). Failures print their message on standard error.

struct GLFWwindow;

// Initialises GLFW; prints "failed to initialize GLFW" and returns false on failure.
bool initWindowSystem();
void shutdownWindowSystem();

// Creates the 1280 x 720 game window (no client graphics API, resizable, not full
// screen), hidden when `visible` is false, with a normal cursor and raw mouse motion
// where the platform has it. Prints "failed to create window" and
// returns null on failure.
GLFWwindow* createGameWindow(bool visible);
void destroyGameWindow(GLFWwindow* window);
