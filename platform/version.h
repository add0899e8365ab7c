#pragma once
// The program's identity, shared by the window title, the banner, the chat command
// "version", screenshot metadata and the menus.

inline constexpr const char* kVersionText = "0.1.1792372227";
inline constexpr const char* kWindowTitle = "Orvane 0.1.1792372227";
