#pragma once
// Showing a folder to the user in the desktop's file browser.

#include <string>

// Starts "xdg-open <path>" without a shell and without waiting for it; false when it
// could not be started. The folder is created first when it is missing.
bool openFolder(const std::string& path);
